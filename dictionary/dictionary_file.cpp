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
    // The next start must read back what is written. A narrow code page writes "?" for what
    // it lacks, and Windows-1251 text starting with "яю", "юя" or "п»ї" looks like a
    // byte-order mark; in either case the file is written as UTF-8 with its mark instead.
    if (encoding != textfiles::Encoding::Utf8 &&
        textfiles::DecodeDetect(bytes).text != textfiles::NormalizeLineBreaks(text)) {
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
