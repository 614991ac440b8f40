// Subtitles out: SRT and WebVTT from the cues of a transcript, in UTF-8 without a mark.
// SRT puts "Имя: " before what a participant says, WebVTT a voice tag "<v Имя>".
//
// Pure functions; any thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "exchange/transcript.h"

namespace exchange {

// "hh:mm:ss,mmm" (SRT) or "hh:mm:ss.mmm" (WebVTT), rounded to the millisecond.
QString SubtitleTime(double seconds, QChar decimalSeparator);

QByteArray SrtBytes(const std::vector<Cue>& cues, const std::vector<Speaker>& speakers);
QByteArray VttBytes(const std::vector<Cue>& cues, const std::vector<Speaker>& speakers);

}  // namespace exchange
