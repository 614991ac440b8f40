// The dictionary file: one entry per line, read with byte-order-mark detection and written
// back in the encoding found. Failures throw textfiles::FileError. One object per file; the
// calling thread owns it.
#pragma once

#include <QString>
#include <QStringList>

#include "textfiles/textfiles.h"

class DictionaryFile {
  public:
    explicit DictionaryFile(QString path) : path_(std::move(path)) {}

    const QString& Path() const { return path_; }
    // The encoding the next save writes: the one found by the last load (Windows-1251
    // without a mark), or UTF-8 once an entry needed it.
    textfiles::Encoding Encoding() const { return encoding_; }

    // Reads the file's lines and remembers its encoding. A missing file is an error.
    QStringList Load();
    // Replaces the whole file atomically with the lines, each ended by CR LF. When an entry
    // cannot be represented in the remembered encoding, the file is written as UTF-8 with its
    // mark instead, so that no typed character is lost, and that becomes the encoding.
    void Save(const QStringList& lines);

    // The bytes Save writes for these lines, and the encoding it chooses.
    static QByteArray EncodeLines(const QStringList& lines, textfiles::Encoding& encoding);

  private:
    QString path_;
    textfiles::Encoding encoding_ = textfiles::Encoding::Ansi;
};
