// The pure part of expansion: finding the abbreviation before an offset and the dictionary's
// variants for it. No widgets; any thread.
#pragma once

#include <QString>
#include <QStringList>

#include "dictionary/dictionary_store.h"

// Offset where the abbreviation ending at `position` starts: the scan goes backwards until
// the start of the text or a space, TAB, CR or LF. Punctuation belongs to the abbreviation.
qsizetype AbbreviationStart(const QString& text, qsizetype position);

// The text with its first UTF-16 code unit upper-cased (Cyrillic and Latin alike); an empty
// text stays empty.
QString WithFirstCapital(const QString& text);

// Texts of the rows whose abbreviation equals `abbreviation` exactly, in table order; with
// `firstCapital` each text starts with a capital.
QStringList FindVariants(const DictionaryRows& rows, const QString& abbreviation,
                         bool firstCapital);

// Text selected in the editor as the text of one dictionary entry (F8): every line break
// (CR LF, LF, CR, U+2028, U+2029) and every TAB becomes one space, since a dictionary line
// ends at a break and its TAB separates the abbreviation from the text.
QString EntryTextFromSelection(const QString& selection);
