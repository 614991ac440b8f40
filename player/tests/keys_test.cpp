// F1 ... F6 and the speed keys reach the player from every window of the program, also
// while the player is minimized and another window has the keyboard focus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>

#include "app/guide_viewer.h"
#include "app/shell_commands.h"
#include "app/window_set.h"
#include "dictionary/dictionary_window.h"
#include "editor/editor_window.h"
#include "participants/participants_window.h"
#include "player/speed_control.h"
#include "player/tests/player_fixture.h"

namespace {

class KeysTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        // The dictionary window reads its file beside the executable.
        const QString dictionary =
            QDir(QCoreApplication::applicationDirPath()).filePath("NUV_Tolvek.lib");
        if (!QFile::exists(dictionary)) {
            QFile file(dictionary);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        audio::CloseDevice();
        ASSERT_TRUE(audio::OpenManualOutput(44100));
        savedOpener = OpenInShell;
        OpenInShell = [this](const QUrl& url) {
            opened << url.toString();
            return true;
        };
        CreateWindowSet();
        Form1->Timer1->stop();
        Form1->MessageHook = [](const QString&) {};
        const QString path = folder.filePath("a.wav");
        ASSERT_TRUE(WriteTone(path, 30.0));
        const QString next = folder.filePath("b.wav");
        ASSERT_TRUE(WriteTone(next, 5.0));
        Form1->OpenFilesHook = [path, next] { return QStringList{path, next}; };
        Form1->N7Click();
        Form1->ListBox1->setCurrentRow(0);
        Form1->ListBox1Click();
        Form1->show();
        Form1->showMinimized();
    }
    void TearDown() override {
        DestroyWindowSet();
        audio::CloseDevice();
        OpenInShell = savedOpener;
    }
    double Position() const {
        return audio::BytesToSeconds(Form1->Stream,
                                     audio::StreamPosition(Form1->Stream, audio::POS_BYTE));
    }
    // Shows `window` and returns the widget that has its keyboard focus.
    QWidget* Focus(QWidget* window, QWidget* preferred) {
        window->show();
        window->raise();
        window->activateWindow();
        QApplication::setActiveWindow(window);
        QWidget* target = preferred != nullptr ? preferred : window;
        target->setFocus();
        return target;
    }

    QTemporaryDir folder;
    QStringList opened;
    std::function<bool(const QUrl&)> savedOpener;
};

TEST_F(KeysTest, FunctionKeysInOtherWindowsDriveTheMinimizedPlayer) {
    struct Place {
        const char* name;
        QWidget* window;
        QWidget* focus;
    };
    const Place places[] = {
        {"editor", Form2, Form2->findChild<QPlainTextEdit*>("Memo1")},
        {"dictionary", Form3, nullptr},
        {"participants", Form5, nullptr},
    };
    for (const Place& place : places) {
        SCOPED_TRACE(place.name);
        QWidget* target = Focus(place.window, place.focus);
        ASSERT_TRUE(Form1->isMinimized());
        // Start from 10 s, playing.
        Form1->TrackBar1->setValue(0);
        audio::SeekStream(Form1->Stream, 10 * 44100 * 2, audio::POS_BYTE);
        QTest::keyClick(target, Qt::Key_F3);
        EXPECT_FALSE(Form1->Stopped);
        EXPECT_EQ(audio::StreamActivity(Form1->Stream), audio::ACTIVE_PLAYING);

        QTest::keyClick(target, Qt::Key_F4);
        EXPECT_TRUE(Form1->Stopped);
        QTest::keyClick(target, Qt::Key_F3, Qt::ShiftModifier);  // not the player's key
        EXPECT_TRUE(Form1->Stopped);

        QTest::keyClick(target, Qt::Key_F5);  // 10 s + 5 s
        EXPECT_FALSE(Form1->Stopped);
        EXPECT_NEAR(Position(), 15.0, 1e-9);
        QTest::keyClick(target, Qt::Key_F2);  // back by 5 s
        EXPECT_NEAR(Position(), 10.0, 1e-9);
        EXPECT_EQ(Form1->Cycle.Phase, 0);
    }
    if (auto* memo = Form2->findChild<QPlainTextEdit*>("Memo1")) {
        EXPECT_TRUE(memo->toPlainText().isEmpty());  // the keys typed nothing
    }
}

TEST_F(KeysTest, F6ShowsTheEditorAndF1OpensTheGuide) {
    QWidget* target = Focus(Form3, nullptr);
    Form2->hide();
    QTest::keyClick(target, Qt::Key_F6);
    EXPECT_TRUE(Form2->isVisible());
    QTest::keyClick(target, Qt::Key_F1);
    GuideViewer* viewer = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* v = qobject_cast<GuideViewer*>(widget); v && v->isVisible()) viewer = v;
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->Text->source(), QUrl::fromLocalFile(GuideStartPage()));
    viewer->close();
    // The player's own window takes the same keys.
    Form1->showNormal();
    QTest::keyClick(Form1->ListBox1, Qt::Key_F4);
    EXPECT_TRUE(Form1->Stopped);
}

TEST_F(KeysTest, SpeedKeysFromEveryWindowTypeNothingAndMoveNoCaret) {
    auto* memo = Form2->findChild<QPlainTextEdit*>("Memo1");
    ASSERT_NE(memo, nullptr);
    memo->setPlainText("первая строка\nвторая");
    struct Place {
        const char* name;
        QWidget* window;
        QWidget* focus;
    };
    const Place places[] = {
        {"editor", Form2, memo},
        {"dictionary", Form3, nullptr},
        {"participants", Form5, nullptr},
        {"player", Form1, Form1->ListBox1},
    };
    for (const Place& place : places) {
        SCOPED_TRACE(place.name);
        if (place.window == Form1) Form1->showNormal();
        QWidget* target = Focus(place.window, place.focus);
        Form1->SpeedNormal();
        memo->moveCursor(QTextCursor::End);
        const int caret = memo->textCursor().position();
        const int row = Form1->ListBox1->currentRow();
        // Eight steps slower: 0.6x, what a fast speaker needs.
        for (int i = 0; i < 8; ++i) QTest::keyClick(target, Qt::Key_Down, Qt::AltModifier);
        EXPECT_EQ(Form1->Speed, 0.6);
        EXPECT_EQ(audio::StreamTempo(Form1->Stream), 0.6);
        EXPECT_EQ(Form1->SpeedBox->Caption(), QStringLiteral("0.60×"));
        QTest::keyClick(target, Qt::Key_Up, Qt::AltModifier);
        EXPECT_EQ(Form1->Speed, 0.65);
        QTest::keyClick(target, Qt::Key_Home, Qt::AltModifier);
        EXPECT_EQ(Form1->Speed, 1.0);
        EXPECT_EQ(audio::StreamTempo(Form1->Stream), 1.0);
        EXPECT_EQ(memo->textCursor().position(), caret);
        EXPECT_EQ(Form1->ListBox1->currentRow(), row);
        // Other modifiers with the same keys are not the player's.
        QTest::keyClick(target, Qt::Key_Up, Qt::ControlModifier | Qt::AltModifier);
        QTest::keyClick(target, Qt::Key_Down, Qt::ShiftModifier | Qt::AltModifier);
        EXPECT_EQ(Form1->Speed, 1.0);
    }
    EXPECT_EQ(memo->toPlainText(), "первая строка\nвторая");
}

TEST_F(KeysTest, EditorTimestampsReadAndMoveThePlayer) {
    QPlainTextEdit* memo = Form2->Memo1;
    Focus(Form2, memo);
    Form2->ReplaceText(QString());
    audio::SeekStream(Form1->Stream, (12 * 44100 + 22050) * 2, audio::POS_BYTE);  // 12.5 s
    QTest::keyClick(memo, Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(Form2->Text(), QStringLiteral("[00:00:12]"));

    // Paused in the middle of a cycle: Ctrl+J starts the cycle afresh and plays.
    Form2->ReplaceText(QStringLiteral("[00:00:25] [1:00:00] [00:00:03.5]"));
    QTest::keyClick(memo, Qt::Key_F4);
    Form1->Cycle.Phase = CyclePhase::Pausing;
    Form1->Cycle.Clock = 7.4;
    Form2->MemoText().SetCaret(3);
    QTest::keyClick(memo, Qt::Key_J, Qt::ControlModifier);
    EXPECT_NEAR(Position(), 25.0, 1e-9);
    EXPECT_FALSE(Form1->Stopped);
    EXPECT_EQ(audio::StreamActivity(Form1->Stream), audio::ACTIVE_PLAYING);
    EXPECT_EQ(Form1->Cycle.Phase, CyclePhase::Reset);
    EXPECT_EQ(Form1->Cycle.Clock, 0.0);
    // At or beyond the recording's end: the end, and there the player stays rather than
    // moving on to the next recording.
    for (const QString& stamp : {QStringLiteral("[1:00:00]"), QStringLiteral("[00:00:30]")}) {
        Form2->ReplaceText(QStringLiteral("[00:00:25] ") + stamp + QStringLiteral(" [00:00:03.5]"));
        Form2->MemoText().SetCaret(14);
        QTest::keyClick(memo, Qt::Key_J, Qt::ControlModifier);
        for (int i = 0; i < 5; ++i) {
            audio::AdvanceManualOutput(8820);
            Form1->Timer1Timer();
        }
        EXPECT_EQ(Form1->ListBox1->currentRow(), 0);
        EXPECT_NEAR(Position(), 30.0, 1e-9);
        EXPECT_TRUE(Form1->Stopped);
    }
    Form2->ReplaceText(QStringLiteral("[00:00:25] [1:00:00] [00:00:03.5]"));
    Form2->MemoText().SetCaret(25);
    QTest::keyClick(memo, Qt::Key_J, Qt::ControlModifier);
    EXPECT_NEAR(Position(), 3.5, 1e-9);

    // No recording open: nothing inserted, nothing played, a note instead.
    Form1->N14Click();
    ASSERT_EQ(Form1->Stream, 0u);
    const QString before = Form2->Text();
    QTest::keyClick(memo, Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(Form2->Text(), before);
    QTest::keyClick(memo, Qt::Key_J, Qt::ControlModifier);
    EXPECT_EQ(Form2->StatusBar1->currentMessage(), QStringLiteral("Нет открытой записи"));
}

}  // namespace
