// The abbreviation dictionary as data: splitting the file text into lines, the ordinal sort
// of whole lines, turning lines into table rows and rows back into lines. No widgets, no
// files; any thread, one table per thread.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

struct DictionaryRow {
    QString abbreviation;
    QString text;
    bool operator==(const DictionaryRow&) const = default;
};

// Data rows of the dictionary table in table order. There is always at least one row: an
// empty dictionary is one blank row (both cells empty).
using DictionaryRows = std::vector<DictionaryRow>;

// Ordinal order: UTF-16 code unit by code unit as unsigned numbers, case-sensitive, a prefix
// before the longer string.
bool OrdinalLess(const QString& a, const QString& b);

// Splits file text into lines. CR LF, a lone LF and a lone CR each end a line; a final line
// end does not start an extra line, so "" gives no lines at all.
QStringList SplitDictionaryLines(const QString& text);

// One line to one row: split at the first TAB; without a TAB the whole line is the
// abbreviation and the text is empty.
DictionaryRow RowFromLine(const QString& line);

// The rebuild: rows of the lines in stable ordinal order of the whole lines. The lines
// themselves are not reordered. No lines give the single blank row.
DictionaryRows RowsFromLines(const QStringList& lines);

// Lines for the file: abbreviation, TAB, text for every row whose abbreviation is not empty,
// in table order.
QStringList EntryLines(const DictionaryRows& rows);

// File text of lines: every line, the last one included, ends with CR LF.
QString JoinDictionaryLines(const QStringList& lines);

// Whether any row has exactly this abbreviation (case-sensitive).
bool ContainsAbbreviation(const DictionaryRows& rows, const QString& abbreviation);
