// The player's voice settings (channel, noise reduction, levelling) as the project file
// writes them and as the "Голос" menu names them. Pure logic, no widgets; any thread.
#pragma once

#include <QString>

#include "audio/audio.h"

// Values of the project file's voice lines. Off is the empty text: no line is written.
QString VoiceChannelValue(audio::VoiceChannel channel);  // "left", "right", "mix"
QString VoiceNoiseValue(audio::VoiceNoise noise);        // "light", "medium", "strong"
QString VoiceLevellingValue(bool levelling);             // "on"

// Reading them back: anything unknown (another case, blanks, a later program's value) is
// off, so an odd line never makes a recording sound different from what it is.
audio::VoiceChannel ParseVoiceChannel(const QString& text);
audio::VoiceNoise ParseVoiceNoise(const QString& text);
bool ParseVoiceLevelling(const QString& text);

// The menu's texts.
QString VoiceChannelCaption(audio::VoiceChannel channel);
QString VoiceNoiseCaption(audio::VoiceNoise noise);

// The noise reduction key: off goes to the strength last used (medium at first), on to off.
audio::VoiceNoise ToggledNoise(audio::VoiceNoise now, audio::VoiceNoise lastOn);
