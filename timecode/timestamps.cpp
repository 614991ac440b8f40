#include "timecode/timestamps.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr qsizetype kLongestTimestamp = 16;  // "[hhh:mm:ss.fff]" and a little room

bool IsDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// Reads 1 … maxDigits digits at `at`; returns the count read (0 when none).
int ReadNumber(QStringView text, qsizetype at, int maxDigits, int& value) {
    int count = 0;
    value = 0;
    while (at + count < text.size() && count < maxDigits && IsDigit(text[at + count])) {
        value = value * 10 + (text[at + count].unicode() - u'0');
        ++count;
    }
    return count;
}

}  // namespace

QString FormatTimestamp(double seconds) {
    return FormatTimestamp(seconds, TimestampStyle{});
}

QString TimestampFormatCaption(TimestampFormat format) {
    switch (format) {
        case TimestampFormat::Tenths:
            return QStringLiteral("[чч:мм:сс.д]");
        case TimestampFormat::Hundredths:
            return QStringLiteral("#чч:мм:сс.дд#");
        case TimestampFormat::Seconds:
            break;
    }
    return QStringLiteral("[чч:мм:сс]");
}

QString FormatTimestamp(double seconds, const TimestampStyle& style) {
    seconds += std::max(0.0, style.offset);
    if (!(seconds > 0.0)) seconds = 0.0;
    // Milliseconds first, so that a position such as 1.3 s is not shown as 1.2 s.
    const long long ms = std::llround(seconds * 1000.0);
    const long long whole = ms / 1000;
    const QString hms = QStringLiteral("%1:%2:%3")
                            .arg(whole / 3600, 2, 10, QChar(u'0'))
                            .arg((whole / 60) % 60, 2, 10, QChar(u'0'))
                            .arg(whole % 60, 2, 10, QChar(u'0'));
    switch (style.format) {
        case TimestampFormat::Tenths:
            return u'[' + hms + u'.' + QString::number((ms % 1000) / 100) + u']';
        case TimestampFormat::Hundredths:
            return u'#' + hms + u'.' +
                   QStringLiteral("%1").arg((ms % 1000) / 10, 2, 10, QChar(u'0')) + u'#';
        case TimestampFormat::Seconds:
            break;
    }
    return u'[' + hms + u']';
}

double RecordingSeconds(double tapeSeconds, const TimestampStyle& style) {
    return std::max(0.0, tapeSeconds - std::max(0.0, style.offset));
}

QString FormatOffset(double seconds) {
    const long long whole = static_cast<long long>(std::max(0.0, seconds));
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600, 2, 10, QChar(u'0'))
        .arg((whole / 60) % 60, 2, 10, QChar(u'0'))
        .arg(whole % 60, 2, 10, QChar(u'0'));
}

std::optional<double> ParseOffset(QStringView text) {
    const QString t = text.trimmed().toString();
    if (t.isEmpty()) return std::nullopt;
    bool ok = false;
    const int plain = t.toInt(&ok);
    if (ok) return plain >= 0 ? std::optional<double>(plain) : std::nullopt;
    return ParseTimestamp(QString(u'[' + t + u']'));
}

std::optional<ClockReading> ReadClock(QStringView text, int maxDigits, QStringView fractionMarks) {
    ClockReading clock;
    qsizetype at = 0;
    for (;;) {
        if (clock.count == 3) return std::nullopt;
        int& digits = clock.digits[clock.count];
        digits = ReadNumber(text, at, maxDigits, clock.numbers[clock.count]);
        if (digits == 0) return std::nullopt;
        at += digits;
        ++clock.count;
        if (at < text.size() && text[at] == u':') {
            ++at;
            continue;
        }
        break;
    }
    if (clock.count < 2) return std::nullopt;
    if (at < text.size() && fractionMarks.contains(text[at])) {
        int value = 0;
        const int n = ReadNumber(text, at + 1, 3, value);
        if (n == 0) return std::nullopt;
        clock.fraction = value / std::pow(10.0, n);
        at += 1 + n;
    }
    if (at != text.size()) return std::nullopt;
    return clock;
}

std::optional<double> ParseTimestamp(QStringView text) {
    if (text.size() < 6) return std::nullopt;
    const bool bracket = text.front() == u'[' && text.back() == u']';
    const bool hash = text.front() == u'#' && text.back() == u'#';
    if (!bracket && !hash) return std::nullopt;
    const auto clock = ReadClock(text.mid(1, text.size() - 2), 3, u".");
    if (!clock) return std::nullopt;
    const int count = clock->count;
    const auto& numbers = clock->numbers;
    const auto& digits = clock->digits;
    // Seconds and the minutes after hours: always two digits and below 60. The leading
    // number (hours, or minutes without hours) may have one or two digits (hours up to 3).
    const int secs = numbers[count - 1];
    if (digits[count - 1] != 2 || secs >= 60) return std::nullopt;
    double total = secs + clock->fraction;
    if (count == 3) {
        if (digits[1] != 2 || numbers[1] >= 60) return std::nullopt;
        total += numbers[1] * 60.0 + numbers[0] * 3600.0;
    } else {
        if (digits[0] > 2 || numbers[0] >= 60) return std::nullopt;
        total += numbers[0] * 60.0;
    }
    return total;
}

std::optional<TimestampSpan> TimestampAt(QStringView text, qsizetype offset) {
    if (offset < 0 || offset > text.size()) return std::nullopt;
    const qsizetype from = std::max<qsizetype>(0, offset - kLongestTimestamp);
    for (const TimestampSpan& span : TimestampsIn(text, from, offset + 1)) {
        if (span.start <= offset && offset <= span.start + span.length) return span;
    }
    return std::nullopt;
}

std::vector<TimestampSpan> TimestampsIn(QStringView text, qsizetype from, qsizetype to) {
    std::vector<TimestampSpan> found;
    to = std::min(to, text.size());
    qsizetype open = std::max<qsizetype>(from, 0);
    while (open < to) {
        const QChar c = text[open];
        if (c != u'[' && c != u'#') {
            ++open;
            continue;
        }
        const QChar closing = c == u'[' ? QChar(u']') : QChar(u'#');
        const qsizetype limit = std::min(text.size(), open + kLongestTimestamp);
        qsizetype next = open + 1;
        for (qsizetype close = open + 1; close < limit; ++close) {
            const QChar d = text[close];
            if (d == u'[' || d == u'\r' || d == u'\n') break;
            if (d != closing) continue;
            if (const auto seconds = ParseTimestamp(text.mid(open, close - open + 1))) {
                found.push_back({open, close - open + 1, *seconds});
                next = close + 1;  // a closing "#" opens nothing
            }
            break;
        }
        open = next;
    }
    return found;
}
