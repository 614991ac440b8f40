#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "dictionary/dictionary_file.h"
#include "dictionary/dictionary_location.h"
#include "textfiles/textfiles.h"

namespace {

QByteArray Read(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void Write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

class DictionaryLocationTest : public ::testing::Test {
  protected:
    QTemporaryDir dir_;
    QString userPath_ = dir_.filePath("home/.local/share/nuvtolvek/NUV_Tolvek.lib");
    QString besidePath_ = dir_.filePath("bin/NUV_Tolvek.lib");

    // An installed program: nothing beside it may be written.
    static bool OnlyHomeWritable(const QString& path) { return !path.contains("/bin"); }
};

TEST_F(DictionaryLocationTest, FreshUserGetsAnEmptyDictionaryInTheDataFolder) {
    QDir().mkpath(dir_.filePath("bin"));
    for (auto writable : {&OnlyHomeWritable, +[](const QString&) { return true; }}) {
        QFile::remove(userPath_);
        EXPECT_EQ(PrepareDictionaryFile(userPath_, besidePath_, writable), userPath_);
        ASSERT_TRUE(QFile::exists(userPath_));
        EXPECT_EQ(Read(userPath_), QByteArray());
        EXPECT_FALSE(QFile::exists(besidePath_));
        // What the program then loads is an empty dictionary.
        EXPECT_TRUE(DictionaryFile(userPath_).Load().isEmpty());
    }
    // Every folder made on the way is the user's alone.
    for (const char* folder :
         {"home", "home/.local", "home/.local/share", "home/.local/share/nuvtolvek"}) {
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(dir_.filePath(folder)).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
}

TEST_F(DictionaryLocationTest, SharedStartingDictionaryIsCopiedOnceAndLeftAlone) {
    const QByteArray shared(
        "\xEF\xBB\xBF"
        "кв\tквартира\r\nпр\tпроект\r\n");
    Write(besidePath_, shared);
    EXPECT_EQ(PrepareDictionaryFile(userPath_, besidePath_, OnlyHomeWritable), userPath_);
    EXPECT_EQ(Read(userPath_), shared);

    // The user's own edits survive a later start and a changed shared dictionary.
    Write(userPath_, "own\tentry\r\n");
    Write(besidePath_, "new\tshared\r\n");
    EXPECT_EQ(PrepareDictionaryFile(userPath_, besidePath_, OnlyHomeWritable), userPath_);
    EXPECT_EQ(Read(userPath_), QByteArray("own\tentry\r\n"));
    EXPECT_EQ(Read(besidePath_), QByteArray("new\tshared\r\n"));
}

TEST_F(DictionaryLocationTest, WritablePortableCopyIsUsedInPlace) {
    Write(besidePath_, "p\tportable\r\n");
    EXPECT_EQ(PrepareDictionaryFile(userPath_, besidePath_, PathIsWritable), besidePath_);
    EXPECT_FALSE(QFile::exists(userPath_));
    EXPECT_FALSE(QDir(dir_.filePath("home")).exists());
}

TEST_F(DictionaryLocationTest, FileOrFolderBesideTheProgramReadOnlyMeansACopy) {
    Write(besidePath_, "s\tshared\r\n");
    const QString folder = dir_.filePath("bin");
    struct Case {
        const char* name;
        std::function<bool(const QString&)> writable;
    } cases[] = {
        {"file read-only", [&](const QString& p) { return p != besidePath_; }},
        {"folder read-only", [&](const QString& p) { return p != folder; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(userPath_);
        EXPECT_EQ(PrepareDictionaryFile(userPath_, besidePath_, c.writable), userPath_);
        EXPECT_EQ(Read(userPath_), QByteArray("s\tshared\r\n"));
    }
}

TEST_F(DictionaryLocationTest, ExistingUserDictionaryWinsOverAPortableCopy) {
    Write(besidePath_, "p\tportable\r\n");
    Write(userPath_, "u\tuser\r\n");
    EXPECT_EQ(PrepareDictionaryFile(userPath_, besidePath_, PathIsWritable), userPath_);
    EXPECT_EQ(Read(besidePath_), QByteArray("p\tportable\r\n"));
}

TEST_F(DictionaryLocationTest, UnreadableUserDictionaryIsChosenAndFailsToLoad) {
    // A folder in the file's place cannot be read, not even by root.
    QDir().mkpath(userPath_);
    Write(besidePath_, "p\tportable\r\n");
    const QString chosen = PrepareDictionaryFile(userPath_, besidePath_, PathIsWritable);
    EXPECT_EQ(chosen, userPath_);
    try {
        DictionaryFile(chosen).Load();
        ADD_FAILURE() << "an unreadable dictionary loaded";
    } catch (const textfiles::FileError& error) {
        EXPECT_EQ(error.path(), userPath_);
    }
}

TEST_F(DictionaryLocationTest, UnreadableStartingDictionaryIsAnErrorNamingIt) {
    QDir().mkpath(besidePath_);
    try {
        PrepareDictionaryFile(userPath_, besidePath_, OnlyHomeWritable);
        ADD_FAILURE() << "no error";
    } catch (const textfiles::FileError& error) {
        EXPECT_EQ(error.path(), besidePath_);
    }
    EXPECT_FALSE(QFile::exists(userPath_));
}

TEST_F(DictionaryLocationTest, DataFolderThatCannotBeMadeIsAnError) {
    // A file where the folder should be.
    Write(dir_.filePath("home/.local/share/nuvtolvek"), "x");
    EXPECT_THROW(PrepareDictionaryFile(userPath_, besidePath_, OnlyHomeWritable),
                 textfiles::FileError);
}

TEST(UserDictionaryPath, FollowsXdgDataHomeAndFallsBackToTheHomeFolder) {
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", "/home/typist");
    struct Case {
        const char* xdg;  // nullptr: unset
        const char* expected;
    } cases[] = {
        {"/data/u", "/data/u/nuvtolvek/NUV_Tolvek.lib"},
        {nullptr, "/home/typist/.local/share/nuvtolvek/NUV_Tolvek.lib"},
        {"", "/home/typist/.local/share/nuvtolvek/NUV_Tolvek.lib"},
        {"relative/dir", "/home/typist/.local/share/nuvtolvek/NUV_Tolvek.lib"},
    };
    for (const Case& c : cases) {
        if (c.xdg == nullptr)
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", c.xdg);
        EXPECT_EQ(UserDictionaryPath(), QString(c.expected)) << (c.xdg ? c.xdg : "(unset)");
    }
    qputenv("HOME", oldHome);
    if (oldData.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", oldData);
}

}  // namespace
