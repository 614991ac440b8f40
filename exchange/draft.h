// Drafts in: the timestamped segments that speech recognition writes as SRT, WebVTT or JSON
// (an array, or an object with a "segments" array, of {start, end, text, speaker?}; also the
// "transcription" array with millisecond "offsets" of whisper.cpp), and the transcript text
// they become.
//
// Every reader either returns the whole draft or throws ExchangeError naming the line (or the
// line and position) at fault: a draft is never taken in part.
// Pure functions, apart from ReadDraftFile; any thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "timecode/timestamps.h"

namespace exchange {

struct Segment {
    double start = 0.0;
    double end = 0.0;
    QString text;     // one line; never empty
    QString speaker;  // empty when the draft names none
};

enum class DraftFormat { Srt, Vtt, Json };

// Files larger than this are no draft (an hour of speech is well under 1 MB).
inline constexpr qint64 kLargestDraftBytes = 32 * 1024 * 1024;

// Text from a file's bytes, as text files are read: a byte-order mark (UTF-8, UTF-16 LE/BE)
// decides; without one, UTF-16 by its zero bytes, valid UTF-8 as UTF-8, anything else as
// Windows-1251. Line breaks become CR LF. A file with NUL or other control bytes is binary:
// ExchangeError.
QString DecodeTextBytes(const QByteArray& bytes);

// The format by content: "WEBVTT" first, "[" or "{" first (after blanks) for JSON, else SRT.
DraftFormat DraftFormatOf(const QString& text);
// Whether a file name ends in .srt, .vtt or .json (any case).
bool IsDraftFileName(const QString& path);

std::vector<Segment> ReadSrt(const QString& text);
std::vector<Segment> ReadVtt(const QString& text);
std::vector<Segment> ReadJsonDraft(const QString& text);
std::vector<Segment> ReadDraft(const QString& text);  // by DraftFormatOf

// What PocketSphinx prints with `-time yes`: for each utterance its text, then one line per
// word "word start end confidence" (seconds) between "<s>" and "</s>". Each utterance becomes
// a segment from its first word to its last; silences, noises and fillers ("<sil>",
// "[NOISE]", "++UM++") are left out and alternate pronunciations ("the(2)") read as the word.
// Utterances without words give nothing. Lines of any other kind are ignored.
std::vector<Segment> ReadPocketSphinx(const QString& output);

// The per cent done that a recogniser's progress line reports ("… progress =  45%",
// "45% done", "[ 45%]"); nullopt for a line without one. Values above 100 are no progress.
std::optional<int> ProgressPercent(QStringView line);

// Reads and decodes a draft file; file errors and oversized files as ExchangeError.
std::vector<Segment> ReadDraftFile(const QString& path);

// The transcript text of a draft (CR LF breaks): each segment starts with its timestamp in
// `style`; consecutive segments of one speaker form one paragraph, each speaker's first
// paragraph after the turn marker of the participant of that name ("[Имя]" on a line of its
// own), or after "Имя: " when no participant has that name. Segments without a speaker
// are a paragraph each. A text segment that starts with "Имя: " of a participant counts as
// that participant's (the SRT way of naming speakers).
QString DraftText(const std::vector<Segment>& segments, const QStringList& participantNames,
                  const TimestampStyle& style);

}  // namespace exchange
