#include "exchange/draft.h"

#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <optional>

#include "exchange/exchange_error.h"
#include "textfiles/textfiles.h"

namespace exchange {

namespace {

bool IsDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// UTF-16 without a mark: Latin and Cyrillic text alike has a zero byte in every other
// position (Latin) or none at all (Cyrillic); text in any single-byte encoding has none.
std::optional<textfiles::Encoding> Utf16ByZeros(const QByteArray& bytes) {
    const qsizetype n = std::min<qsizetype>(bytes.size() & ~qsizetype(1), 4096);
    if (n < 2) return std::nullopt;
    qsizetype even = 0, odd = 0;
    for (qsizetype i = 0; i < n; i += 2) {
        if (bytes[i] == 0) ++even;
        if (bytes[i + 1] == 0) ++odd;
    }
    const qsizetype pairs = n / 2;
    if (odd * 4 >= pairs && even == 0) return textfiles::Encoding::Utf16LE;
    if (even * 4 >= pairs && odd == 0) return textfiles::Encoding::Utf16BE;
    return std::nullopt;
}

bool IsValidUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder(bytes);
    return !decoder.hasError();
}

QStringList Lines(const QString& text) {
    return textfiles::NormalizeLineBreaks(text).split(QStringLiteral("\r\n"));
}

// "[h…:]mm:ss[,.]f…" as seconds: minutes and seconds two digits below 60, a fraction of one
// to three digits (milliseconds when three). Unlike a transcript's timestamp, the leading
// number may have up to nine digits, and minutes without hours are not bounded.
std::optional<double> ParseCueTime(QStringView text) {
    const auto clock = ReadClock(text.trimmed(), 9, u",.");
    if (!clock) return std::nullopt;
    const int count = clock->count;
    const int secs = clock->numbers[count - 1];
    const int mins = clock->numbers[count - 2];
    if (clock->digits[count - 1] != 2 || secs >= 60) return std::nullopt;
    if (count == 3 && (clock->digits[1] != 2 || mins >= 60)) return std::nullopt;
    const double hours = count == 3 ? clock->numbers[0] : 0.0;
    return hours * 3600.0 + mins * 60.0 + secs + clock->fraction;
}

struct TimeLine {
    double start = 0.0;
    double end = 0.0;
};
// "start --> end", WebVTT's cue settings after the end allowed.
std::optional<TimeLine> ParseTimeLine(QStringView line) {
    const qsizetype arrow = line.indexOf(QStringLiteral("-->"));
    if (arrow < 0) return std::nullopt;
    QStringView right = line.mid(arrow + 3).trimmed();
    for (qsizetype i = 0; i < right.size(); ++i) {
        if (right[i].isSpace()) {
            right = right.left(i);
            break;
        }
    }
    const auto start = ParseCueTime(line.left(arrow));
    const auto end = ParseCueTime(right);
    if (!start || !end) return std::nullopt;
    return TimeLine{*start, *end};
}

QString Collapse(const QString& text) {
    return text.simplified();
}

// Checks one segment in order and adds it; `where` names its place in messages.
void AddSegment(std::vector<Segment>& out, Segment segment, const QString& where) {
    segment.text = Collapse(segment.text);
    if (segment.text.isEmpty()) throw ExchangeError(where + QStringLiteral(": субтитр без текста"));
    if (segment.end < segment.start) {
        throw ExchangeError(where + QStringLiteral(": конец раньше начала"));
    }
    if (!out.empty() && segment.start < out.back().start) {
        throw ExchangeError(where + QStringLiteral(": время раньше, чем у предыдущего отрезка"));
    }
    out.push_back(std::move(segment));
}

QString LineName(qsizetype index) {
    return QStringLiteral("Строка %1").arg(index + 1);
}

QString BadTimeMessage(qsizetype index, QStringView line) {
    return LineName(index) + QStringLiteral(": ожидалось время «начало --> конец», а не «%1»")
                                 .arg(line.left(60).toString());
}

// A WebVTT cue payload: tags dropped (the first voice tag names the speaker), character
// references resolved.
void ReadVttPayload(const QString& payload, QString& text, QString& speaker) {
    for (qsizetype i = 0; i < payload.size(); ++i) {
        const QChar c = payload[i];
        if (c == u'<') {
            const qsizetype close = payload.indexOf(u'>', i + 1);
            if (close < 0) break;
            const QStringView tag = QStringView(payload).mid(i + 1, close - i - 1);
            if (speaker.isEmpty() && tag.size() > 2 && tag[0] == u'v' &&
                (tag[1] == u' ' || tag[1] == u'.')) {
                const qsizetype space = tag.indexOf(u' ');
                if (space > 0) speaker = tag.mid(space + 1).trimmed().toString();
            }
            i = close;
            continue;
        }
        if (c == u'&') {
            const qsizetype semi = payload.indexOf(u';', i + 1);
            if (semi > i && semi - i <= 8) {
                const QStringView name = QStringView(payload).mid(i + 1, semi - i - 1);
                QString value;
                if (name == u"amp")
                    value = QStringLiteral("&");
                else if (name == u"lt")
                    value = QStringLiteral("<");
                else if (name == u"gt")
                    value = QStringLiteral(">");
                else if (name == u"nbsp")
                    value = QStringLiteral(" ");
                else if (name == u"lrm" || name == u"rlm")
                    value = QStringLiteral("");
                if (!value.isNull()) {
                    text += value;
                    i = semi;
                    continue;
                }
            }
        }
        text += c;
    }
}

// Line and column (both from 1) of a byte offset into UTF-8 text.
std::pair<int, int> LineAndColumn(const QByteArray& utf8, qsizetype offset) {
    int line = 1, column = 1;
    for (qsizetype i = 0; i < offset && i < utf8.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        if (b == '\n') {
            ++line;
            column = 1;
        } else if ((b & 0xC0) != 0x80 && b != '\r') {
            ++column;
        }
    }
    return {line, column};
}

// The cue whose time line is line `i`: its time, then its text lines up to a blank line,
// each taken in by `payload`. `i` ends after the text.
template <typename Payload>
void ReadCue(const QStringList& lines, qsizetype& i, std::vector<Segment>& out, Payload payload) {
    const qsizetype timeIndex = i;
    const auto times = ParseTimeLine(lines[i]);
    if (!times) throw ExchangeError(BadTimeMessage(i, lines[i]));
    ++i;
    Segment segment{times->start, times->end, QString(), QString()};
    while (i < lines.size() && !lines[i].trimmed().isEmpty()) {
        payload(lines[i], segment);
        ++i;
    }
    AddSegment(out, std::move(segment), LineName(timeIndex));
}

std::optional<double> JsonTime(const QJsonValue& value, double scale) {
    if (value.isDouble()) {
        const double v = value.toDouble() * scale;
        if (std::isfinite(v) && v >= 0.0 && v < 1e7) return v;
        return std::nullopt;
    }
    if (value.isString()) return ParseCueTime(value.toString());
    return std::nullopt;
}

}  // namespace

QString DecodeTextBytes(const QByteArray& bytes) {
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") ||
        bytes.startsWith("\xFE\xFF")) {
        text = textfiles::DecodeDetect(bytes).text;
    } else if (const auto utf16 = Utf16ByZeros(bytes)) {
        text = textfiles::Decode(bytes, *utf16);
    } else if (IsValidUtf8(bytes)) {
        text = textfiles::Decode(bytes, textfiles::Encoding::Utf8);
    } else {
        text = textfiles::Decode(bytes, textfiles::Encoding::Ansi);
    }
    int line = 1;
    for (const QChar c : text) {
        if (c == u'\n') ++line;
        if (c.unicode() < 0x20 && c != u'\r' && c != u'\n' && c != u'\t' && c != u'\f') {
            throw ExchangeError(LineName(line - 1) +
                                QStringLiteral(": двоичные данные, это не текстовый файл"));
        }
    }
    return text;
}

DraftFormat DraftFormatOf(const QString& text) {
    const QString start = text.left(64).trimmed();
    if (start.startsWith(QStringLiteral("WEBVTT"))) return DraftFormat::Vtt;
    if (start.startsWith(u'[') || start.startsWith(u'{')) return DraftFormat::Json;
    return DraftFormat::Srt;
}

bool IsDraftFileName(const QString& path) {
    for (const char* ext : {".srt", ".vtt", ".json"}) {
        if (path.endsWith(QLatin1StringView(ext), Qt::CaseInsensitive)) return true;
    }
    return false;
}

std::vector<Segment> ReadSrt(const QString& text) {
    const QStringList lines = Lines(text);
    std::vector<Segment> out;
    qsizetype i = 0;
    const qsizetype n = lines.size();
    while (i < n) {
        if (lines[i].trimmed().isEmpty()) {
            ++i;
            continue;
        }
        const QString first = lines[i].trimmed();
        bool isNumber = true;
        for (const QChar c : first) isNumber = isNumber && IsDigit(c);
        if (isNumber && !first.contains(QStringLiteral("-->"))) {
            ++i;
            if (i >= n || lines[i].trimmed().isEmpty()) {
                throw ExchangeError(LineName(i - 1) +
                                    QStringLiteral(": за номером субтитра нет времени"));
            }
        }
        ReadCue(lines, i, out,
                [](const QString& line, Segment& segment) { segment.text += line + u' '; });
    }
    return out;
}

std::vector<Segment> ReadVtt(const QString& text) {
    const QStringList lines = Lines(text);
    const qsizetype n = lines.size();
    if (n == 0 || !lines[0].startsWith(QStringLiteral("WEBVTT")) ||
        (lines[0].size() > 6 && !lines[0][6].isSpace())) {
        throw ExchangeError(QStringLiteral("Строка 1: нет заголовка WEBVTT"));
    }
    std::vector<Segment> out;
    qsizetype i = 1;
    while (i < n && !lines[i].trimmed().isEmpty()) ++i;  // header lines
    while (i < n) {
        if (lines[i].trimmed().isEmpty()) {
            ++i;
            continue;
        }
        const QString& first = lines[i];
        if (!first.contains(QStringLiteral("-->")) &&
            (first.startsWith(QStringLiteral("NOTE")) ||
             first.startsWith(QStringLiteral("STYLE")) ||
             first.startsWith(QStringLiteral("REGION")))) {
            while (i < n && !lines[i].trimmed().isEmpty()) ++i;
            continue;
        }
        if (!first.contains(QStringLiteral("-->"))) ++i;  // the cue's identifier
        if (i >= n || lines[i].trimmed().isEmpty()) {
            throw ExchangeError(LineName(i - 1) +
                                QStringLiteral(": за именем субтитра нет времени"));
        }
        ReadCue(lines, i, out, [](const QString& line, Segment& segment) {
            ReadVttPayload(line, segment.text, segment.speaker);
            segment.text += u' ';
        });
    }
    return out;
}

std::vector<Segment> ReadJsonDraft(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError) {
        const auto [line, column] = LineAndColumn(utf8, error.offset);
        const QString why = error.error == QJsonParseError::DeepNesting
                                ? QStringLiteral("слишком глубокая вложенность")
                                : QStringLiteral("ошибка JSON (%1)").arg(error.errorString());
        throw ExchangeError(
            QStringLiteral("Строка %1, позиция %2: %3").arg(line).arg(column).arg(why));
    }
    QJsonArray items;
    double scale = 1.0;
    bool whisper = false;
    if (document.isArray()) {
        items = document.array();
    } else if (document.object().value(QStringLiteral("segments")).isArray()) {
        items = document.object().value(QStringLiteral("segments")).toArray();
    } else if (document.object().value(QStringLiteral("transcription")).isArray()) {
        items = document.object().value(QStringLiteral("transcription")).toArray();
        whisper = true;
        scale = 0.001;
    } else {
        throw ExchangeError(QStringLiteral("Строка 1: нет массива отрезков («segments»)"));
    }
    std::vector<Segment> out;
    for (qsizetype k = 0; k < items.size(); ++k) {
        const QString where = QStringLiteral("Отрезок %1").arg(k + 1);
        const QJsonObject item = items.at(k).toObject();
        if (!items.at(k).isObject()) throw ExchangeError(where + QStringLiteral(": не объект"));
        const QJsonObject times = whisper ? item.value(QStringLiteral("offsets")).toObject() : item;
        const auto start = JsonTime(
            times.value(whisper ? QStringLiteral("from") : QStringLiteral("start")), scale);
        const auto end =
            JsonTime(times.value(whisper ? QStringLiteral("to") : QStringLiteral("end")), scale);
        if (!start || !end) throw ExchangeError(where + QStringLiteral(": неверное время"));
        const QJsonValue textValue = item.value(QStringLiteral("text"));
        if (!textValue.isString()) throw ExchangeError(where + QStringLiteral(": нет текста"));
        const QJsonValue speakerValue = item.value(QStringLiteral("speaker"));
        QString speaker = speakerValue.isString()   ? speakerValue.toString()
                          : speakerValue.isDouble() ? QString::number(speakerValue.toInt())
                                                    : QString();
        AddSegment(out, Segment{*start, *end, textValue.toString(), speaker.simplified()}, where);
    }
    return out;
}

std::vector<Segment> ReadDraft(const QString& text) {
    switch (DraftFormatOf(text)) {
        case DraftFormat::Vtt:
            return ReadVtt(text);
        case DraftFormat::Json:
            return ReadJsonDraft(text);
        case DraftFormat::Srt:
            break;
    }
    return ReadSrt(text);
}

std::vector<Segment> ReadDraftFile(const QString& path) {
    const QFileInfo info(path);
    if (info.exists() && info.size() > kLargestDraftBytes) {
        throw ExchangeError(QStringLiteral("%1: файл слишком велик для черновика (%2 МБ)")
                                .arg(path)
                                .arg(info.size() / (1024 * 1024)));
    }
    QByteArray bytes;
    try {
        bytes = textfiles::ReadFileBytes(path);
    } catch (const textfiles::FileError& e) {
        throw ExchangeError(e.message());
    }
    try {
        const QString text = DecodeTextBytes(bytes);
        if (path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive)) return ReadJsonDraft(text);
        if (path.endsWith(QStringLiteral(".vtt"), Qt::CaseInsensitive)) return ReadVtt(text);
        if (path.endsWith(QStringLiteral(".srt"), Qt::CaseInsensitive)) return ReadSrt(text);
        return ReadDraft(text);
    } catch (const ExchangeError& e) {
        throw ExchangeError(path + QStringLiteral(": ") + e.message());
    }
}

std::vector<Segment> ReadPocketSphinx(const QString& output) {
    std::vector<Segment> out;
    Segment current;
    bool open = false;
    auto close = [&] {
        if (open && !current.text.isEmpty()) out.push_back(current);
        current = Segment{};
        open = false;
    };
    for (const QString& raw : Lines(output)) {
        const QStringList fields = raw.split(u' ', Qt::SkipEmptyParts);
        if (fields.size() != 4) continue;
        bool ok1 = false, ok2 = false, ok3 = false;
        const double start = fields[1].toDouble(&ok1);
        const double end = fields[2].toDouble(&ok2);
        fields[3].toDouble(&ok3);
        if (!ok1 || !ok2 || !ok3 || end < start || start < 0.0) continue;
        QString word = fields[0];
        if (word == u"<s>") {
            close();
            open = true;
            continue;
        }
        if (word == u"</s>") {
            close();
            continue;
        }
        if (word.startsWith(u'<') || word.startsWith(u'[') || word.startsWith(QStringLiteral("++")))
            continue;
        const qsizetype paren = word.indexOf(u'(');
        if (paren > 0 && word.endsWith(u')')) word.truncate(paren);
        if (!open) open = true;  // a word outside <s> … </s> still counts
        if (current.text.isEmpty()) {
            current.start = start;
        } else {
            current.text += u' ';
        }
        current.text += word;
        current.end = end;
    }
    close();
    // Utterances come in order; one that starts before the last would not read back.
    std::vector<Segment> ordered;
    for (Segment& s : out) {
        if (!ordered.empty() && s.start < ordered.back().start) continue;
        ordered.push_back(std::move(s));
    }
    return ordered;
}

std::optional<int> ProgressPercent(QStringView line) {
    const qsizetype percent = line.lastIndexOf(u'%');
    if (percent <= 0) return std::nullopt;
    qsizetype at = percent;
    while (at > 0 && line[at - 1].isSpace()) --at;
    qsizetype digits = at;
    while (digits > 0 && IsDigit(line[digits - 1]) && at - digits < 3) --digits;
    if (digits == at) return std::nullopt;
    const int value = line.mid(digits, at - digits).toInt();
    if (value > 100) return std::nullopt;
    return value;
}

QString DraftText(const std::vector<Segment>& segments, const QStringList& participantNames,
                  const TimestampStyle& style) {
    QString out;
    QString previous;  // speaker of the paragraph being written
    bool first = true;
    for (const Segment& segment : segments) {
        QString speaker = segment.speaker;
        QString text = segment.text;
        if (speaker.isEmpty()) {
            for (const QString& name : participantNames) {
                if (!name.isEmpty() && text.startsWith(name + QStringLiteral(": "))) {
                    speaker = name;
                    text = text.mid(name.size() + 2).trimmed();
                    break;
                }
            }
        }
        const QString stamp = FormatTimestamp(segment.start, style);
        if (!first && !speaker.isEmpty() && speaker == previous) {
            out += u' ' + stamp + u' ' + text;
            continue;
        }
        if (!first) out += QStringLiteral("\r\n");
        first = false;
        previous = speaker;
        if (speaker.isEmpty()) {
            out += stamp + u' ' + text;
        } else if (participantNames.contains(speaker)) {
            out += u'[' + speaker + QStringLiteral("]\r\n") + stamp + u' ' + text;
        } else {
            out += stamp + u' ' + speaker + QStringLiteral(": ") + text;
        }
    }
    return out;
}

}  // namespace exchange
