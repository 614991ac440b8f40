// Text decoding on arbitrary bytes: with byte-order-mark detection and with each of the six
// encodings. Whatever the bytes, every line break comes out as CR LF, and a text read from a
// file is written back and read again unchanged by the Unicode encodings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "textfiles/textfiles.h"

namespace {

void CheckCrLf(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n')) std::abort();
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) std::abort();
    }
}

bool HasSurrogate(const QString& text) {
    for (QChar c : text)
        if (c.isSurrogate()) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const textfiles::DetectedText detected = textfiles::DecodeDetect(bytes);
    CheckCrLf(detected.text);
    for (int i = 0; i < textfiles::kEncodingCount; ++i) {
        const QString text = textfiles::Decode(bytes, textfiles::EncodingFromIndex(i));
        CheckCrLf(text);
    }

    // A text as read (unpaired surrogates aside, which no encoder keeps) survives a write and
    // a read with detection in every Unicode encoding that carries a mark.
    if (!HasSurrogate(detected.text)) {
        for (textfiles::Encoding e : {textfiles::Encoding::Utf8, textfiles::Encoding::Utf16LE,
                                      textfiles::Encoding::Utf16BE}) {
            const textfiles::DetectedText again =
                textfiles::DecodeDetect(textfiles::Encode(detected.text, e));
            if (again.text != detected.text || again.encoding != e) std::abort();
        }
    }
    return 0;
}
