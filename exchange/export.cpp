#include "exchange/export.h"

#include "exchange/documents.h"
#include "exchange/draft.h"
#include "exchange/exchange_error.h"
#include "exchange/subtitles.h"
#include "textfiles/textfiles.h"

namespace exchange {

std::optional<ExportFormat> ExportFormatFor(const QString& path) {
    const QString lower = path.toLower();
    for (ExportFormat f : {ExportFormat::Odt, ExportFormat::Docx, ExportFormat::Srt,
                           ExportFormat::Vtt, ExportFormat::Text}) {
        if (lower.endsWith(ExportExtension(f))) return f;
    }
    return std::nullopt;
}

QString ExportExtension(ExportFormat format) {
    switch (format) {
        case ExportFormat::Odt:
            return QStringLiteral(".odt");
        case ExportFormat::Docx:
            return QStringLiteral(".docx");
        case ExportFormat::Srt:
            return QStringLiteral(".srt");
        case ExportFormat::Vtt:
            return QStringLiteral(".vtt");
        case ExportFormat::Text:
            break;
    }
    return QStringLiteral(".txt");
}

QByteArray ExportBytes(const QString& transcript, const std::vector<Speaker>& speakers,
                       ExportFormat format, const ExportOptions& options) {
    switch (format) {
        case ExportFormat::Text: {
            const QString text = options.timestamps ? transcript : WithoutTimestamps(transcript);
            return textfiles::Encode(text, textfiles::Encoding::Utf8);
        }
        case ExportFormat::Srt:
        case ExportFormat::Vtt: {
            const std::vector<Cue> cues = BuildCues(
                ParseTranscript(transcript, speakers, options.style), options.recordingLength);
            return format == ExportFormat::Srt ? SrtBytes(cues, speakers)
                                               : VttBytes(cues, speakers);
        }
        case ExportFormat::Odt:
        case ExportFormat::Docx: {
            const std::vector<Paragraph> paragraphs =
                ParseTranscript(transcript, speakers, options.style);
            return format == ExportFormat::Odt
                       ? OdtBytes(paragraphs, speakers, options.timestamps)
                       : DocxBytes(paragraphs, speakers, options.timestamps);
        }
    }
    return {};
}

void ExportFile(const QString& path, const QString& transcript,
                const std::vector<Speaker>& speakers, const ExportOptions& options) {
    const std::optional<ExportFormat> format = ExportFormatFor(path);
    if (!format) {
        throw ExchangeError(
            QStringLiteral("%1: неизвестный формат (ожидается .odt, .docx, .srt, .vtt или .txt)")
                .arg(path));
    }
    const QByteArray bytes = ExportBytes(transcript, speakers, *format, options);
    try {
        textfiles::WriteFileBytes(path, bytes);
    } catch (const textfiles::FileError& e) {
        throw ExchangeError(e.message());
    }
}

namespace {

// A draft straight to subtitles: every segment a cue with its own times, to the millisecond.
// Speakers that are no participant's get a voice of their own.
QByteArray DraftSubtitles(const std::vector<Segment>& segments, std::vector<Speaker> speakers,
                          ExportFormat format) {
    std::vector<Cue> cues;
    for (const Segment& segment : segments) {
        int speaker = -1;
        QString text = segment.text;
        for (int i = 0; i < static_cast<int>(speakers.size()) && segment.speaker.isEmpty(); ++i) {
            if (text.startsWith(speakers[i].name + QStringLiteral(": "))) {
                speaker = i;
                text = text.mid(speakers[i].name.size() + 2).trimmed();
                break;
            }
        }
        if (!segment.speaker.isEmpty()) {
            for (int i = 0; i < static_cast<int>(speakers.size()) && speaker < 0; ++i) {
                if (speakers[i].name == segment.speaker) speaker = i;
            }
            if (speaker < 0) {
                speakers.push_back({segment.speaker, 0});
                speaker = static_cast<int>(speakers.size()) - 1;
            }
        }
        // A cue of no length shows nothing: it lasts until the next one starts.
        cues.push_back({segment.start, segment.end, {{speaker, text}}});
    }
    for (std::size_t i = 0; i < cues.size(); ++i) {
        if (cues[i].end > cues[i].start) continue;
        cues[i].end = i + 1 < cues.size() && cues[i + 1].start > cues[i].start
                          ? cues[i + 1].start
                          : cues[i].start + kLastCueSeconds;
    }
    return format == ExportFormat::Srt ? SrtBytes(cues, speakers) : VttBytes(cues, speakers);
}

}  // namespace

void ConvertFile(const QString& in, const QString& out, const QString& participantsFile,
                 const ExportOptions& options) {
    const std::optional<ExportFormat> format = ExportFormatFor(out);
    if (!format) ExportFile(out, QString(), {}, options);  // says why
    project::ParticipantTable table;
    if (!participantsFile.isEmpty()) {
        try {
            table =
                project::ParseParticipantsLines(textfiles::ReadLinesDetect(participantsFile).lines);
        } catch (const textfiles::FileError& e) {
            throw ExchangeError(e.message());
        }
    }
    const std::vector<Speaker> speakers = SpeakersFromTable(table);
    QString transcript;
    if (IsDraftFileName(in)) {
        const std::vector<Segment> segments = ReadDraftFile(in);
        if (*format == ExportFormat::Srt || *format == ExportFormat::Vtt) {
            try {
                textfiles::WriteFileBytes(out, DraftSubtitles(segments, speakers, *format));
            } catch (const textfiles::FileError& e) {
                throw ExchangeError(e.message());
            }
            return;
        }
        QStringList names;
        for (const Speaker& s : speakers) names << s.name;
        transcript = DraftText(segments, names, options.style);
    } else {
        try {
            transcript = DecodeTextBytes(textfiles::ReadFileBytes(in));
        } catch (const textfiles::FileError& e) {
            throw ExchangeError(e.message());
        } catch (const ExchangeError& e) {
            throw ExchangeError(in + QStringLiteral(": ") + e.message());
        }
    }
    ExportFile(out, transcript, speakers, options);
}

}  // namespace exchange
