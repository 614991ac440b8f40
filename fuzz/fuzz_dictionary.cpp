// The dictionary reader on arbitrary bytes: whatever a file holds, the entries read from it
// are saved and read back unchanged, in the encoding the save chose.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "dictionary/dictionary_file.h"
#include "dictionary/dictionary_store.h"
#include "textfiles/textfiles.h"

namespace {

QStringList EntriesOf(const QByteArray& bytes, textfiles::Encoding* found) {
    const textfiles::DetectedText read = textfiles::DecodeDetect(bytes);
    if (found) *found = read.encoding;
    return EntryLines(RowsFromLines(SplitDictionaryLines(read.text)));
}

bool HasSurrogate(const QStringList& lines) {
    for (const QString& line : lines)
        for (QChar c : line)
            if (c.isSurrogate()) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    textfiles::Encoding encoding;
    const QStringList entries = EntriesOf(bytes, &encoding);

    // Sorted, and every entry has an abbreviation.
    const DictionaryRows rows = RowsFromLines(entries);
    for (std::size_t i = 1; i < rows.size(); ++i)
        if (OrdinalLess(rows[i].abbreviation + u'\t' + rows[i].text,
                        rows[i - 1].abbreviation + u'\t' + rows[i - 1].text))
            std::abort();

    if (HasSurrogate(entries)) return 0;  // no encoder keeps a lone surrogate
    textfiles::Encoding chosen = encoding;
    const QByteArray saved = DictionaryFile::EncodeLines(entries, chosen);
    textfiles::Encoding again;
    QStringList reread = EntriesOf(saved, &again);
    // A line without a TAB is saved with one, which can move it among lines that continue
    // with control characters below TAB; the entries themselves must all come back.
    QStringList expected = entries;
    std::sort(reread.begin(), reread.end(), OrdinalLess);
    std::sort(expected.begin(), expected.end(), OrdinalLess);
    if (reread != expected) std::abort();
    if (!entries.isEmpty() && again != chosen &&
        !(chosen == textfiles::Encoding::Ascii || chosen == textfiles::Encoding::Utf7))
        std::abort();
    return 0;
}
