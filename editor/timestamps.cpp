#include "editor/timestamps.h"

#include <cmath>

#include "editor/edit_history.h"
#include "editor/editor_commands.h"
#include "editor/editor_text.h"

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
    if (!(seconds > 0.0)) seconds = 0.0;
    const long long whole = static_cast<long long>(std::floor(seconds));
    return QStringLiteral("[%1:%2:%3]")
        .arg(whole / 3600, 2, 10, QChar(u'0'))
        .arg((whole / 60) % 60, 2, 10, QChar(u'0'))
        .arg(whole % 60, 2, 10, QChar(u'0'));
}

std::optional<double> ParseTimestamp(QStringView text) {
    if (text.size() < 6 || text.front() != u'[' || text.back() != u']') return std::nullopt;
    // Up to three numbers separated by ":"; the last one may carry a fraction.
    int numbers[3] = {};
    int digits[3] = {};
    int count = 0;
    qsizetype at = 1;
    for (;;) {
        if (count == 3) return std::nullopt;
        digits[count] = ReadNumber(text, at, 3, numbers[count]);
        if (digits[count] == 0) return std::nullopt;
        at += digits[count];
        ++count;
        if (at < text.size() && text[at] == u':') {
            ++at;
            continue;
        }
        break;
    }
    if (count < 2) return std::nullopt;
    double fraction = 0.0;
    if (at < text.size() && text[at] == u'.') {
        int value = 0;
        const int n = ReadNumber(text, at + 1, 3, value);
        if (n == 0) return std::nullopt;
        fraction = value / std::pow(10.0, n);
        at += 1 + n;
    }
    if (at != text.size() - 1) return std::nullopt;
    // Seconds and the minutes after hours: always two digits and below 60. The leading
    // number (hours, or minutes without hours) may have one or two digits (hours up to 3).
    const int secs = numbers[count - 1];
    if (digits[count - 1] != 2 || secs >= 60) return std::nullopt;
    double total = secs + fraction;
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
    // The "[" at or before the offset, no further back than the longest timestamp.
    const qsizetype lowest = std::max<qsizetype>(0, offset - kLongestTimestamp);
    for (qsizetype open = std::min(offset, text.size() - 1); open >= lowest; --open) {
        const QChar c = text[open];
        if (c == u'\r' || c == u'\n') break;
        if (c == u']' && open < offset - 1) break;
        if (c != u'[') continue;
        const qsizetype limit = std::min(text.size(), open + kLongestTimestamp);
        for (qsizetype close = open + 1; close < limit; ++close) {
            if (text[close] != u']') continue;
            if (offset > close + 1) return std::nullopt;
            const std::optional<double> seconds = ParseTimestamp(text.mid(open, close - open + 1));
            if (!seconds) return std::nullopt;
            return TimestampSpan{open, close - open + 1, *seconds};
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::vector<TimestampSpan> TimestampsIn(QStringView text, qsizetype from, qsizetype to) {
    std::vector<TimestampSpan> found;
    to = std::min(to, text.size());
    for (qsizetype open = text.indexOf(u'[', std::max<qsizetype>(from, 0)); open >= 0 && open < to;
         open = text.indexOf(u'[', open + 1)) {
        const qsizetype limit = std::min(text.size(), open + kLongestTimestamp);
        for (qsizetype close = open + 1; close < limit; ++close) {
            const QChar c = text[close];
            if (c == u'[') break;
            if (c != u']') continue;
            if (const auto seconds = ParseTimestamp(text.mid(open, close - open + 1))) {
                found.push_back({open, close - open + 1, *seconds});
            }
            break;
        }
    }
    return found;
}

void InsertTimestamp(EditorText& text, TEditHistory& history, double seconds) {
    RecordSnapshot(text, history);
    text.ReplaceSelection(FormatTimestamp(seconds));
    RecordSnapshot(text, history);
}
