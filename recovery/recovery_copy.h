// A recovery copy: the working state that a crash, a kill or a power cut would otherwise
// lose (the editor's text with its encoding, the participants table, the project state and
// name), and the file format of one copy.
//
// A copy file is a small header followed by the body. The header holds what the start-up
// window lists (time, number of characters, first line) and a checksum of the body, so that
// the start-up scan reads only the first bytes of each copy; the header has a checksum of its
// own. Integers are little-endian; strings are a 32-bit count of UTF-16 code units followed by
// the units, so every text (lone surrogates included) comes back unchanged.
//
//   "NUVRCOPY"  u32 version (1)  u32 header size
//   header: i64 time (ms since the epoch, UTC)  i64 sequence  i64 characters
//           u64 body size  u32 body CRC-32  string first line
//   u32 CRC-32 of everything before it
//   body:   string text  u32 text encoding  string project name  u32 project encoding
//           u32 line count, strings: the project file's lines as a save writes them
//           30 strings: picture, name, colour of participants 1 … 10
//
// Pure functions; any thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

#include "project/project_file.h"
#include "textfiles/textfiles.h"

namespace recovery {

struct RecoveryState {
    // The editor's whole text, line breaks CR LF, and the encoding it was read in.
    QString text;
    textfiles::Encoding textEncoding = textfiles::Encoding::Ansi;
    project::ParticipantTable participants;
    // The project file's lines as a save would write them now: parameters, current entry,
    // position, any further keys, playlist.
    QStringList projectLines;
    QString projectName;
    textfiles::Encoding projectEncoding = textfiles::Encoding::Ansi;

    bool operator==(const RecoveryState&) const = default;
};

// Equal in everything a typist works on. The playback position and the current playlist
// entry are left out: they move by themselves while recordings play, and a state that
// differs only there holds no lost work.
bool SameWork(const RecoveryState& a, const RecoveryState& b);

// Equal in the text and the participants: what a typist would miss. Only work that differs
// from the saved state there is kept and offered; a playlist or a setting changed alone is not.
bool SameTextAndParticipants(const RecoveryState& a, const RecoveryState& b);

// What tells a copy from the one before it: the last line of `newer` in which the two
// differ (the line typed in last), or, when lines were only removed, the line before the
// cut. Empty when the texts are equal. At most kFirstLineLength units.
QString LastChangedLine(const QString& older, const QString& newer);

// What the start-up window shows of a copy without reading its body.
struct CopyHeader {
    qint64 timeMs = 0;
    qint64 sequence = 0;
    qint64 characters = 0;  // length of the text in UTF-16 code units, CR LF counting two
    QString firstLine;      // the text's first line, at most kFirstLineLength units
    quint64 bodySize = 0;
    quint32 bodyCrc = 0;
};
inline constexpr int kFirstLineLength = 120;
// Bytes the scan reads from the start of a copy: always enough for a whole header.
inline constexpr int kHeaderReadSize = 32 + 4 * kFirstLineLength;

// The whole copy file of `state`, taken at `timeMs` as copy number `sequence`.
QByteArray EncodeCopy(const RecoveryState& state, qint64 timeMs, qint64 sequence);

// The header from the first bytes of a copy file of `fileSize` bytes; nullopt when the
// header is damaged or the size does not match (a copy cut short).
std::optional<CopyHeader> DecodeCopyHeader(const QByteArray& start, qint64 fileSize);
// The whole copy; nullopt when any part of it is damaged.
std::optional<RecoveryState> DecodeCopy(const QByteArray& file);

// CRC-32 (the polynomial of zip and PNG).
quint32 Crc32(const char* data, qsizetype size);

}  // namespace recovery
