// Writing a transcript out in the format its file name asks for, and the conversion that the
// command line runs: a transcript or a draft in, a document, subtitles or text out.
//
// Any thread; no shared state. Failures throw ExchangeError (nothing written then).
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "exchange/transcript.h"
#include "timecode/timestamps.h"

namespace exchange {

enum class ExportFormat { Odt, Docx, Srt, Vtt, Text };

// By the file name's extension (.odt, .docx, .srt, .vtt, .txt, any case); nullopt otherwise.
std::optional<ExportFormat> ExportFormatFor(const QString& path);
// The extension of a format, with its dot.
QString ExportExtension(ExportFormat format);

struct ExportOptions {
    bool timestamps = true;                 // documents and text: keep the timestamps as text
    TimestampStyle style;                   // the offset is taken off subtitle times
    std::optional<double> recordingLength;  // where the last cue ends
};

// The file's bytes. `transcript` is the editor's text (any line breaks).
QByteArray ExportBytes(const QString& transcript, const std::vector<Speaker>& speakers,
                       ExportFormat format, const ExportOptions& options);

// Writes `path` (replaced atomically) in the format of its extension.
void ExportFile(const QString& path, const QString& transcript,
                const std::vector<Speaker>& speakers, const ExportOptions& options);

// The command line's conversion: `in` is a draft (.srt, .vtt, .json) or a transcript text
// file in any of the editor's encodings; `participantsFile` (may be empty) is a participants
// companion giving names and colours. A draft made into subtitles keeps its own times, to
// the millisecond, and every speaker it names; into anything else it goes through the
// transcript text that opening it in the editor gives.
void ConvertFile(const QString& in, const QString& out, const QString& participantsFile,
                 const ExportOptions& options);

}  // namespace exchange
