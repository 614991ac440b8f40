// Readable failure messages for Qt strings and dictionary rows.
#pragma once

#include <QString>
#include <QStringList>
#include <ostream>

#include "dictionary/dictionary_store.h"

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{';
    for (const QString& s : list) *os << '"' << s.toStdString() << "\" ";
    *os << '}';
}
inline void PrintTo(const DictionaryRow& row, std::ostream* os) {
    *os << '[' << row.abbreviation.toStdString() << " | " << row.text.toStdString() << ']';
}
