// A transcript as documents and subtitles see it: paragraphs (its lines) made of text, turn
// markers "[Имя]" of named participants and timestamps; and the subtitle cues it gives, one
// from each timestamp to the next.
//
// Pure functions; any thread.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "project/project_file.h"
#include "timecode/timestamps.h"

namespace exchange {

// A named participant: the name of its turn marker and its colour value (red in the lowest
// byte, as the table writes it).
struct Speaker {
    QString name;
    std::uint32_t color = 0;
};
// The named participants of the table, in its order; a colour that is no number is black.
std::vector<Speaker> SpeakersFromTable(const project::ParticipantTable& table);

struct Run {
    enum class Kind { Text, Turn, Timestamp };
    Kind kind = Kind::Text;
    QString text;          // Text: the characters; Turn: the name; Timestamp: as written
    int speaker = -1;      // Turn: index into the speakers
    double seconds = 0.0;  // Timestamp: the recording's position (the offset taken off)
};
using Paragraph = std::vector<Run>;

// One paragraph per line of `text` (CR LF, LF or CR break lines); an empty line is an empty
// paragraph. When two participants share a name the first one's marker wins.
std::vector<Paragraph> ParseTranscript(const QString& text, const std::vector<Speaker>& speakers,
                                       const TimestampStyle& style);

// Cue text: what each speaker says, in order; speaker -1 for text before any turn marker.
struct CuePart {
    int speaker = -1;
    QString text;  // whitespace (line breaks too) collapsed to single spaces, never empty
};
struct Cue {
    double start = 0.0;
    double end = 0.0;
    std::vector<CuePart> parts;
};

// Without a recording's length the last cue lasts this long.
inline constexpr double kLastCueSeconds = 5.0;

// One cue from each timestamp to the next; text before the first timestamp starts at 0.
// A timestamp without text after it makes no cue (it still ends the one before); equal
// timestamps make one cue. The last cue ends at `recordingEnd` when that lies after its start,
// otherwise kLastCueSeconds later. A timestamp earlier than the one before throws
// ExchangeError naming its line (1-based).
std::vector<Cue> BuildCues(const std::vector<Paragraph>& paragraphs,
                           std::optional<double> recordingEnd);

// The transcript without its timestamps (a space after one goes with it).
QString WithoutTimestamps(const QString& text);

}  // namespace exchange
