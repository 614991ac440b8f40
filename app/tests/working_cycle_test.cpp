// The typical working cycle on the real window set: a playlist of three recordings, a click
// on one, fragments repeated by the tick, typing in the editor while the player keys pause,
// resume and step back, an abbreviation expanded through the chooser, two turn markers, the
// project saved, everything started over, the project opened again and the transcript
// exported as a page. Sound renders only when the test advances the manual output.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/application.h"
#include "app/command_line.h"
#include "app/command_line_open.h"
#include "app/html_export_command.h"
#include "app/project_commands.h"
#include "app/tests/sound_files.h"
#include "app/window_set.h"
#include "audio/audio.h"
#include "dictionary/variant_chooser.h"
#include "editor/editor_window.h"
#include "participants/participants_window.h"
#include "player/player_controls.h"
#include "player/player_window.h"
#include "textfiles/textfiles.h"

namespace {

using textfiles::Encoding;

class WorkingCycle : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(QDir(dir_.path()).mkpath("записи"));
        ASSERT_TRUE(QDir(dir_.path()).mkpath("фото"));
        // The dictionary beside the executable: one abbreviation with two texts.
        dictionaryPath_ = QCoreApplication::applicationDirPath() + "/NUV_Tolvek.lib";
        QFile dictionary(dictionaryPath_);
        if (dictionary.open(QIODevice::ReadOnly)) savedDictionary_ = dictionary.readAll();
        dictionary.close();
        textfiles::WriteFileBytes(dictionaryPath_,
                                  textfiles::ByteOrderMark(Encoding::Utf8) +
                                      QStringLiteral("пр\tпредложение\r\nпр\tпрограмма\r\n"
                                                     "ср\tсреда\r\n")
                                          .toUtf8());
        audio::CloseDevice();
        ASSERT_TRUE(audio::OpenManualOutput(44100));
        Start();
    }

    void TearDown() override {
        DestroyWindowSet();
        audio::CloseDevice();
        project::Dialogs() = {};
        project::HtmlHooks() = {};
        project::ResetProjectState();
        ErrorDialogHook = nullptr;
        textfiles::WriteFileBytes(dictionaryPath_, savedDictionary_);
    }

    // The window set as at program start, every dialog answered by the test.
    void Start() {
        if (Form1 != nullptr) DestroyWindowSet();
        CreateWindowSet();
        project::ResetProjectState();
        Form1->Timer1->stop();
        Form1->MessageHook = [this](const QString& text) { messages_ << text; };
        Form1->OpenFilesHook = [this] { return chosenFiles_; };
        Form2->ShowMessage = [this](const QString& text) { messages_ << text; };
        Form2->ShowError = [this](const QString& text) { errors_ << text; };
        ErrorDialogHook = [this](const QString& text) { errors_ << text; };
        project::Dialogs().RunSaveDialog = [this](QString& path) {
            path = projectPath_;
            return true;
        };
        project::Dialogs().RunOpenDialog = [this](QString& path) {
            path = projectPath_;
            return true;
        };
        project::Dialogs().ConfirmDataLoss = [this] {
            ++warnings_;
            return true;
        };
        project::HtmlHooks().RunSaveDialog = [this](QString& path) {
            path = dir_.filePath("стенограмма");
            return true;
        };
        project::HtmlHooks().OpenPage = [this](const QString& path) { openedPages_ << path; };
        Form1->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form1));
    }

    void Tick(int count) {
        for (int i = 0; i < count; ++i) {
            audio::AdvanceManualOutput(8820);
            Form1->Timer1Timer();
        }
    }
    static double Position() {
        return audio::BytesToSeconds(Form1->Stream,
                                     audio::StreamPosition(Form1->Stream, audio::POS_BYTE));
    }
    static QString Panel(int number) { return Form1->StatusBar1->PanelText(number - 1); }
    static QStringList Playlist() {
        QStringList items;
        for (int i = 0; i < Form1->ListBox1->count(); ++i)
            items << Form1->ListBox1->item(i)->text();
        return items;
    }
    // A key as the keyboard would send it to the focused editor text.
    static void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(Form2->Memo1, key, modifiers);
    }
    // Typing, one key event per character (any script).
    static void Type(const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, c.toUpper().unicode(), Qt::NoModifier, QString(c));
            QApplication::sendEvent(Form2->Memo1, &press);
            QKeyEvent release(QEvent::KeyRelease, c.toUpper().unicode(), Qt::NoModifier,
                              QString(c));
            QApplication::sendEvent(Form2->Memo1, &release);
        }
    }
    static void SetParticipant(int n, const QString& picture, const QString& name,
                               const QString& colour) {
        Form5->SetCells(n, 1, picture);
        Form5->SetCells(n, 2, name);
        Form5->SetCells(n, 3, colour);
    }

    QTemporaryDir dir_;
    QString dictionaryPath_;
    QByteArray savedDictionary_;
    QString projectPath_;
    QStringList chosenFiles_, messages_, errors_, openedPages_;
    int warnings_ = 0;
};

TEST_F(WorkingCycle, PlayTypeSaveReopenAndExport) {
    // ---- Three recordings in the playlist; a click on the second plays it. ----
    const QStringList recordings = {dir_.filePath("записи/утро.wav"),
                                    dir_.filePath("записи/беседа.wav"),
                                    dir_.filePath("записи/вечер.wav")};
    ASSERT_TRUE(e2e::WriteWav(recordings[0], 4.0, 22050, 1));
    ASSERT_TRUE(e2e::WriteWav(recordings[1], 14.0, 44100, 2));
    ASSERT_TRUE(e2e::WriteWav(recordings[2], 3.0, 48000, 1));
    chosenFiles_ = recordings;
    Form1->N7Click();
    ASSERT_EQ(Playlist(), recordings);
    EXPECT_EQ(Panel(1), "Файл: 0 из 3");

    const QRect row = Form1->ListBox1->visualItemRect(Form1->ListBox1->item(1));
    QTest::mouseClick(Form1->ListBox1->viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_NE(Form1->Stream, 0u);
    EXPECT_EQ(Form1->ListBox1->currentRow(), 1);
    EXPECT_FALSE(Form1->Stopped);
    EXPECT_EQ(Form1->EnvelopeFile, recordings[1]);
    // The waveform of the opened recording is computed in the background.
    Form1->EnvelopeWorker->WaitIdle();
    EXPECT_GT(Form1->Envelope.Count(), 0);

    // ---- Two fragment cycles with the defaults: 5 s played, 2 s pause, twice, 1 s back. ----
    Tick(25);  // the first playing of the fragment
    EXPECT_NEAR(Position(), 5.0, 1e-3);
    EXPECT_EQ(Panel(4), "Повтор: 1");
    EXPECT_EQ(Panel(5), "Воспр: 4 сек");
    Tick(5);  // paused after 5.2 s
    EXPECT_NEAR(Position(), 5.2, 1e-3);
    EXPECT_EQ(Panel(5), "Пауза: 0 сек");
    EXPECT_EQ(Panel(3), "Позиция: 5 сек");
    Tick(6);  // the second playing jumps back by the fragment length
    EXPECT_NEAR(Position(), 0.2, 1e-3);
    EXPECT_EQ(Panel(4), "Повтор: 2");
    Tick(36);  // second pause, then 1 s back from where it paused
    EXPECT_EQ(Form1->Cycle.Phase, 5);
    EXPECT_EQ(Form1->Cycle.Clock, 0.0);
    EXPECT_NEAR(Position(), 4.4, 1e-3);
    Tick(72);  // the second cycle starts 1 s before the end of the first fragment
    EXPECT_EQ(Form1->Cycle.Phase, 5);
    EXPECT_NEAR(Position(), 8.8, 1e-3);
    EXPECT_EQ(Panel(1), "Файл: 2 из 3");
    EXPECT_EQ(Panel(2), "Длина: 14 сек");
    EXPECT_EQ(Panel(3), "Позиция: 8 сек");
    EXPECT_EQ(Form1->TrackBar1->value(), 8800 / 14);

    // ---- F6 from the player: the editor comes up with the text focused. ----
    QTest::keyClick(Form1->ListBox1, Qt::Key_F6);
    ASSERT_TRUE(Form2->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form2));
    Form2->Memo1->setFocus();

    // ---- Typing while F4, F3 and F2 drive the player from the editor. ----
    Type("Добрый день. ");
    Key(Qt::Key_F4);
    EXPECT_TRUE(Form1->Stopped);
    Tick(5);
    EXPECT_NEAR(Position(), 8.8, 1e-3);
    EXPECT_EQ(Panel(4), "");
    Type("Это ");
    Key(Qt::Key_F3);
    EXPECT_FALSE(Form1->Stopped);
    Tick(5);  // the halted cycle resumes where it stood
    EXPECT_NEAR(Position(), 9.8, 1e-3);
    EXPECT_EQ(Form1->Cycle.Repetition, 1);
    Key(Qt::Key_F2);  // one fragment back, the cycle starts over
    EXPECT_NEAR(Position(), 4.8, 1e-3);
    EXPECT_EQ(Form1->Cycle.Phase, 0);
    EXPECT_EQ(Form1->Cycle.Clock, 0.0);
    EXPECT_EQ(Form2->Text(), "Добрый день. Это ");
    EXPECT_EQ(QApplication::focusWidget(), Form2->Memo1);

    // ---- F9 on an abbreviation with two texts: the chooser offers both, "2" picks. ----
    Type("пр");
    QStringList offered;
    {
        QObject guard;  // the timers go with it, so none reaches a later dialog
        QTimer::singleShot(0, &guard, [&] {
            ASSERT_TRUE(Form6->isVisible());
            for (int r = 0; r < Form6->StringGrid1->rowCount(); ++r) offered << Form6->Variant(r);
            QTest::keyClick(Form6->StringGrid1, Qt::Key_2);
        });
        QTimer::singleShot(5000, &guard, [] {
            ADD_FAILURE() << "the chooser stayed open";
            Form6->close();
        });
        Key(Qt::Key_F9);
    }
    EXPECT_FALSE(Form6->isVisible());
    EXPECT_EQ(offered, QStringList({"предложение", "программа"}));
    EXPECT_EQ(Form2->Text(), "Добрый день. Это программа");

    // ---- Turn markers with Ctrl+1 and Ctrl+2. ----
    const QString annaPicture = dir_.filePath("фото/anna.jpg");
    const QString borisPicture = dir_.filePath("фото/boris.jpg");
    ASSERT_TRUE(e2e::WriteJpeg(annaPicture, Qt::red));
    ASSERT_TRUE(e2e::WriteJpeg(borisPicture, Qt::blue));
    SetParticipant(1, annaPicture, "Анна", "255");
    SetParticipant(2, borisPicture, "Борис", "16711680");
    SetParticipant(3, "", "Секретарь", "0");
    Key(Qt::Key_1, Qt::ControlModifier);
    Type("Здравствуйте!");
    Key(Qt::Key_2, Qt::ControlModifier);
    Type("Привет.");
    const QString transcript =
        "Добрый день. Это программа\r\n[Анна]\r\nЗдравствуйте!\r\n[Борис]\r\nПривет.";
    EXPECT_EQ(Form2->Text(), transcript);
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join('\n').toStdString();

    // ---- Save the project from the player's menu. ----
    Tick(10);
    EXPECT_NEAR(Position(), 6.8, 1e-3);
    Form1->Edit2->setText("3");
    Form1->Edit4->setText("0");
    projectPath_ = dir_.filePath("интервью.prj");
    Form1->N6->trigger();
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_EQ(project::ProjectName, projectPath_);
    QString expectedProject =
        "PLAYING=5\r\nCIRCLES=3\r\nPAUSE=2\r\nSHIFT_BACK=0\r\nCURRENT=1\r\nPOS=6\r\n";
    for (const QString& path : recordings) expectedProject += "FILE=" + path + "\r\n";
    EXPECT_EQ(textfiles::ReadFileBytes(projectPath_),
              textfiles::Encode(expectedProject, Encoding::Ansi));
    EXPECT_EQ(textfiles::ReadFileBytes(projectPath_ + ".txt"),
              textfiles::Encode(transcript, Encoding::Ansi));
    const QStringList participantLines =
        textfiles::Decode(textfiles::ReadFileBytes(projectPath_ + ".par"), Encoding::Ansi)
            .split("\r\n");
    ASSERT_EQ(participantLines.size(), 11);  // ten lines, each ended by CR LF
    EXPECT_EQ(participantLines[0], annaPicture + "\tАнна\t255");
    EXPECT_EQ(participantLines[1], borisPicture + "\tБорис\t16711680");
    EXPECT_EQ(participantLines[2], "\tСекретарь\t0");
    EXPECT_EQ(participantLines[10], "");
    // Saving leaves playback undisturbed.
    EXPECT_FALSE(Form1->Stopped);
    Tick(1);
    EXPECT_NEAR(Position(), 7.0, 1e-3);

    // ---- Start over: a new window set, as after a restart. ----
    Start();
    ASSERT_EQ(Form1->ListBox1->count(), 0);
    ASSERT_EQ(Form1->Stream, 0u);
    ASSERT_EQ(Form2->Text(), "");
    ASSERT_EQ(Form5->Cells(1, 2), "Участник 1");
    ASSERT_EQ(Form1->Edit2->text(), "2");

    // ---- Open the project: every saved field comes back, nothing plays. ----
    Form1->N4->trigger();
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_EQ(warnings_, 0);  // the fresh editor was empty
    EXPECT_EQ(project::ProjectName, projectPath_);
    EXPECT_EQ(Form1->Edit1->text(), "5");
    EXPECT_EQ(Form1->Edit2->text(), "3");
    EXPECT_EQ(Form1->Edit3->text(), "2");
    EXPECT_EQ(Form1->Edit4->text(), "0");
    EXPECT_EQ(Playlist(), recordings);
    EXPECT_EQ(Form1->ListBox1->currentRow(), 1);
    EXPECT_EQ(Form1->ListBox1->selectedItems().size(), 1);
    EXPECT_TRUE(Form1->ListBox1->item(1)->isSelected());
    ASSERT_NE(Form1->Stream, 0u);
    EXPECT_TRUE(Form1->Stopped);
    EXPECT_NEAR(Position(), 6.0, 1e-3);
    EXPECT_EQ(Form1->EnvelopeFile, recordings[1]);
    Form1->EnvelopeWorker->WaitIdle();
    EXPECT_GT(Form1->Envelope.Count(), 0);
    EXPECT_EQ(Form2->Text(), transcript);
    EXPECT_EQ(Form5->Cells(1, 1), annaPicture);
    EXPECT_EQ(Form5->Cells(1, 2), "Анна");
    EXPECT_EQ(Form5->Cells(1, 3), "255");
    EXPECT_EQ(Form5->Cells(2, 1), borisPicture);
    EXPECT_EQ(Form5->Cells(2, 2), "Борис");
    EXPECT_EQ(Form5->Cells(2, 3), "16711680");
    EXPECT_EQ(Form5->Cells(3, 1), "");
    EXPECT_EQ(Form5->Cells(3, 2), "Секретарь");
    EXPECT_EQ(Form5->Cells(3, 3), "0");
    EXPECT_EQ(Form5->Cells(4, 2), "Участник 4");
    Tick(3);  // halted until F3
    EXPECT_NEAR(Position(), 6.0, 1e-3);
    QTest::keyClick(Form1->ListBox1, Qt::Key_F3);
    Tick(5);
    EXPECT_NEAR(Position(), 7.0, 1e-3);
    EXPECT_EQ(Panel(1), "Файл: 2 из 3");
    EXPECT_EQ(Panel(4), "Повтор: 1");

    // ---- Export the transcript as a page; the pictures go beside it. ----
    Form2->HTML1->trigger();
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    const QString page = dir_.filePath("стенограмма.html");
    EXPECT_EQ(openedPages_, QStringList{page});
    const QString html = textfiles::Decode(textfiles::ReadFileBytes(page), Encoding::Ansi);
    EXPECT_TRUE(html.startsWith("<html>\r\n<head>\r\n")) << html.toStdString();
    EXPECT_TRUE(html.contains("<title>NUV Tolvek - Расшифровка аудиозаписей</title>\r\n"));
    EXPECT_TRUE(html.contains("<body>\r\n<h1>NUV Tolvek - Расшифровка аудиозаписей</h1>\r\n"));
    const QString table =
        "<table>\r\n<tr><td>&nbsp;</td><td>\r\n"
        "Добрый день. Это программа\r\n"
        "</td></tr>\r\n<tr><td><img src='anna.jpg' title='Анна'></td><td>"
        "<font color=#ff0000><b>Анна</b><br>\r\nЗдравствуйте!\r\n"
        "</td></tr>\r\n<tr><td><img src='boris.jpg' title='Борис'></td><td>"
        "<font color=#0000ff><b>Борис</b><br>\r\nПривет.\r\n"
        "</td></tr>\r\n</table>\r\n</body>\r\n</html>\r\n";
    EXPECT_TRUE(html.endsWith(table)) << html.toStdString();
    EXPECT_EQ(textfiles::ReadFileBytes(dir_.filePath("anna.jpg")),
              textfiles::ReadFileBytes(annaPicture));
    EXPECT_EQ(textfiles::ReadFileBytes(dir_.filePath("boris.jpg")),
              textfiles::ReadFileBytes(borisPicture));
    // The export reads the text and the table and changes neither.
    EXPECT_EQ(Form2->Text(), transcript);
    EXPECT_EQ(Form5->Cells(1, 2), "Анна");
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join('\n').toStdString();
}

}  // namespace

namespace {

// `nuvtolvek project.prj more.wav`: the project opens without a question, then the
// recording is appended to its playlist; the M4A plays like any other recording.
TEST_F(WorkingCycle, CommandLineOpensTheProjectThenAppendsTheRecordings) {
    const QString first = dir_.filePath("записи/утро.wav");
    const QString second = dir_.filePath("записи/вечер.wav");
    ASSERT_TRUE(e2e::WriteWav(first, 2.0, 22050, 1));
    ASSERT_TRUE(e2e::WriteWav(second, 2.0, 44100, 2));
    chosenFiles_ = {first};
    Form1->N7Click();
    Type(QStringLiteral("текст"));
    projectPath_ = dir_.filePath("беседа.prj");
    project::SaveProject(*Form1, *Form2, *Form5);
    ASSERT_TRUE(QFile::exists(projectPath_));

    Start();
    const QString phone = dir_.filePath("записи/телефон.m4a");
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -y -i '" + second.toStdString() +
                           "' -c:a aac '" + phone.toStdString() + "'")
                              .c_str()),
              0);
    const CommandLine line = ParseCommandLine(
        {QStringLiteral("беседа.prj"), QStringLiteral("записи/телефон.m4a")}, dir_.path());
    OpenFromCommandLine(line, *Form1, *Form2, *Form5);
    EXPECT_EQ(project::ProjectName, projectPath_);
    EXPECT_EQ(Form2->Text(), QStringLiteral("текст"));
    EXPECT_EQ(Playlist(), (QStringList{first, phone}));
    EXPECT_EQ(warnings_, 0);
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();

    const QRect row = Form1->ListBox1->visualItemRect(Form1->ListBox1->item(1));
    QTest::mouseClick(Form1->ListBox1->viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_NE(Form1->Stream, 0u);
    EXPECT_DOUBLE_EQ(
        audio::BytesToSeconds(Form1->Stream, audio::StreamLength(Form1->Stream, audio::POS_BYTE)),
        2.0);
    Tick(5);
    EXPECT_NEAR(Position(), 1.0, 1e-3);
}

// Files that are not there are refused at start-up, all in one message, also on stderr.
TEST_F(WorkingCycle, CommandLineRefusesMissingFilesInOneMessage) {
    const QString present = dir_.filePath("есть.wav");
    ASSERT_TRUE(e2e::WriteWav(present, 1.0, 44100, 1));
    ASSERT_TRUE(QDir(dir_.path()).mkdir("папка"));
    const CommandLine line =
        ParseCommandLine({"нет.prj", "нет.wav", "есть.wav", "папка", "нет.wav"}, dir_.path());
    testing::internal::CaptureStderr();
    OpenFromCommandLine(line, *Form1, *Form2, *Form5);
    const std::string stderrText = testing::internal::GetCapturedStderr();
    const QStringList missing = {dir_.filePath("нет.prj"), dir_.filePath("нет.wav"),
                                 dir_.filePath("папка")};
    EXPECT_EQ(MissingFiles(line), missing);
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_EQ(errors_[0], "Файлы не найдены:\n" + missing.join('\n'));
    EXPECT_NE(stderrText.find(missing.join('\n').toStdString()), std::string::npos);
    EXPECT_EQ(Playlist(), QStringList{present});
    EXPECT_TRUE(project::ProjectName.isEmpty());
    EXPECT_EQ(MissingFilesMessage({"/a"}), "Файл не найден:\n/a");
}

}  // namespace
