// The transcript's timestamps as the player's waveform strip shows them: each with its
// place in the text and, when a turn marker follows it, the speaker's name.
// Pure functions; any thread.
#pragma once

#include <QString>
#include <QStringView>
#include <vector>

struct TimestampTurn {
    double Seconds = 0;
    qsizetype Start = 0;   // offset of "[" in the text searched
    qsizetype Length = 0;  // through "]"
    QString Speaker;       // the name of the turn marker that follows, or empty
};

// Every timestamp of `text` in order. A turn marker follows a timestamp when after it come
// only blanks, one line break (CR LF, LF or CR), "[", a name that is not itself a
// timestamp, "]", and a line break or the end of the text.
std::vector<TimestampTurn> TimestampTurns(QStringView text);
