// Reading and writing text files in the editor's six encodings.
//
// In memory a text is a QString (UTF-16) whose line breaks are CR LF. Reading turns every
// line break of a file (CR LF, a lone LF or a lone CR) into CR LF; writing writes CR LF.
// Files are replaced atomically: a failed or interrupted write leaves the old file intact.
// Only where the folder takes no new file but the file itself is writable is the file
// written in place, its old content kept in a temporary copy until the write is complete.
// Every failure to read or write a file throws textfiles::FileError.
//
// Any thread may call these functions; they share no state.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace textfiles {

// In the order of the encoding selector of the text-file dialogs; Ansi (the first) is the
// default. The ANSI code page is Windows-1251.
enum class Encoding { Ansi = 0, Ascii, Utf16LE, Utf16BE, Utf8, Utf7 };
inline constexpr int kEncodingCount = 6;

// Name shown in the dialogs' encoding selector.
QString EncodingName(Encoding encoding);
// Entry `index` (0 … 5) of the selector; out-of-range indexes give Ansi.
Encoding EncodingFromIndex(int index);

// A file could not be read or written. what() is "<path>: <reason>" in UTF-8; the common
// system reasons are given in Russian.
class FileError : public std::runtime_error {
  public:
    FileError(const QString& path, const QString& reason);
    const QString& path() const { return path_; }
    const QString& reason() const { return reason_; }
    // "<path>: <reason>", for the error dialog.
    QString message() const;

  private:
    QString path_;
    QString reason_;
};

// The byte-order mark written before the text: EF BB BF (UTF-8), FF FE (UTF-16 LE),
// FE FF (UTF-16 BE); empty for Ansi, Ascii and UTF-7.
QByteArray ByteOrderMark(Encoding encoding);

// Every line break (CR LF, lone LF, lone CR) becomes CR LF.
QString NormalizeLineBreaks(const QString& text);

// Splits at CR LF, LF or CR. A break at the very end does not start another line, so
// "a\r\nb\r\n" and "a\r\nb" both give {"a", "b"}; an empty text gives no lines.
QStringList SplitLines(const QString& text);
// Each line followed by CR LF (the last one too).
QString JoinLines(const QStringList& lines);

// Decodes bytes with the given encoding only. A mark of that same encoding at the start is
// skipped; any other leading bytes are text. Bytes that are invalid in the encoding become
// U+FFFD. Line breaks become CR LF.
QString Decode(const QByteArray& bytes, Encoding encoding);

struct DetectedText {
    QString text;
    Encoding encoding = Encoding::Ansi;
};
// Decodes by the byte-order mark: EF BB BF → UTF-8, FF FE → UTF-16 LE, FE FF → UTF-16 BE
// (mark skipped); anything else is Windows-1251 from the first byte. Line breaks become CR LF.
DetectedText DecodeDetect(const QByteArray& bytes);
// Decodes with the encoding chosen by the user, unless the bytes start with the mark of
// another encoding (UTF-8, UTF-16 LE or BE): a mark is unambiguous, so it wins. The
// encoding actually used is returned.
DetectedText DecodeChosen(const QByteArray& bytes, Encoding chosen);

// The encoding's mark followed by the text with its line breaks made CR LF. Characters the
// encoding cannot represent are written as "?" (Windows-1251, ASCII); unpaired surrogates
// as U+FFFD in the Unicode encodings.
QByteArray Encode(const QString& text, Encoding encoding);

// The encoding to write `text` in for a file that is read back with mark detection: the
// preferred one when reading the bytes back with detection gives the same text, otherwise
// UTF-8 with its mark. Windows-1251 and ASCII lose what they cannot represent, and a text
// without a mark whose first bytes look like one (a line starting with "яю", "юя" or "п»ї"
// in Windows-1251) would be read back as another encoding.
Encoding EncodingThatReadsBack(const QString& text, Encoding preferred);

// Whole-file operations; all throw FileError.
QByteArray ReadFileBytes(const QString& path);
void WriteFileBytes(const QString& path, const QByteArray& bytes);  // atomic replacement

QString ReadTextFile(const QString& path, Encoding encoding);
DetectedText ReadTextFileDetect(const QString& path);
DetectedText ReadTextFileChosen(const QString& path, Encoding chosen);
// Writes exactly the text (no line break added at the end), with the encoding's mark.
void WriteTextFile(const QString& path, const QString& text, Encoding encoding);

// Makes a folder and every missing one on the way (as mkdir -p does), each readable by its
// owner only (0700): the program's data folders hold the user's words and work.
void MakePrivateFolders(const QString& path);

// Line files (project, participants, dictionary): read with mark detection, write back with
// each line ended by CR LF.
struct DetectedLines {
    QStringList lines;
    Encoding encoding = Encoding::Ansi;
};
DetectedLines ReadLinesDetect(const QString& path);
void WriteLines(const QString& path, const QStringList& lines, Encoding encoding);

}  // namespace textfiles
