// Time text and position arithmetic of the player: what the status bar shows and how a
// target in seconds becomes a byte position of the stream. Pure functions, any thread.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "player/cycle.h"

// Whole seconds as hours " ч ", minutes " мин ", seconds " сек"; the hours and minutes
// parts appear only when the value reaches them (a negative value shows only seconds).
QString SecondsToText(int seconds);

// Panels 2 … 5 of the player's status bar for a recording `length` seconds long at
// `position`: "Длина: …", "Позиция: …" (whole seconds; a failed query, negative or huge,
// stays a number), then the cycle's repetition and its second of playing or of the pause,
// both empty while the player is halted.
std::array<QString, 4> PlayerStatusTexts(double position, double length,
                                         const TRepetitionCycle& cycle, bool stopped);

// Byte position of a target of `seconds` in a stream `lengthBytes` long that lasts
// `lengthSeconds`: lengthBytes x seconds / lengthSeconds, truncated. A stream of no
// length, or a target before the start, gives 0.
std::uint64_t SecondsToBytes(std::uint64_t lengthBytes, double seconds, double lengthSeconds);

// Byte position for the position slider (0 ... 1000 per mille of the length).
std::uint64_t SliderToBytes(std::uint64_t lengthBytes, int sliderPosition);

// Slider position (per mille) for a playback position; 0 for a stream of no length.
int PositionToSlider(double positionSeconds, double lengthSeconds);

// Target of F5: `fragment` seconds on, or half a second before the end when that is
// reached (never before the start). `nearEnd` tells which of the two it is.
double NextFragmentTarget(double positionSeconds, double lengthSeconds, double fragment,
                          bool* nearEnd);

// A fragment parameter as the tick, F2 and F5 use it: the field's text read as usual, then
// held inside the field's range. The text itself stays as typed (a project file may carry
// anything there), but a zero length or two billion repetitions must not stall the player.
int ParameterInRange(const QString& text, const TParameterField& field);

// The fragment length of F2 and F5 (a fraction allowed), held inside the length's range.
double FragmentSecondsInRange(const QString& text);

// Tooltip of an equalizer band: its centre and its gain, e.g. "1000 Гц: +6 дБ".
QString EqualizerBandTip(int centreHz, int gainDb);
