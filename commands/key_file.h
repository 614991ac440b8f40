// The keys file, $XDG_CONFIG_HOME/nuvtolvek/keys.conf: the keys the typist gave commands in
// place of the defaults, and nothing else. Plain UTF-8 text, one key a line:
//
//   # comment
//   player.pause = Ctrl+P
//   editor.font = Ctrl+E
//   editor.font = Alt+E        (a second key: a second line)
//   player.back =              (no key at all)
//
// Keys are written as Qt writes them portably ("Ctrl+Shift+F9"). Reading is lenient: a file
// that cannot be read, is too large or is not text leaves every default; an unknown id, a bad
// key name, more keys than allowed or a key another command already holds leaves that
// command's defaults. Each such fault is counted for one note; the file is never written on
// reading, only when the typist saves the keys. Writing is atomic (QSaveFile).
// Any thread for parsing; applying and writing on the registry's thread.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include "commands/registry.h"

namespace commands {

inline constexpr qint64 kMaxKeyFileBytes = 256 * 1024;
inline constexpr int kMaxKeysPerCommand = 2;

struct KeyFileEntry {
    QString id;
    QList<QKeySequence> keys;  // empty: the command has no key
};

struct KeyFileContents {
    QList<KeyFileEntry> entries;  // valid lines grouped by id, in the order first seen
    QStringList problems;         // one text per fault, in Russian
};

// The path of the keys file: $XDG_CONFIG_HOME/nuvtolvek/keys.conf (~/.config without it).
QString KeyFilePath();

// Parses a file's bytes.
KeyFileContents ParseKeyFile(const QByteArray& bytes);
// Reads and parses the file; a missing file is an empty one without faults.
KeyFileContents ReadKeyFile(const QString& path);
// Gives the registry the file's keys; the faults found on the way (unknown ids, keys refused)
// are added to `contents.problems`.
void ApplyKeyFile(Registry& registry, KeyFileContents& contents);
// The file's text for the registry's keys as they stand: one line per key of every command
// whose keys differ from its defaults.
QByteArray KeyFileText(const Registry& registry);
// Writes KeyFileText atomically, creating the folder. False with a reason in `error`.
bool WriteKeyFile(const QString& path, const Registry& registry, QString* error = nullptr);
// The one note that tells of the faults; empty without any.
QString KeyFileNote(const QStringList& problems);

}  // namespace commands
