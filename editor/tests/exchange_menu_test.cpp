// Export, drafts and timestamp styles as the typist reaches them from the editor's menus.
#include "editor/exchange_menu.h"

#include <gtest/gtest.h>

#include <QMimeData>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "app/window_set.h"
#include "commands/registry.h"
#include "editor/editor_window.h"
#include "editor/tests/editor_fixture.h"
#include "editor/timestamp_links.h"
#include "textfiles/textfiles.h"

namespace {

class ExchangeMenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        editor = Form2;
        menu = editor->Exchange;
        ASSERT_NO_FATAL_FAILURE(ShowEmptyEditor(editor, editor->Memo1));
        errors.clear();
        menu->ExportTimestamps = true;
        editor->ShowError = [this](const QString& text) { errors << text; };
        menu->Participants = [] {
            project::ParticipantTable table;
            table[0] = {QString(), QStringLiteral("Анна"), QStringLiteral("170")};
            table[1] = {QString(), QStringLiteral("Борис"), QStringLiteral("11141120")};
            return table;
        };
    }
    void TearDown() override {
        menu->SetStyle({});
        editor->SetPlayerLink({});
    }
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        textfiles::WriteFileBytes(path, bytes);
        return path;
    }
    void Drop(const QString& path, int controlPos) {
        QTextCursor c(editor->Memo1->document());
        c.setPosition(controlPos);
        const QPoint at = editor->Memo1->cursorRect(c).center();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        // A drop goes where the drag entered and was taken.
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(editor->Memo1->viewport(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(editor->Memo1->viewport(), &drop);
    }

    TForm2* editor = nullptr;
    ExchangeMenu* menu = nullptr;
    QTemporaryDir dir;
    QStringList errors;
};

const QByteArray kDraft =
    "WEBVTT\n\n00:00:01.000 --> 00:00:02.000\n<v Анна>Да.\n\n"
    "00:00:02.500 --> 00:00:04.000\n<v Анна>Конечно.\n";

TEST_F(ExchangeMenuTest, ADraftReplacesTheTextAsOneUndoStepAndABrokenOneChangesNothing) {
    editor->ReplaceText(QStringLiteral("старый текст"));
    const QString path = Write(QStringLiteral("черновик.vtt"), kDraft);
    menu->RunDraftDialog = [&](QString& chosen) {
        chosen = path;
        return true;
    };
    menu->OpenDraftItem->trigger();
    EXPECT_EQ(editor->Text(), QStringLiteral("[Анна]\r\n[00:00:01] Да. [00:00:02] Конечно."));
    editor->N34Click();
    EXPECT_EQ(editor->Text(), QStringLiteral("старый текст"));

    const int snapshots = editor->History.Count;
    const QString broken =
        Write(QStringLiteral("плохой.srt"), "1\n00:00:01,000 --> 00:00:02,000\nok\n\n2\nxx\n");
    menu->RunDraftDialog = [&](QString& chosen) {
        chosen = broken;
        return true;
    };
    menu->OpenDraftItem->trigger();
    EXPECT_EQ(editor->Text(), QStringLiteral("старый текст"));
    EXPECT_EQ(editor->History.Count, snapshots);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("Строка 6"))) << errors[0].toStdString();
}

TEST_F(ExchangeMenuTest, ADraftDroppedOntoTheTextGoesWhereItFalls) {
    editor->ReplaceText(QStringLiteral("до после"));
    ASSERT_NO_FATAL_FAILURE(Drop(Write(QStringLiteral("d.vtt"), kDraft), 3));
    EXPECT_EQ(editor->Text(),
              QStringLiteral("до [Анна]\r\n[00:00:01] Да. [00:00:02] Конечно.после"));
    editor->N34Click();
    EXPECT_EQ(editor->Text(), QStringLiteral("до после"));
}

TEST_F(ExchangeMenuTest, ExportWritesTheChosenFormatAndRemembersTheTimestampsBox) {
    editor->ReplaceText(QStringLiteral("[Анна]\r\n[00:00:01] Да."));
    bool offered = true;
    QString target;
    menu->RunExportDialog = [&](QString& path, exchange::ExportFormat, bool& timestamps) {
        offered = timestamps;
        timestamps = false;
        path = target;
        return true;
    };
    target = dir.filePath(QStringLiteral("текст"));  // the extension is added
    menu->ExportItems[4]->trigger();
    EXPECT_EQ(textfiles::ReadFileBytes(target + QStringLiteral(".txt")),
              QByteArray("\xEF\xBB\xBF") + QStringLiteral("[Анна]\r\nДа.").toUtf8());
    EXPECT_TRUE(offered);
    target = dir.filePath(QStringLiteral("s.srt"));
    ASSERT_TRUE(CommandSet().Run(QStringLiteral("export.srt")));  // as a key given to it would
    EXPECT_FALSE(offered);                                        // the last choice comes back
    EXPECT_EQ(textfiles::ReadFileBytes(target),
              QStringLiteral("1\r\n00:00:01,000 --> 00:00:06,000\r\nАнна: Да.\r\n\r\n").toUtf8());
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ExchangeMenuTest, TheChosenStyleAndOffsetWriteAndReadTimestamps) {
    std::optional<double> position = 5.25;
    std::vector<double> seeks;
    editor->SetPlayerLink({[&] { return position; },
                           [&](double seconds) {
                               seeks.push_back(seconds);
                               return true;
                           },
                           [] { return std::optional<double>(9.0); }});
    menu->RunOffsetDialog = [](QString& text) {
        text = QStringLiteral("01:00:00");
        return true;
    };
    menu->StyleItems[2]->trigger();
    menu->OffsetItem->trigger();
    QTest::keyClick(editor->Memo1, Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(editor->Text(), QStringLiteral("#01:00:05.25#"));
    editor->MemoText().SetCaret(3);
    QTest::keyClick(editor->Memo1, Qt::Key_J, Qt::ControlModifier);
    ASSERT_EQ(seeks.size(), 1u);
    EXPECT_DOUBLE_EQ(seeks[0], 5.25);

    editor->ReplaceText(QStringLiteral("#01:00:05.25# слово"));
    const QString exported = dir.filePath(QStringLiteral("s.vtt"));
    menu->RunExportDialog = [&](QString& path, exchange::ExportFormat, bool&) {
        path = exported;
        return true;
    };
    menu->ExportItems[3]->trigger();
    EXPECT_EQ(textfiles::ReadFileBytes(exported),
              QStringLiteral("WEBVTT\n\n00:00:05.250 --> 00:00:09.000\nслово\n\n").toUtf8());
}

}  // namespace
