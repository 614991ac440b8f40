#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>

#include "app/application.h"
#include "app/project_commands.h"
#include "app/window_set.h"
#include "audio/audio.h"
#include "editor/editor_window.h"
#include "participants/participants_window.h"
#include "player/player_controls.h"
#include "player/player_window.h"
#include "player/sound_notice.h"
#include "project/project_file.h"
#include "test_support.h"

using namespace project;
using test_support::ReadBytes;
using test_support::WriteBytes;
using test_support::WriteWav;
using textfiles::Encoding;

namespace {

class ProjectCommands : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(QDir(dir_.path()).mkpath("записи"));
        wavA_ = dir_.filePath("записи/первая запись.wav");
        wavB_ = dir_.filePath("b.wav");
        ASSERT_TRUE(WriteWav(wavA_, 10.5));
        ASSERT_TRUE(WriteWav(wavB_, 4.0, 22050));
        Fresh();
    }
    void TearDown() override {
        DestroyWindowSet();
        Dialogs() = {};
        ErrorDialogHook = nullptr;
        ResetProjectState();
    }

    // A new window set, as after a restart of the program.
    void Fresh() {
        if (Form1) DestroyWindowSet();
        CreateWindowSet();
        ResetProjectState();
        errors_.clear();
        messages_.clear();
        saveAsked_ = openAsked_ = warned_ = 0;
        ErrorDialogHook = [this](const QString& m) { errors_ << m; };
        Form1->MessageHook = [this](const QString& m) { messages_ << m; };
        Dialogs().RunSaveDialog = [this](QString& path) {
            ++saveAsked_;
            if (saveAnswer_.isEmpty()) return false;
            path = saveAnswer_;
            return true;
        };
        Dialogs().RunOpenDialog = [this](QString& path) {
            ++openAsked_;
            if (openAnswer_.isEmpty()) return false;
            path = openAnswer_;
            return true;
        };
        Dialogs().ConfirmDataLoss = [this] {
            ++warned_;
            return warnAnswer_;
        };
    }

    void Save() { SaveProject(*Form1, *Form2, *Form5); }
    void SaveAs() { SaveProjectAs(*Form1, *Form2, *Form5); }
    void Open(const QString& path) {
        openAnswer_ = path;
        OpenProject(*Form1, *Form2, *Form5);
    }

    // Renders `seconds` of output: a playing stream moves on by that much.
    static void Render(double seconds) {
        audio::AdvanceManualOutput(static_cast<size_t>(seconds * 44100));
    }
    static double PositionSeconds() {
        return audio::BytesToSeconds(Form1->Stream,
                                     audio::StreamPosition(Form1->Stream, audio::POS_BYTE));
    }
    QStringList Playlist() const {
        QStringList items;
        for (int i = 0; i < Form1->ListBox1->count(); ++i)
            items << Form1->ListBox1->item(i)->text();
        return items;
    }
    void SetParticipant(int n, const QString& picture, const QString& name, const QString& color) {
        Form5->SetCells(n, 1, picture);
        Form5->SetCells(n, 2, name);
        Form5->SetCells(n, 3, color);
    }
    void ClearParticipants() {
        for (int n = 1; n <= 10; ++n) SetParticipant(n, "", "", "");
    }
    // A project file written by hand in Windows-1251, with companions beside it.
    QString HandProject(const QString& name, const QString& content) {
        return HandProjectBytes(name, textfiles::Encode(content, Encoding::Ansi));
    }
    QString HandProjectBytes(const QString& name, const QByteArray& content) {
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(WriteBytes(path, content));
        EXPECT_TRUE(WriteBytes(path + ".txt", textfiles::Encode("текст", Encoding::Ansi)));
        EXPECT_TRUE(WriteBytes(path + ".par", ""));
        return path;
    }

    QTemporaryDir dir_;
    QString wavA_, wavB_;
    QStringList errors_, messages_;
    QString saveAnswer_, openAnswer_;
    bool warnAnswer_ = true;
    int saveAsked_ = 0, openAsked_ = 0, warned_ = 0;
};

}  // namespace

TEST_F(ProjectCommands, WholeStateRoundTrip) {
    Form1->Edit1->setText("12");
    Form1->Edit2->setText("99");  // beyond the field's range: saved and restored as typed
    Form1->Edit3->setText("0");
    Form1->Edit4->setText("x");
    Form1->ListBox1->addItems({wavB_, wavA_, wavB_, wavA_});
    Form1->ListBox1->setCurrentRow(1);
    Form1->ListBox1Click();  // plays the Cyrillic-named file
    ASSERT_NE(Form1->Stream, 0u);
    Render(3.6);
    const QString text = "Первая строка\r\n[Анна]\r\nвторая «<неразборчиво>»\r\n";
    Form2->ReplaceText(text);
    Form2->TextEncoding = Encoding::Utf16BE;
    for (int n = 1; n <= 10; ++n)
        SetParticipant(n, dir_.filePath(QStringLiteral("фото/p%1.jpg").arg(n)),
                       QStringLiteral("Участник %1").arg(n), QString::number(n * 1234567));
    SetParticipant(4, "", "O'Neil & Co", "-16777211");

    saveAnswer_ = dir_.filePath("работа.prj");
    Save();
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_TRUE(QFile::exists(saveAnswer_ + ".txt"));
    EXPECT_TRUE(QFile::exists(saveAnswer_ + ".par"));
    EXPECT_TRUE(ReadBytes(saveAnswer_).contains("CURRENT=1\r\nPOS=3\r\n"));

    Fresh();
    Open(saveAnswer_);
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_EQ(warned_, 0);  // the fresh editor is empty
    EXPECT_EQ(ProjectName, saveAnswer_);
    EXPECT_EQ(Form1->Edit1->text(), "12");
    EXPECT_EQ(Form1->Edit2->text(), "99");
    EXPECT_EQ(Form1->Edit3->text(), "0");
    EXPECT_EQ(Form1->Edit4->text(), "x");
    EXPECT_EQ(Playlist(), QStringList({wavB_, wavA_, wavB_, wavA_}));
    EXPECT_EQ(Form1->ListBox1->currentRow(), 1);
    EXPECT_TRUE(Form1->ListBox1->item(1)->isSelected());
    EXPECT_EQ(Form2->Text(), text);
    EXPECT_EQ(Form2->TextEncoding, Encoding::Utf16BE);
    for (int n = 1; n <= 10; ++n) {
        if (n == 4) continue;
        EXPECT_EQ(Form5->Cells(n, 1), dir_.filePath(QStringLiteral("фото/p%1.jpg").arg(n)));
        EXPECT_EQ(Form5->Cells(n, 2), QStringLiteral("Участник %1").arg(n));
        EXPECT_EQ(Form5->Cells(n, 3), QString::number(n * 1234567));
    }
    EXPECT_EQ(Form5->Cells(4, 1), "");
    EXPECT_EQ(Form5->Cells(4, 2), "O'Neil & Co");
    EXPECT_EQ(Form5->Cells(4, 3), "-16777211");

    // Stopped at the saved second, and nothing plays until F3.
    ASSERT_NE(Form1->Stream, 0u);
    EXPECT_TRUE(Form1->Stopped);
    EXPECT_EQ(Form1->EnvelopeFile, wavA_);
    Form1->EnvelopeWorker->WaitIdle();  // the waveform of the reopened recording is computed
    EXPECT_GT(Form1->Envelope.Count(), 0);
    EXPECT_NEAR(PositionSeconds(), 3.0, 1e-3);
    Render(1.0);
    EXPECT_NEAR(PositionSeconds(), 3.0, 1e-3);
    EXPECT_NE(audio::StreamActivity(Form1->Stream), audio::ACTIVE_PLAYING);
    Form1->BitBtn2Click();  // F3
    EXPECT_FALSE(Form1->Stopped);
    Render(0.5);
    EXPECT_NEAR(PositionSeconds(), 3.5, 0.05);

    // Saving again writes back to the opened project without asking.
    Form1->Edit1->setText("7");
    Save();
    EXPECT_EQ(saveAsked_, 0);
    EXPECT_TRUE(ReadBytes(saveAnswer_).startsWith("PLAYING=7\r\n"));
}

TEST_F(ProjectCommands, TranscriptSurvivesEveryHeldEncoding) {
    const QString text = "Ёлка — «ёж» € 中文\r\nline 2";
    for (int i = 0; i < textfiles::kEncodingCount; ++i) {
        Fresh();
        Form2->ReplaceText(text);
        Form2->TextEncoding = textfiles::EncodingFromIndex(i);
        saveAnswer_ = dir_.filePath(QStringLiteral("enc%1").arg(i));
        Save();
        Fresh();
        Open(saveAnswer_);
        EXPECT_TRUE(errors_.isEmpty()) << i;
        EXPECT_EQ(Form2->Text(), text) << i;
    }
}

TEST_F(ProjectCommands, FirstSaveAsksCancelWritesNothingSecondSaveDoesNotAsk) {
    Save();  // cancelled
    EXPECT_EQ(saveAsked_, 1);
    EXPECT_TRUE(ProjectName.isEmpty());
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 1);  // only b.wav

    saveAnswer_ = dir_.filePath("a");
    Save();
    EXPECT_EQ(saveAsked_, 2);
    EXPECT_TRUE(QFile::exists(dir_.filePath("a")));
    EXPECT_TRUE(QFile::exists(dir_.filePath("a.txt")));
    EXPECT_TRUE(QFile::exists(dir_.filePath("a.par")));
    EXPECT_FALSE(QFile::exists(dir_.filePath("a.prj")));

    Form1->Edit3->setText("4");
    Save();
    EXPECT_EQ(saveAsked_, 2);
    EXPECT_TRUE(ReadBytes(dir_.filePath("a")).contains("\r\nPAUSE=4\r\n"));

    // Save as starts from the project name; cancelling changes nothing.
    QString offered;
    Dialogs().RunSaveDialog = [&](QString& path) {
        offered = path;
        return false;
    };
    SaveAs();
    EXPECT_EQ(offered, dir_.filePath("a"));
    EXPECT_EQ(ProjectName, dir_.filePath("a"));
    Dialogs().RunSaveDialog = [&](QString& path) {
        path = dir_.filePath("a.prj");
        return true;
    };
    SaveAs();
    EXPECT_EQ(ProjectName, dir_.filePath("a.prj"));
    for (const char* name : {"a.prj", "a.prj.txt", "a.prj.par"})
        EXPECT_TRUE(QFile::exists(dir_.filePath(name))) << name;
}

TEST_F(ProjectCommands, EmptyPlaylistAndEmptyTable) {
    ClearParticipants();
    saveAnswer_ = dir_.filePath("empty.prj");
    Save();
    const QByteArray file = ReadBytes(saveAnswer_);
    EXPECT_EQ(file.count("\r\n"), 6);
    EXPECT_TRUE(file.contains("CURRENT=-1\r\n"));
    QByteArray tabs;
    for (int k = 0; k < 10; ++k) tabs += "\t\t\r\n";
    EXPECT_EQ(ReadBytes(saveAnswer_ + ".par"), tabs);
    EXPECT_EQ(ReadBytes(saveAnswer_ + ".txt"), QByteArray());

    // Reopening over a filled state replaces it all, without an error.
    Form1->ListBox1->addItems({wavA_, wavB_});
    Form1->ListBox1->setCurrentRow(0);
    Form1->ListBox1Click();
    SetParticipant(2, "/p.jpg", "Анна", "255");
    Form2->ReplaceText("старый текст");
    Open(saveAnswer_);
    EXPECT_EQ(warned_, 1);
    EXPECT_TRUE(errors_.isEmpty());
    EXPECT_EQ(Form1->ListBox1->count(), 0);
    EXPECT_EQ(Form1->Stream, 0u);
    EXPECT_TRUE(Form1->Stopped);
    EXPECT_EQ(Form2->Text(), "");
    EXPECT_EQ(Form5->Cells(2, 2), "");
}

TEST_F(ProjectCommands, PositionIsClampedToTheRecording) {
    struct Case {
        QString pos;
        double expected;
    } cases[] = {{"100", 10.0}, {"10", 10.0}, {"-5", 0.0}, {"abc", 0.0}, {"", 0.0}, {"4", 4.0}};
    int i = 0;
    for (const Case& c : cases) {
        const QString path =
            HandProject(QStringLiteral("pos%1").arg(i++),
                        "CURRENT=0\r\nPOS=" + c.pos + "\r\nFILE=" + wavA_ + "\r\n");
        Open(path);
        ASSERT_NE(Form1->Stream, 0u) << c.pos.toStdString();
        EXPECT_NEAR(PositionSeconds(), c.expected, 1e-3) << c.pos.toStdString();
        EXPECT_TRUE(Form1->Stopped);
    }
}

TEST_F(ProjectCommands, LinesInAnotherOrderReadLikeTheCanonicalFile) {
    Form1->Edit1->setText("3");
    const QString file = "; saved by hand\r\nFILE=" + wavB_ +
                         "\nPOS=2\rSHIFT_BACK=0\r\nFILE=" + wavA_ +
                         "\r\nCIRCLES=9\r\nCURRENT=1\r\nPAUSE=1\r\nPAUSE=5\r\nfile=/x\r\n";
    Open(HandProject("other", file));
    EXPECT_TRUE(errors_.isEmpty());
    EXPECT_EQ(Playlist(), QStringList({wavB_, wavA_}));
    EXPECT_EQ(Form1->Edit1->text(), "3");  // missing: left as it was
    EXPECT_EQ(Form1->Edit2->text(), "9");
    EXPECT_EQ(Form1->Edit3->text(), "5");  // the last one wins
    EXPECT_EQ(Form1->Edit4->text(), "0");
    EXPECT_EQ(Form1->ListBox1->currentRow(), 1);
    EXPECT_NEAR(PositionSeconds(), 2.0, 1e-3);
    EXPECT_EQ(Form2->Text(), "текст");
}

TEST_F(ProjectCommands, WarningOnlyWithTextAndCancelChangesNothing) {
    Form1->ListBox1->addItems({wavA_});
    Form1->ListBox1->setCurrentRow(0);
    Form1->ListBox1Click();
    const audio::HSTREAM playing = Form1->Stream;
    Form2->ReplaceText("x");
    warnAnswer_ = false;
    Open(HandProject("p", "CURRENT=0\r\n"));
    EXPECT_EQ(warned_, 1);
    EXPECT_EQ(openAsked_, 0);
    EXPECT_EQ(Form1->Stream, playing);
    EXPECT_FALSE(Form1->Stopped);
    EXPECT_EQ(Form2->Text(), "x");
    EXPECT_TRUE(ProjectName.isEmpty());
    Render(0.2);
    EXPECT_EQ(audio::StreamActivity(playing), audio::ACTIVE_PLAYING);

    // Cancel in the open dialog: nothing changes either.
    warnAnswer_ = true;
    Open(QString());
    EXPECT_EQ(openAsked_, 1);
    EXPECT_EQ(Form1->Stream, playing);
    EXPECT_TRUE(ProjectName.isEmpty());

    Form2->ReplaceText("");
    Open(QString());
    EXPECT_EQ(warned_, 2);  // no warning with an empty editor
}

TEST_F(ProjectCommands, CurrentIndexRules) {
    const QString files = "FILE=" + wavA_ + "\r\nFILE=" + wavB_ + "\r\n";
    Open(HandProject("beyond", "CURRENT=2\r\nPLAYING=9\r\n" + files));
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_EQ(Playlist().size(), 2);  // earlier steps stay done
    EXPECT_EQ(Form1->Edit1->text(), "9");
    EXPECT_EQ(Form2->Text(), "текст");
    EXPECT_EQ(Form1->Stream, 0u);

    errors_.clear();
    Open(HandProject("negative", "CURRENT=-1\r\n" + files));
    EXPECT_TRUE(errors_.isEmpty());
    EXPECT_EQ(Form1->ListBox1->currentRow(), -1);
    EXPECT_EQ(Form1->Stream, 0u);

    // A current entry whose file is gone: no sound and no message.
    Open(HandProject("gone", "CURRENT=0\r\nFILE=" + dir_.filePath("нет.wav") + "\r\n"));
    EXPECT_TRUE(errors_.isEmpty());
    EXPECT_TRUE(messages_.isEmpty());
    EXPECT_EQ(Form1->ListBox1->currentRow(), 0);
    EXPECT_EQ(Form1->Stream, 0u);
    EXPECT_FALSE(Form1->Notices->Label()->isVisibleTo(Form1));

    // One that cannot be decoded: said in the player's notice (and the editor's status
    // bar), not in a box that would take the keyboard.
    const QString bad = dir_.filePath("плохой.wav");
    ASSERT_TRUE(WriteBytes(bad, "RIFF this is not a sound"));
    Open(HandProject("bad", "CURRENT=0\r\nFILE=" + bad + "\r\n"));
    EXPECT_TRUE(errors_.isEmpty());
    EXPECT_TRUE(messages_.isEmpty());
    EXPECT_EQ(Form1->Stream, 0u);
    EXPECT_TRUE(Form1->Notices->Label()->isVisibleTo(Form1));
    EXPECT_EQ(Form1->Notices->Label()->toolTip(), "Файл не удаётся воспроизвести: " + bad);
}

TEST_F(ProjectCommands, MissingCompanionEndsTheOpenAtThatStep) {
    Form1->ListBox1->addItems({wavA_});
    Form1->ListBox1->setCurrentRow(0);
    Form1->ListBox1Click();
    SetParticipant(1, "", "Иван", "0");
    const QString path = HandProject("nopar", "CURRENT=0\r\nFILE=" + wavB_ + "\r\n");
    QFile::remove(path + ".par");
    Open(path);
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_TRUE(errors_.at(0).contains(path + ".par"));
    EXPECT_EQ(ProjectName, path);
    EXPECT_EQ(Form1->Stream, 0u);           // freed before the companions were read
    EXPECT_EQ(Form2->Text(), "текст");      // read before the failing step
    EXPECT_EQ(Form5->Cells(1, 2), "Иван");  // untouched
    EXPECT_EQ(Playlist(), QStringList({wavA_}));

    // A name typed for a file that does not exist names that file, in Russian.
    errors_.clear();
    Form2->ReplaceText("прежний текст");
    Open(dir_.filePath("nothing.prj"));
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_TRUE(errors_.at(0).contains("nothing.prj")) << errors_.at(0).toStdString();
    EXPECT_FALSE(errors_.at(0).contains("nothing.prj.txt"));
    EXPECT_TRUE(errors_.at(0).contains(QStringLiteral("Нет такого файла")));
    EXPECT_EQ(Form2->Text(), "прежний текст");
}

TEST_F(ProjectCommands, SaveIntoAMissingFolderWritesNothing) {
    saveAnswer_ = dir_.filePath("нет/проект.prj");
    Save();
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_EQ(ProjectName, saveAnswer_);
    EXPECT_FALSE(QDir(dir_.filePath("нет")).exists());
}

TEST_F(ProjectCommands, ProjectWithAMarkKeepsItsEncoding) {
    QByteArray content = "\xEF\xBB\xBF";
    content += "PLAYING=4\r\nCURRENT=-1\r\n";
    const QString path = HandProjectBytes("marked", content);
    Open(path);
    EXPECT_EQ(Form1->Edit1->text(), "4");
    Save();
    EXPECT_TRUE(ReadBytes(path).startsWith("\xEF\xBB\xBFPLAYING=4\r\n"));
    EXPECT_TRUE(ReadBytes(path + ".par").startsWith("\xEF\xBB\xBF"));
}

TEST_F(ProjectCommands, FileMenuItemsRunTheCommands) {
    QAction* open = Form1->findChild<QAction*>("N4");
    QAction* save = Form1->findChild<QAction*>("N6");
    QAction* saveAs = Form1->findChild<QAction*>("N15");
    QAction* exit = Form1->findChild<QAction*>("N2");
    ASSERT_TRUE(open && save && saveAs && exit);

    Form1->Edit1->setText("6");
    saveAnswer_ = dir_.filePath("menu.prj");
    save->trigger();
    EXPECT_EQ(saveAsked_, 1);
    EXPECT_TRUE(ReadBytes(saveAnswer_).startsWith("PLAYING=6\r\n"));
    saveAnswer_ = dir_.filePath("menu2.prj");
    saveAs->trigger();
    EXPECT_EQ(saveAsked_, 2);
    EXPECT_TRUE(QFile::exists(saveAnswer_ + ".par"));

    Form1->Edit1->setText("1");
    openAnswer_ = dir_.filePath("menu.prj");
    open->trigger();
    EXPECT_EQ(openAsked_, 1);
    EXPECT_EQ(Form1->Edit1->text(), "6");

    // Exit ends the event loop at once, asking nothing and saving nothing.
    Form2->ReplaceText("не сохранено");
    QTimer::singleShot(0, exit, &QAction::trigger);
    QTimer failsafe;
    failsafe.setSingleShot(true);
    QObject::connect(&failsafe, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    failsafe.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(warned_, 0);
    EXPECT_EQ(saveAsked_, 2);
}

TEST_F(ProjectCommands, SpeedIsSavedOnlyAwayFromNormalAndRestored) {
    Form1->ListBox1->addItems({wavA_});
    Form1->ListBox1->setCurrentRow(0);
    Form1->ListBox1Click();
    Render(2.0);
    Form1->BitBtn3Click();  // F4: the position stays at 2 s

    // At normal speed the file has no speed line at all.
    saveAnswer_ = dir_.filePath("normal.prj");
    Save();
    const QByteArray normal = ReadBytes(saveAnswer_);
    EXPECT_TRUE(normal.contains("\r\nPOS=2\r\nFILE="));
    EXPECT_FALSE(normal.contains("SPEED"));

    Form1->SetSpeed(0.75);
    saveAnswer_ = dir_.filePath("slow.prj");
    SaveAs();
    const QByteArray slow = ReadBytes(saveAnswer_);
    EXPECT_TRUE(slow.contains("\r\nPOS=2\r\nSPEED=0.75\r\nFILE="));
    // Without that one line it is the normal-speed file byte for byte.
    QByteArray stripped = slow;
    stripped.replace("SPEED=0.75\r\n", "");
    EXPECT_EQ(stripped, normal);

    Fresh();
    Open(dir_.filePath("slow.prj"));
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_EQ(Form1->Speed, 0.75);
    ASSERT_NE(Form1->Stream, 0u);
    EXPECT_EQ(audio::StreamTempo(Form1->Stream), 0.75);
    EXPECT_NEAR(PositionSeconds(), 2.0, 1e-3);
    Form1->BitBtn2Click();  // F3: three quarters of a second of the recording per second
    Render(1.0);
    EXPECT_NEAR(PositionSeconds(), 2.75, 0.01);

    // A project without the line is opened at normal speed.
    Open(dir_.filePath("normal.prj"));
    EXPECT_EQ(Form1->Speed, 1.0);
    EXPECT_EQ(audio::StreamTempo(Form1->Stream), 1.0);
}

TEST_F(ProjectCommands, VoiceIsSavedOnlyWhenOnAndRestored) {
    Form1->ListBox1->addItems({wavA_});
    Form1->ListBox1->setCurrentRow(0);
    Form1->ListBox1Click();
    Render(2.0);
    Form1->BitBtn3Click();  // F4: the position stays at 2 s
    saveAnswer_ = dir_.filePath("plain.prj");
    Save();
    const QByteArray plain = ReadBytes(saveAnswer_);
    EXPECT_FALSE(plain.contains("VOICE"));

    const audio::VoiceSettings voice{audio::VoiceChannel::Left, audio::VoiceNoise::Light, true};
    Form1->SetSpeed(0.75);
    Form1->SetVoice(voice);
    saveAnswer_ = dir_.filePath("voice.prj");
    SaveAs();
    const QByteArray saved = ReadBytes(saveAnswer_);
    EXPECT_TRUE(saved.contains("\r\nPOS=2\r\nSPEED=0.75\r\nVOICE_CHANNEL=left\r\n"
                               "VOICE_NOISE=light\r\nVOICE_LEVELLING=on\r\nFILE="));

    Fresh();
    Open(dir_.filePath("voice.prj"));
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_EQ(Form1->Voice, voice);
    audio::VoiceSettings heard;
    ASSERT_TRUE(audio::StreamVoice(Form1->Stream, &heard));
    EXPECT_EQ(heard, voice);
    EXPECT_NEAR(PositionSeconds(), 2.0, 1e-3);
    // A project without the lines is opened with every stage off.
    Open(dir_.filePath("plain.prj"));
    EXPECT_TRUE(Form1->Voice.IsOff());
    ASSERT_TRUE(audio::StreamVoice(Form1->Stream, &heard));
    EXPECT_TRUE(heard.IsOff());
}

TEST_F(ProjectCommands, SpeedThatIsNotOneReadsSensibly) {
    const std::pair<const char*, double> cases[] = {
        {"abc", 1.0}, {"9", 2.0}, {"0.1", 0.5}, {"", 1.0}, {"1,25", 1.25}};
    for (const auto& [value, expected] : cases) {
        Fresh();
        Form1->SetSpeed(1.5);  // whatever was set before the open
        const QString path = HandProject(
            "speed.prj", QStringLiteral("PLAYING=5\r\nCURRENT=-1\r\nPOS=0\r\nSPEED=%1\r\n")
                             .arg(QString::fromLatin1(value)));
        Open(path);
        EXPECT_TRUE(errors_.isEmpty()) << value;
        EXPECT_EQ(Form1->Speed, expected) << value;
    }
}

TEST_F(ProjectCommands, FieldsOutOfRangeAreReadInRangeAndKeptAsTyped) {
    // A zero length and two billion repetitions: the tick must neither stall nor jump back
    // on every step. The fields keep the texts, and a save writes them back unchanged.
    Open(HandProject("wild",
                     "PLAYING=0\r\nCIRCLES=2000000000\r\nPAUSE=0\r\nSHIFT_BACK=-7\r\n"
                     "CURRENT=0\r\nFILE=" +
                         wavA_ + "\r\n"));
    ASSERT_NE(Form1->Stream, 0u);
    Form1->BitBtn2Click();  // F3
    double furthest = 0.0;
    for (int i = 0; i < 40; ++i) {
        Render(0.2);
        Form1->Timer1Timer();
        ASSERT_LE(Form1->Cycle.Repetition, 10) << "tick " << i;
        furthest = std::max(furthest, PositionSeconds());
    }
    // One-second fragments repeated ten times: the first second plays over and over.
    EXPECT_GT(furthest, 0.75);
    EXPECT_LT(furthest, 1.45);
    // F5 and F2 step by the shortest fragment, one second, not by nothing.
    const double before = PositionSeconds();
    Form1->BitBtn4Click();
    EXPECT_NEAR(PositionSeconds(), before + 1.0, 0.01);
    Form1->BitBtn1Click();
    EXPECT_NEAR(PositionSeconds(), before, 0.01);

    EXPECT_EQ(Form1->Edit1->text(), "0");
    EXPECT_EQ(Form1->Edit2->text(), "2000000000");
    EXPECT_EQ(Form1->Edit4->text(), "-7");
    saveAnswer_ = dir_.filePath("wild again");
    SaveAs();
    EXPECT_TRUE(ReadBytes(saveAnswer_)
                    .startsWith("PLAYING=0\r\nCIRCLES=2000000000\r\nPAUSE=0\r\nSHIFT_BACK=-7\r\n"));
}
