#include "dictionary/dictionary_store.h"

#include <algorithm>
#include <numeric>
#include <string_view>

namespace {

std::u16string_view CodeUnits(const QString& s) {
    return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size())};
}

}  // namespace

bool OrdinalLess(const QString& a, const QString& b) {
    // char_traits<char16_t> compares unsigned code units; surrogates are not combined.
    return CodeUnits(a) < CodeUnits(b);
}

QStringList SplitDictionaryLines(const QString& text) {
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n') ++i;
            ++i;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < n) lines.append(text.mid(start));
    return lines;
}

DictionaryRow RowFromLine(const QString& line) {
    const qsizetype tab = line.indexOf(u'\t');
    if (tab < 0) return {line, QString()};
    return {line.left(tab), line.mid(tab + 1)};
}

namespace {

// A line for sorting: its first four code units packed so that most comparisons are one
// integer comparison, without touching the string. Missing units count as 0, the lowest,
// so a prefix still sorts first; equal packs fall back to the whole lines.
struct SortKey {
    quint64 head;
    std::u16string_view line;
};

SortKey MakeKey(const QString& line) {
    const std::u16string_view units = CodeUnits(line);
    quint64 head = 0;
    for (size_t k = 0; k < 4; ++k) head = (head << 16) | (k < units.size() ? units[k] : 0);
    return {head, units};
}

}  // namespace

DictionaryRows RowsFromLines(const QStringList& lines) {
    std::vector<SortKey> keys;
    keys.reserve(static_cast<size_t>(lines.size()));
    for (const QString& line : lines) keys.push_back(MakeKey(line));
    std::vector<qsizetype> order(keys.size());
    std::iota(order.begin(), order.end(), qsizetype{0});
    std::stable_sort(order.begin(), order.end(), [&keys](qsizetype a, qsizetype b) {
        const SortKey& left = keys[static_cast<size_t>(a)];
        const SortKey& right = keys[static_cast<size_t>(b)];
        if (left.head != right.head) return left.head < right.head;
        return left.line < right.line;
    });
    DictionaryRows rows;
    rows.reserve(order.size() + 1);
    for (qsizetype k : order) rows.push_back(RowFromLine(lines.at(k)));
    if (rows.empty()) rows.push_back(DictionaryRow{});
    return rows;
}

QStringList EntryLines(const DictionaryRows& rows) {
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(rows.size()));
    for (const DictionaryRow& row : rows) {
        if (!row.abbreviation.isEmpty()) lines.append(row.abbreviation + u'\t' + row.text);
    }
    return lines;
}

QString JoinDictionaryLines(const QStringList& lines) {
    qsizetype total = 0;
    for (const QString& line : lines) total += line.size() + 2;
    QString text;
    text.reserve(total);
    for (const QString& line : lines) {
        text += line;
        text += QStringLiteral("\r\n");
    }
    return text;
}

bool ContainsAbbreviation(const DictionaryRows& rows, const QString& abbreviation) {
    return std::any_of(rows.begin(), rows.end(), [&abbreviation](const DictionaryRow& row) {
        return row.abbreviation == abbreviation;
    });
}
