// The project file and its participants companion as lines of text: building the lines a
// save writes and reading back the lines of an opened file. No files and no windows here;
// encodings and atomic writes are the file layer's business.
//
// Pure functions; any thread.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace project {

// What the project file holds. The four parameters are the fields' texts, verbatim.
struct ProjectFileData {
    QString playing;    // "PLAYING="
    QString circles;    // "CIRCLES="
    QString pause;      // "PAUSE="
    QString shiftBack;  // "SHIFT_BACK="
    int current = 0;    // "CURRENT=": index of the current playlist entry, -1 for none
    int pos = 0;        // "POS=": whole seconds
    QStringList files;  // "FILE=", in playlist order
    QString speed;      // "SPEED=": playback speed; empty at normal speed, and no line then
    QString selection;  // "SELECTION=": the selection loop; empty (and no line) when none is set
    // "VOICE_CHANNEL=", "VOICE_NOISE=", "VOICE_LEVELLING=": empty when off, and no line then.
    QString voiceChannel{};
    QString voiceNoise{};
    QString voiceLevelling{};
};

// Six fixed lines, "SPEED=" after "POS=" only when a speed is given, "SELECTION=" after
// them only while a selection loop is set, the voice lines after those only for the stages
// that are on, then one "FILE=" line per playlist entry. At normal speed without a
// selection and with the voice stages off the file is exactly what it was before any.
QStringList ProjectFileLines(const ProjectFileData& data);

// What reading a project file found. A parameter key that is missing leaves its field as it
// was (nullopt); a missing CURRENT= or POS= reads as 0.
struct ProjectFileRead {
    std::optional<QString> playing;
    std::optional<QString> circles;
    std::optional<QString> pause;
    std::optional<QString> shiftBack;
    int current = 0;
    int pos = 0;
    QStringList files;
    std::optional<QString> speed;      // the text of "SPEED=", nullopt when there is none
    std::optional<QString> selection;  // the text of "SELECTION=", nullopt when there is none
    QString voiceChannel;              // the voice lines' texts, empty when there are none
    QString voiceNoise;
    QString voiceLevelling;
};

// A line counts for a key when it starts with exactly that key and its "="; the rest of
// the line is the value. The last line of a repeated key wins; every FILE= line adds an
// entry in file order; other lines are ignored.
ProjectFileRead ParseProjectFile(const QStringList& lines);

// Integer value of CURRENT= / POS=: plain decimal, anything else (or out of int range) is 0.
int ParseIntOrZero(const QString& text);

// POS= value from a position in seconds: truncated toward zero. A failed position query
// gives a negative value, which stays negative here and reads back as the start.
int SecondsToPosValue(double seconds);

// One participant of the table: picture path, name and colour as decimal text.
struct ParticipantCells {
    QString picture;
    QString name;
    QString color;
    bool operator==(const ParticipantCells&) const = default;
};
inline constexpr int kParticipantCount = 10;
using ParticipantTable = std::array<ParticipantCells, kParticipantCount>;

// Ten lines "picture TAB name TAB colour".
QStringList ParticipantsLines(const ParticipantTable& table);

// Line k fills participant k; fields beyond the third are ignored. Missing lines or fields
// give empty cells, so a short file empties the rest of the table rather than keeping stale
// participants.
ParticipantTable ParseParticipantsLines(const QStringList& lines);

// A tab or line break inside a cell would shift the fields or lines when read back; such
// characters become spaces when the companion is written.
QString CellForCompanion(const QString& cell);

}  // namespace project
