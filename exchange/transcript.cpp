#include "exchange/transcript.h"

#include <QHash>

#include "exchange/exchange_error.h"
#include "project/html_page.h"

namespace exchange {

namespace {

bool IsSpace(QChar c) {
    const char16_t u = c.unicode();
    if (u <= 0x20) return u == u' ' || u == u'\t' || u == u'\r' || u == u'\n' || u == u'\f';
    return (u == 0xA0 || u >= 0x1680) && c.isSpace();
}

// Appends `text` to `out` with every run of whitespace made one space (none at the start of
// `out`). Runs of words with single spaces between them are appended whole.
void AppendCollapsed(QString& out, QStringView text) {
    const qsizetype n = text.size();
    qsizetype chunk = 0;  // start of what is not appended yet
    bool afterSpace = out.isEmpty() || out.back() == u' ';
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (!IsSpace(c)) {
            afterSpace = false;
            continue;
        }
        if (c == u' ' && !afterSpace) {
            afterSpace = true;
            continue;
        }
        out.append(text.mid(chunk, i - chunk));
        if (!afterSpace) out += u' ';
        afterSpace = true;
        chunk = i + 1;
    }
    out.append(text.mid(chunk));
}

void AddRun(Paragraph& paragraph, QStringView text) {
    if (text.isEmpty()) return;
    if (!paragraph.empty() && paragraph.back().kind == Run::Kind::Text) {
        paragraph.back().text += text;
        return;
    }
    paragraph.push_back({Run::Kind::Text, text.toString(), -1, 0.0});
}

Paragraph ParseLine(QStringView line, const QHash<QString, int>& names,
                    const TimestampStyle& style) {
    Paragraph paragraph;
    const std::vector<TimestampSpan> stamps = TimestampsIn(line, 0, line.size());
    std::size_t nextStamp = 0;
    qsizetype copied = 0;
    qsizetype at = 0;
    while (at < line.size()) {
        if (nextStamp < stamps.size() && stamps[nextStamp].start == at) {
            const TimestampSpan& s = stamps[nextStamp++];
            AddRun(paragraph, line.mid(copied, at - copied));
            paragraph.push_back({Run::Kind::Timestamp, line.mid(s.start, s.length).toString(), -1,
                                 RecordingSeconds(s.seconds, style)});
            at = copied = s.start + s.length;
            continue;
        }
        if (line[at] == u'[' && !names.isEmpty()) {
            const qsizetype close = line.indexOf(u']', at + 1);
            if (close > at) {
                const auto found = names.constFind(line.mid(at + 1, close - at - 1).toString());
                if (found != names.constEnd()) {
                    AddRun(paragraph, line.mid(copied, at - copied));
                    paragraph.push_back({Run::Kind::Turn, found.key(), found.value(), 0.0});
                    at = copied = close + 1;
                    // A timestamp inside the marker's brackets cannot exist; skip any passed.
                    while (nextStamp < stamps.size() && stamps[nextStamp].start < at) ++nextStamp;
                    continue;
                }
            }
        }
        ++at;
    }
    AddRun(paragraph, line.mid(copied));
    return paragraph;
}

}  // namespace

std::vector<Speaker> SpeakersFromTable(const project::ParticipantTable& table) {
    std::vector<Speaker> speakers;
    for (const project::ParticipantCells& p : table) {
        if (p.name.isEmpty()) continue;
        const std::optional<std::int32_t> color = project::ParseColorText(p.color);
        speakers.push_back({p.name, static_cast<std::uint32_t>(color.value_or(0))});
    }
    return speakers;
}

std::vector<Paragraph> ParseTranscript(const QString& text, const std::vector<Speaker>& speakers,
                                       const TimestampStyle& style) {
    QHash<QString, int> names;
    for (int i = 0; i < static_cast<int>(speakers.size()); ++i) {
        if (!names.contains(speakers[i].name)) names.insert(speakers[i].name, i);
    }
    std::vector<Paragraph> paragraphs;
    const QStringView all(text);
    qsizetype start = 0;
    for (;;) {
        qsizetype end = start;
        while (end < all.size() && all[end] != u'\r' && all[end] != u'\n') ++end;
        paragraphs.push_back(ParseLine(all.mid(start, end - start), names, style));
        if (end >= all.size()) break;
        start =
            end + ((all[end] == u'\r' && end + 1 < all.size() && all[end + 1] == u'\n') ? 2 : 1);
    }
    return paragraphs;
}

std::vector<Cue> BuildCues(const std::vector<Paragraph>& paragraphs,
                           std::optional<double> recordingEnd) {
    std::vector<Cue> cues;
    Cue current;  // being filled; starts at 0 for text before the first timestamp
    int speaker = -1;
    double lastStamp = -1.0;
    auto finish = [&](double end) {
        while (!current.parts.empty() && current.parts.back().text.trimmed().isEmpty()) {
            current.parts.pop_back();
        }
        for (CuePart& part : current.parts) part.text = part.text.trimmed();
        if (!current.parts.empty() && end > current.start) {
            current.end = end;
            cues.push_back(std::move(current));
        }
        current = Cue{};
    };
    auto addText = [&](QStringView text) {
        if (current.parts.empty() || current.parts.back().speaker != speaker) {
            if (text.trimmed().isEmpty()) return;
            // A speaker's part that holds nothing yet gives way to the new one.
            if (!current.parts.empty() && current.parts.back().text.trimmed().isEmpty()) {
                current.parts.pop_back();
            }
            current.parts.push_back({speaker, QString()});
        }
        AppendCollapsed(current.parts.back().text, text);
    };
    for (std::size_t line = 0; line < paragraphs.size(); ++line) {
        if (line > 0) addText(u" ");
        for (const Run& run : paragraphs[line]) {
            switch (run.kind) {
                case Run::Kind::Text:
                    addText(run.text);
                    break;
                case Run::Kind::Turn:
                    speaker = run.speaker;
                    break;
                case Run::Kind::Timestamp:
                    if (run.seconds < lastStamp) {
                        throw ExchangeError(
                            QStringLiteral("Строка %1: метка времени %2 раньше предыдущей")
                                .arg(line + 1)
                                .arg(run.text));
                    }
                    if (run.seconds == lastStamp) break;  // the same moment: one cue
                    lastStamp = run.seconds;
                    // Text before a first timestamp at 0 has no time of its own: it joins
                    // that timestamp's cue.
                    if (run.seconds > current.start || current.parts.empty()) finish(run.seconds);
                    current.start = run.seconds;
                    break;
            }
        }
    }
    const double end = recordingEnd && *recordingEnd > current.start
                           ? *recordingEnd
                           : current.start + kLastCueSeconds;
    finish(end);
    return cues;
}

QString WithoutTimestamps(const QString& text) {
    const std::vector<TimestampSpan> stamps = TimestampsIn(text, 0, text.size());
    if (stamps.empty()) return text;
    QString out;
    out.reserve(text.size());
    qsizetype copied = 0;
    for (const TimestampSpan& s : stamps) {
        out += QStringView(text).mid(copied, s.start - copied);
        copied = s.start + s.length;
        if (copied < text.size() && text[copied] == u' ') ++copied;
    }
    out += QStringView(text).mid(copied);
    return out;
}

}  // namespace exchange
