// Start-up with the dictionary in the user's data folder: the window set loads the file that
// the location rules choose, and a dictionary that exists but cannot be read ends start-up
// with the file error.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include "app/application.h"
#include "app/window_set.h"
#include "audio/audio.h"
#include "dictionary/dictionary_model.h"
#include "dictionary/dictionary_window.h"
#include "textfiles/textfiles.h"

namespace {

class StartupDictionary : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dataHome_.isValid());
        savedDataHome_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome_.path()));
        userPath_ = dataHome_.filePath("nuvtolvek/NUV_Tolvek.lib");
        besidePath_ = QCoreApplication::applicationDirPath() + "/NUV_Tolvek.lib";
        QFile beside(besidePath_);
        hadBeside_ = beside.open(QIODevice::ReadOnly);
        if (hadBeside_) savedBeside_ = beside.readAll();
        ErrorDialogHook = [this](const QString& text) { errors_ << text; };
        audio::CloseDevice();
        ASSERT_TRUE(audio::OpenManualOutput(44100));
    }

    void TearDown() override {
        DestroyWindowSet();
        audio::CloseDevice();
        ErrorDialogHook = nullptr;
        QFile::remove(besidePath_);
        if (hadBeside_) textfiles::WriteFileBytes(besidePath_, savedBeside_);
        qputenv("XDG_DATA_HOME", savedDataHome_);
    }

    bool Start() { return RunShowingErrors(CreateWindowSet); }

    QTemporaryDir dataHome_;
    QByteArray savedDataHome_;
    QString userPath_;
    QString besidePath_;
    bool hadBeside_ = false;
    QByteArray savedBeside_;
    QStringList errors_;
};

TEST_F(StartupDictionary, WithoutAnyDictionaryStartsWithAnEmptyOneInTheDataFolder) {
    QFile::remove(besidePath_);
    ASSERT_TRUE(Start()) << errors_.join("\n").toStdString();
    EXPECT_EQ(Form3->File.Path(), userPath_);
    EXPECT_TRUE(QFile::exists(userPath_));
    EXPECT_FALSE(QFile::exists(besidePath_));
    EXPECT_EQ(Form3->Table->rowCount(), 1);  // the blank row of an empty dictionary
    EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(StartupDictionary, UserDictionaryIsLoadedAndWrittenBack) {
    QDir().mkpath(dataHome_.filePath("nuvtolvek"));
    textfiles::WriteFileBytes(userPath_, "u\tuser\r\n");
    textfiles::WriteFileBytes(besidePath_, "b\tbeside\r\n");
    ASSERT_TRUE(Start());
    EXPECT_EQ(Form3->File.Path(), userPath_);
    EXPECT_EQ(Form3->Table->Cell(0, 1), QString("user"));
    Form3->Edit1->setText("n");
    Form3->Edit2->setText("new");
    Form3->Button1Click();
    EXPECT_EQ(textfiles::ReadFileBytes(userPath_), QByteArray("n\tnew\r\nu\tuser\r\n"));
    EXPECT_EQ(textfiles::ReadFileBytes(besidePath_), QByteArray("b\tbeside\r\n"));
}

TEST_F(StartupDictionary, UnreadableDictionaryShowsTheFileErrorAndStartUpEnds) {
    // A folder in the file's place cannot be opened for reading, not even by root.
    ASSERT_TRUE(QDir().mkpath(userPath_));
    EXPECT_FALSE(Start());
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_TRUE(errors_[0].startsWith(userPath_ + ": ")) << errors_[0].toStdString();
    EXPECT_EQ(Form3, nullptr);
}

}  // namespace
