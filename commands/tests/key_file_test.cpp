// The keys file: round trip through the registry, and every kind of damage keeping the defaults
// of what is wrong and the rest of the file.
#include "commands/key_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "commands/default_commands.h"

namespace {

using commands::Registry;

QKeySequence Key(QKeyCombination key) {
    return QKeySequence(key);
}

struct Program {
    Registry registry;
    Program() { commands::AddDefaultCommands(registry); }
    QStringList Load(const QByteArray& bytes) {
        commands::KeyFileContents contents = commands::ParseKeyFile(bytes);
        commands::ApplyKeyFile(registry, contents);
        return contents.problems;
    }
};

TEST(KeyFile, RoundTripKeepsEveryChangeAndOnlyTheChanges) {
    Program typed;
    // Pause and play change places; the font gets two keys; back loses its key.
    ASSERT_TRUE(typed.registry.SetKeys("player.pause", {}));
    ASSERT_TRUE(typed.registry.SetKeys("player.play", {Key(Qt::Key_F4)}));
    ASSERT_TRUE(typed.registry.SetKeys("player.pause", {Key(Qt::Key_F3)}));
    ASSERT_TRUE(typed.registry.SetKeys(
        "editor.font", {Key(Qt::CTRL | Qt::Key_E), Key(Qt::ALT | Qt::SHIFT | Qt::Key_F2)}));
    ASSERT_TRUE(typed.registry.SetKeys("player.back", {}));
    ASSERT_TRUE(typed.registry.SetKeys("editor.participant3", {Key(Qt::CTRL | Qt::Key(0x0416))}));
    const QByteArray text = commands::KeyFileText(typed.registry);
    EXPECT_FALSE(text.contains("editor.copy"));  // defaults are not written

    QTemporaryDir folder;
    const QString path = folder.filePath("sub/keys.conf");
    QString error;
    ASSERT_TRUE(commands::WriteKeyFile(path, typed.registry, &error)) << error.toStdString();
    Program read;
    commands::KeyFileContents contents = commands::ReadKeyFile(path);
    commands::ApplyKeyFile(read.registry, contents);
    EXPECT_TRUE(contents.problems.isEmpty()) << contents.problems.join("; ").toStdString();
    EXPECT_EQ(read.registry.Snapshot(), typed.registry.Snapshot());
    EXPECT_EQ(commands::KeyFileNote(contents.problems), QString());
}

TEST(KeyFile, DamageKeepsTheDefaultsOfWhatIsWrongAndTheRestOfTheFile) {
    QByteArray random(4096, '\0');
    QRandomGenerator generator(7);
    for (char& byte : random) byte = static_cast<char>(generator.bounded(256));
    QByteArray fifty = "# one id, fifty keys\n";
    for (int i = 1; i <= 50; ++i)
        fifty += "editor.font = Ctrl+Alt+F" + QByteArray::number(i % 35 + 1) + "\n";
    const QByteArray good = "editor.save = Ctrl+S\n";
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* defaultsKept;  // the command left with its defaults
        bool goodLineKept;
    };
    const Case cases[] = {
        {"random bytes", random + good, "player.pause", false},
        {"ten megabytes", QByteArray(10 * 1024 * 1024, 'x') + good, "player.pause", false},
        {"bad key name", "player.pause = Ctrl+Ы+F99\n" + good, "player.pause", true},
        {"fifty keys", fifty + good, "editor.font", true},
        {"unknown id", "player.fly = Ctrl+K\n" + good, "player.pause", true},
        {"not a line", "Ctrl+K player.pause\n" + good, "player.pause", true},
        {"key given twice", good + "player.pause = Ctrl+S\n", "player.pause", true},
        {"another's default key", "player.pause = F7\n" + good, "player.pause", true},
        {"a typing key", "player.pause = Space\n" + good, "player.pause", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Program program;
        const QStringList problems = program.Load(c.bytes);
        EXPECT_FALSE(problems.isEmpty());
        EXPECT_TRUE(program.registry.HasDefaultKeys(c.defaultsKept));
        EXPECT_EQ(program.registry.CommandForKey(Qt::CTRL | Qt::Key_S),
                  c.goodLineKept ? "editor.save" : "");
        EXPECT_EQ(program.registry.CommandForKey(Qt::Key_F7), "dictionary.show");
        EXPECT_FALSE(commands::KeyFileNote(problems).isEmpty());
    }
}

TEST(KeyFile, UnreadableOrMissingFilesAndFailedWrites) {
    QTemporaryDir folder;
    // A folder where the file should be: told, defaults kept.
    ASSERT_TRUE(QDir(folder.path()).mkpath("keys.conf"));
    EXPECT_FALSE(commands::ReadKeyFile(folder.filePath("keys.conf")).problems.isEmpty());
    // Missing: nothing to tell.
    const commands::KeyFileContents missing = commands::ReadKeyFile(folder.filePath("none.conf"));
    EXPECT_TRUE(missing.problems.isEmpty());
    EXPECT_TRUE(missing.entries.isEmpty());
    // A write that cannot happen says why and leaves what was there.
    Program program;
    QString error;
    EXPECT_FALSE(commands::WriteKeyFile(folder.filePath("keys.conf"), program.registry, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(folder.filePath("keys.conf")).isDir());
    // Lines with CR LF, comments, spaces and an empty key (no key at all) are read.
    EXPECT_TRUE(program.Load("# c\r\n  player.back   =   \r\nplayer.next=ctrl+n\r\n").isEmpty());
    EXPECT_TRUE(program.registry.Keys("player.back").isEmpty());
    EXPECT_EQ(program.registry.CommandForKey(Qt::CTRL | Qt::Key_N), "player.next");
}

}  // namespace
