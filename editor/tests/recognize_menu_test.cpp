// "Распознать черновик…" as the typist uses it, with a recogniser script of the test's own.
#include "editor/recognize_menu.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "app/window_set.h"
#include "editor/editor_window.h"
#include "editor/exchange_menu.h"
#include "editor/tests/editor_fixture.h"

namespace {

class RecognizeMenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        editor = Form2;
        menu = editor->findChild<RecognizeMenu*>();
        ASSERT_NE(menu, nullptr);
        ASSERT_NO_FATAL_FAILURE(ShowEmptyEditor(editor, editor->Memo1));
        editor->Exchange->Participants = [] { return project::ParticipantTable{}; };
        // Three seconds of silence as the recording.
        recording = dir.filePath(QStringLiteral("talk.wav"));
        QByteArray wav(44 + 16000 * 2 * 3, '\0');
        memcpy(wav.data(), "RIFF", 4);
        qToLittleEndian(quint32(wav.size() - 8), wav.data() + 4);
        memcpy(wav.data() + 8, "WAVEfmt ", 8);
        const quint32 fmt[] = {16, 0x00010001, 16000, 32000, 0x00100002};
        for (int i = 0; i < 5; ++i) qToLittleEndian(fmt[i], wav.data() + 16 + 4 * i);
        memcpy(wav.data() + 36, "data", 4);
        qToLittleEndian(quint32(wav.size() - 44), wav.data() + 40);
        QFile file(recording);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(wav);
        file.close();
        menu->Recording = [this] { return recording; };
    }
    void TearDown() override {
        menu->Cancel();
        editor->SetPlayerLink({});
    }
    // The recogniser: a script that prints `srt` after `delay` seconds.
    void Recogniser(const QString& srt, const char* delay = "0") {
        const QString script = dir.filePath(QStringLiteral("fake.sh"));
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QStringLiteral("#!/bin/sh\necho 'progress = 40%' >&2\nsleep %1\nprintf '%2'\n")
                       .arg(QString::fromLatin1(delay), srt)
                       .toUtf8());
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        menu->Settings = [script] {
            recognize::Settings s;
            s.engine = recognize::Engine::Command;
            s.commandTemplate = script + QStringLiteral(" {input}");
            return s;
        };
    }
    bool WaitDone() {
        return QTest::qWaitFor([this] { return !menu->Running(); }, 15000);
    }

    QTemporaryDir dir;
    QString recording;
    TForm2* editor = nullptr;
    RecognizeMenu* menu = nullptr;
};

const QString kDraft = QStringLiteral("1\\n00:00:01,000 --> 00:00:02,000\\nдобрый день\\n");

TEST_F(RecognizeMenuTest, TheDraftGoesWhereTheTypistChoseAsOneUndoStep) {
    struct Case {
        RecognizeMenu::Place place;
        QString after;  // the text once the draft is in
    };
    const Case cases[] = {
        {RecognizeMenu::Place::Replace, QStringLiteral("[00:00:01] добрый день")},
        {RecognizeMenu::Place::AtCaret, QStringLiteral("ст[00:00:01] добрый деньарый")},
        {RecognizeMenu::Place::Cancel, QStringLiteral("старый")},
    };
    for (const Case& c : cases) {
        editor->ReplaceText(QStringLiteral("старый"));
        editor->History.Push(editor->Text(), 0);
        QTextCursor caret = editor->Memo1->textCursor();
        caret.setPosition(2);
        editor->Memo1->setTextCursor(caret);
        int asked = 0;
        menu->AskPlace = [&] {
            ++asked;
            return c.place;
        };
        Recogniser(kDraft);
        menu->RecognizeItem->trigger();
        ASSERT_TRUE(WaitDone());
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(editor->Text(), c.after);
        if (c.place == RecognizeMenu::Place::Cancel) continue;
        editor->N34Click();  // undo
        EXPECT_EQ(editor->Text(), QStringLiteral("старый"));
    }
}

TEST_F(RecognizeMenuTest, AnEmptyTextIsNotAskedAndCancelInsertsNothing) {
    menu->AskPlace = [] {
        ADD_FAILURE() << "asked with no text";
        return RecognizeMenu::Place::Replace;
    };
    Recogniser(kDraft);
    menu->RecognizeItem->trigger();
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(editor->Text(), QStringLiteral("[00:00:01] добрый день"));

    editor->ReplaceText(QString());
    Recogniser(kDraft, "30");
    menu->RecognizeItem->trigger();
    EXPECT_TRUE(menu->Running());
    EXPECT_TRUE(QTest::qWaitFor([this] { return menu->Percent() == 40; }, 10000));
    QPushButton* cancel =
        editor->StatusBar1->findChild<QPushButton*>(QStringLiteral("RecognizeCancel"));
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_FALSE(menu->Running());
    QTest::qWait(50);
    EXPECT_EQ(editor->Text(), QString());
    EXPECT_EQ(editor->StatusBar1->currentMessage(), QStringLiteral("Распознавание отменено"));
}

TEST_F(RecognizeMenuTest, ClosingTheEditorStopsTheRecogniserAndInsertsNothing) {
    Recogniser(kDraft, "30");
    menu->RecognizeItem->trigger();
    ASSERT_TRUE(QTest::qWaitFor([this] { return menu->Percent() == 40; }, 10000));
    editor->close();
    EXPECT_FALSE(menu->Running());
    QTest::qWait(50);
    EXPECT_EQ(editor->Text(), QString());
    editor->show();
}

TEST_F(RecognizeMenuTest, AFailureIsSaidInTheStatusBarAndNothingChanges) {
    editor->ReplaceText(QString());
    Recogniser(QStringLiteral("not a draft"));
    menu->RecognizeItem->trigger();
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(editor->Text(), QString());
    EXPECT_TRUE(editor->StatusBar1->currentMessage().contains(QStringLiteral("нечитаем")))
        << editor->StatusBar1->currentMessage().toStdString();
    menu->Recording = [] { return QString(); };
    menu->RecognizeItem->trigger();
    EXPECT_FALSE(menu->Running());
}

}  // namespace
