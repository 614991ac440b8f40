#include "dictionary/dictionary_file.h"

#include <array>
#include <bitset>
#include <optional>

#include "dictionary/dictionary_store.h"

QStringList DictionaryFile::Load() {
    textfiles::DetectedText read = textfiles::ReadTextFileDetect(path_);
    encoding_ = read.encoding;
    return SplitDictionaryLines(read.text);
}

namespace {

// Windows-1251 as a table taken from the decoding of its 256 bytes, once: encoding a large
// dictionary is then one pass that also tells whether every character fits.
struct Windows1251Table {
    std::array<unsigned char, 65536> byteOf{};
    std::bitset<65536> holds;

    Windows1251Table() {
        // Only the upper half: the lower is ASCII, and decoding would turn its CR and LF
        // into line breaks.
        QByteArray upper(128, '\0');
        for (int b = 0; b < 128; ++b) upper[b] = static_cast<char>(0x80 + b);
        const QString decoded = textfiles::Decode(upper, textfiles::Encoding::Ansi);
        if (decoded.size() != 128) return;  // then nothing beyond ASCII fits: UTF-8 it is
        for (int b = 0; b < 128; ++b) {
            const char16_t unit = decoded.at(b).unicode();
            if (unit == 0xFFFD) continue;  // an unassigned byte, not a character of the page
            byteOf[unit] = static_cast<unsigned char>(0x80 + b);
            holds.set(unit);
        }
    }
};

// The bytes in Windows-1251, or nothing when a character does not fit.
std::optional<QByteArray> EncodeWindows1251(const QString& text) {
    static const Windows1251Table table;
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    for (QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit < 0x80) {
            *out++ = static_cast<char>(unit);
        } else if (table.holds.test(unit)) {
            *out++ = static_cast<char>(table.byteOf[unit]);
        } else {
            return std::nullopt;
        }
    }
    return bytes;
}

bool StartsLikeAMark(const QByteArray& bytes) {
    return bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") ||
           bytes.startsWith("\xFE\xFF");
}

}  // namespace

QByteArray DictionaryFile::EncodeLines(const QStringList& lines, textfiles::Encoding& encoding) {
    const QString text = textfiles::NormalizeLineBreaks(JoinDictionaryLines(lines));
    // The next start must read back what is written. Windows-1251 would write "?" for what
    // it lacks, and text starting with "яю", "юя" or "п»ї" looks like a byte-order mark; in
    // either case the file is written as UTF-8 with its mark instead.
    // (Reading finds only Windows-1251, UTF-8 and UTF-16, and the Unicode ones hold all.)
    if (encoding == textfiles::Encoding::Ansi) {
        if (std::optional<QByteArray> bytes = EncodeWindows1251(text)) {
            if (!StartsLikeAMark(*bytes)) return *std::move(bytes);
        }
        encoding = textfiles::Encoding::Utf8;
    }
    return textfiles::Encode(text, encoding);
}

void DictionaryFile::Save(const QStringList& lines) {
    textfiles::Encoding encoding = encoding_;
    const QByteArray bytes = EncodeLines(lines, encoding);
    textfiles::WriteFileBytes(path_, bytes);
    encoding_ = encoding;
}
