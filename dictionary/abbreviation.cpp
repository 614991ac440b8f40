#include "dictionary/abbreviation.h"

#include <algorithm>

qsizetype AbbreviationStart(const QString& text, qsizetype position) {
    qsizetype i = std::clamp<qsizetype>(position, 0, text.size());
    while (i > 0) {
        const QChar c = text.at(i - 1);
        if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') break;
        --i;
    }
    return i;
}

QString WithFirstCapital(const QString& text) {
    if (text.isEmpty()) return text;
    QString result = text;
    result[0] = result.at(0).toUpper();
    return result;
}

QStringList FindVariants(const DictionaryRows& rows, const QString& abbreviation,
                         bool firstCapital) {
    QStringList variants;
    for (const DictionaryRow& row : rows) {
        if (row.abbreviation == abbreviation)
            variants.append(firstCapital ? WithFirstCapital(row.text) : row.text);
    }
    return variants;
}

QString EntryTextFromSelection(const QString& selection) {
    QString text;
    text.reserve(selection.size());
    for (qsizetype i = 0; i < selection.size(); ++i) {
        const QChar c = selection[i];
        if (c == u'\r' && i + 1 < selection.size() && selection[i + 1] == u'\n') {
            text += u' ';
            ++i;
        } else if (c == u'\r' || c == u'\n' || c == u'\t' || c == QChar(0x2028) ||
                   c == QChar(0x2029)) {
            text += u' ';
        } else {
            text += c;
        }
    }
    return text;
}
