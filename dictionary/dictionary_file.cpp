#include "dictionary/dictionary_file.h"

#include "dictionary/dictionary_store.h"

QStringList DictionaryFile::Load() {
    textfiles::DetectedText read = textfiles::ReadTextFileDetect(path_);
    encoding_ = read.encoding;
    return SplitDictionaryLines(read.text);
}

QByteArray DictionaryFile::EncodeLines(const QStringList& lines, textfiles::Encoding& encoding) {
    const QString text = JoinDictionaryLines(lines);
    QByteArray bytes = textfiles::Encode(text, encoding);
    const bool narrow = encoding != textfiles::Encoding::Utf8 &&
                        encoding != textfiles::Encoding::Utf16LE &&
                        encoding != textfiles::Encoding::Utf16BE;
    // A narrow code page writes "?" for what it lacks; only a round trip tells.
    if (narrow && textfiles::Decode(bytes, encoding) != textfiles::NormalizeLineBreaks(text)) {
        encoding = textfiles::Encoding::Utf8;
        bytes = textfiles::Encode(text, encoding);
    }
    return bytes;
}

void DictionaryFile::Save(const QStringList& lines) {
    textfiles::Encoding encoding = encoding_;
    const QByteArray bytes = EncodeLines(lines, encoding);
    textfiles::WriteFileBytes(path_, bytes);
    encoding_ = encoding;
}
