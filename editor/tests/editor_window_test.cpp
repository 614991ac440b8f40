#include "editor/editor_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <random>

#include "app/guide_viewer.h"
#include "app/look_and_feel.h"
#include "app/shell_commands.h"
#include "app/window_set.h"
#include "dictionary/dictionary_window.h"
#include "editor/editor_commands.h"
#include "editor/find_bar.h"
#include "editor/tests/editor_fixture.h"
#include "editor/text_transforms.h"
#include "participants/participants_window.h"

namespace {

QApplication* app = nullptr;

// One application and one window set for the whole executable.
class WindowSetEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "editor_tests";
        static char* argv[] = {name, nullptr};
        // The personal word list of the spell check goes to a folder of this run.
        static QTemporaryDir dataHome;
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
        app = new QApplication(argc, argv);
        // The program's fonts, so that what is drawn is what the typist sees.
        SetUpLookAndFeel(*app);
        // The dictionary window reads its file beside the executable.
        const QString lib = QCoreApplication::applicationDirPath() + "/NUV_Tolvek.lib";
        if (!QFile::exists(lib)) {
            QFile file(lib);
            file.open(QIODevice::WriteOnly);
        }
        CreateWindowSet();
    }
    void TearDown() override {
        DestroyWindowSet();
        delete app;
        app = nullptr;
    }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new WindowSetEnvironment);

class EditorWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        editor = Form2;
        memo = editor->findChild<QPlainTextEdit*>("Memo1");
        ASSERT_NE(memo, nullptr);
        ASSERT_NO_FATAL_FAILURE(ShowEmptyEditor(editor, memo));
        messages.clear();
        errors.clear();
        editor->ShowMessage = [this](const QString& text) { messages.append(text); };
        editor->ShowError = [this](const QString& text) { errors.append(text); };
        for (int n = 1; n <= 10; ++n) Form5->SetCells(n, 2, QString());
        Form5->hide();
    }

    // Text as the program sees it, caret at `caret`.
    void SetText(const QString& text, int caret) {
        editor->ReplaceText(text);
        editor->MemoText().SetCaret(caret);
    }
    QString Text() const { return editor->Text(); }
    int Caret() const { return editor->MemoText().SelStart(); }
    QString Panel(int i) const { return editor->StatusPanels[i]->text(); }

    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(memo, key, modifiers);
    }
    // Typing, one key event per character (works for any script).
    void Type(const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, c.toUpper().unicode(), Qt::NoModifier, QString(c));
            QApplication::sendEvent(memo, &press);
            QKeyEvent release(QEvent::KeyRelease, c.toUpper().unicode(), Qt::NoModifier,
                              QString(c));
            QApplication::sendEvent(memo, &release);
        }
    }

    TForm2* editor = nullptr;
    QPlainTextEdit* memo = nullptr;
    QStringList messages;
    QStringList errors;
};

}  // namespace

TEST_F(EditorWindow, StatusPanelsCountCrLfAsTwo) {
    editor->Memo1Click();
    EXPECT_EQ(Panel(0), QStringLiteral("Строка: 1 из 0"));
    EXPECT_EQ(Panel(1), QStringLiteral("Колонка: 1 из 1"));
    EXPECT_EQ(Panel(2), QStringLiteral("Символ: 0 из 0"));

    SetText(QStringLiteral("abc\r\n"), 5);
    editor->Memo1Click();
    EXPECT_EQ(Panel(0), QStringLiteral("Строка: 2 из 1"));
    EXPECT_EQ(Panel(1), QStringLiteral("Колонка: 1 из 1"));
    EXPECT_EQ(Panel(2), QStringLiteral("Символ: 5 из 5"));

    // Line and column follow the selection's end, the character its start.
    SetText(QStringLiteral("abc\r\ndefg\r\nh"), 0);
    editor->MemoText().SetSelection(1, 5);
    editor->Memo1Click();
    EXPECT_EQ(Panel(0), QStringLiteral("Строка: 2 из 3"));
    EXPECT_EQ(Panel(1), QStringLiteral("Колонка: 2 из 5"));
    EXPECT_EQ(Panel(2), QStringLiteral("Символ: 1 из 12"));

    // A key release refreshes the panels.
    SetText(QStringLiteral("ab\r\ncd"), 0);
    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(Panel(0), QStringLiteral("Строка: 2 из 2"));
    EXPECT_EQ(Panel(1), QStringLiteral("Колонка: 3 из 3"));
    EXPECT_EQ(Panel(2), QStringLiteral("Символ: 6 из 6"));
}

TEST_F(EditorWindow, StatusPanelsCountWrappedDisplayLines) {
    QString paragraph;
    for (int i = 0; i < 80; ++i) paragraph += QStringLiteral("слово ");
    paragraph += QStringLiteral("end");
    SetText(QStringLiteral("first\r\n") + paragraph, 0);
    const int paragraphStart = 7;
    // Walk the caret through the paragraph: the column returns to 1 exactly where a new
    // display line starts, and each line's length is the columns walked on it.
    int previousLine = -1;
    int previousColumn = 0;
    int lines = 0;
    int walked = 0;
    for (int offset = paragraphStart; offset <= paragraphStart + paragraph.size(); ++offset) {
        editor->MemoText().SetCaret(offset);
        const CaretPlace place = static_cast<::MemoText&>(editor->MemoText()).CaretLine();
        if (place.line != previousLine) {
            ASSERT_EQ(place.line, previousLine == -1 ? 1 : previousLine + 1);
            if (previousLine != -1) {
                ASSERT_EQ(previousColumn + 1, walked);
            }
            ASSERT_EQ(place.column, 0);
            previousLine = place.line;
            walked = 0;
            ++lines;
        } else {
            ASSERT_EQ(place.column, previousColumn + 1);
        }
        ASSERT_LE(place.column, place.lineLength);
        previousColumn = place.column;
        ++walked;
    }
    EXPECT_GT(lines, 2);  // the paragraph really wraps
    editor->Memo1Click();
    EXPECT_EQ(Panel(0), QStringLiteral("Строка: %1 из %2").arg(lines + 1).arg(lines + 1));
    EXPECT_EQ(Panel(2), QStringLiteral("Символ: %1 из %1").arg(7 + paragraph.size()));
}

TEST_F(EditorWindow, AdapterAgreesWithTheStringModel) {
    // The same random edits on the control and on a plain string give the same text and
    // offsets, with wrapped lines and several kinds of line breaks.
    std::mt19937 rng(7);
    PlainEditorText model;
    EditorText& view = editor->MemoText();
    const QStringList pieces = {QStringLiteral("x"),
                                QStringLiteral("\r\n"),
                                QStringLiteral("\n"),
                                QStringLiteral("\r"),
                                QStringLiteral("Слово и ещё слово "),
                                QString(),
                                QStringLiteral("a\r\n\r\nb"),
                                QString(200, QChar(u'w')) + QStringLiteral(" end"),
                                QStringLiteral("p\u2029q\u2028r")};
    for (int step = 0; step < 400; ++step) {
        const int length = model.TextLength();
        switch (rng() % 5) {
            case 0: {
                const int start = static_cast<int>(rng() % (length + 3)) - 1;
                const int len = static_cast<int>(rng() % 12);
                model.SetSelection(start, len);
                view.SetSelection(start, len);
                break;
            }
            case 1:
            case 2: {
                const QString piece = pieces[rng() % pieces.size()];
                model.ReplaceSelection(piece);
                view.ReplaceSelection(piece);
                break;
            }
            case 3:
                SelectWordBeforeCaret(model);
                SelectWordBeforeCaret(view);
                break;
            case 4: {
                // A whole new text that shares most of the old one, as undo gives.
                QString changed = model.Text();
                const qsizetype at = rng() % (changed.size() + 1);
                if (rng() % 2) {
                    changed.insert(at, pieces[rng() % pieces.size()]);
                } else {
                    changed.remove(at, rng() % 30);
                }
                model.SetText(changed);
                view.SetText(changed);
                break;
            }
        }
        ASSERT_EQ(view.Text(), model.Text()) << "step " << step;
        ASSERT_EQ(view.TextLength(), model.TextLength());
        ASSERT_EQ(view.SelStart(), model.SelStart()) << "step " << step;
        ASSERT_EQ(view.SelLength(), model.SelLength()) << "step " << step;
        ASSERT_EQ(view.SelText(), model.SelText());
        // The text held for the commands is the document's own.
        ASSERT_EQ(view.Text(), memo->document()->toRawText().replace(QChar::ParagraphSeparator,
                                                                     QStringLiteral("\r\n")));
    }
}

TEST_F(EditorWindow, CtrlDigitInsertsTurnMarkers) {
    Form5->SetCells(3, 2, QStringLiteral("Анна"));
    Form5->SetCells(10, 2, QStringLiteral("Десятый"));
    Form5->SetCells(2, 2, QStringLiteral("Борис"));
    SetText(QStringLiteral("Привет мир"), 7);
    Key(Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("Привет \r\n[Анна]\r\nмир"));
    EXPECT_EQ(Caret(), 17);
    const QStringList lines = Text().split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines, QStringList({"Привет ", "[Анна]", "мир"}));

    SetText(QString(), 0);
    Key(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("\r\n[Десятый]\r\n"));

    SetText(QString(), 0);
    Key(Qt::Key_2, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Text(), QStringLiteral("\r\n[Борис]\r\n"));
    SetText(QString(), 0);
    Key(Qt::Key_At, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Text(), QStringLiteral("\r\n[Борис]\r\n"));
    SetText(QString(), 0);
    Key(Qt::Key_2, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(Text(), QStringLiteral("\r\n[Борис]\r\n"));

    // Keypad digits insert nothing, also no digit.
    SetText(QStringLiteral("x"), 1);
    Key(Qt::Key_3, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(Text(), QStringLiteral("x"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(EditorWindow, EmptyNameShowsMessageThenParticipants) {
    SetText(QStringLiteral("текст"), 5);
    const int count = editor->History.Count;
    Key(Qt::Key_5, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("текст"));
    EXPECT_EQ(messages, QStringList({QStringLiteral("Значение не задано")}));
    EXPECT_TRUE(Form5->isVisible());
    EXPECT_FALSE(Form5->isModal());
    EXPECT_EQ(editor->History.Count, count);
}

TEST_F(EditorWindow, MarkerOverSelectionThenUndo) {
    Form5->SetCells(1, 2, QStringLiteral("Ведущий"));
    SetText(QStringLiteral("раз два три"), 0);
    editor->MemoText().SetSelection(4, 3);
    Key(Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("раз \r\n[Ведущий]\r\n три"));
    Key(Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("раз два три"));
    EXPECT_EQ(Caret(), 4);
    Key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("раз \r\n[Ведущий]\r\n три"));
    Key(Qt::Key_Z, Qt::ControlModifier);  // the other undo key
    EXPECT_EQ(Text(), QStringLiteral("раз два три"));
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("раз \r\n[Ведущий]\r\n три"));
}

TEST_F(EditorWindow, ClipboardKeysRunOnceAndRecordSnapshots) {
    SetText(QStringLiteral("один два"), 0);
    editor->MemoText().SetSelection(5, 3);
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("два"));
    const int before = editor->History.Count;
    EXPECT_EQ(before, 1);  // copy records nothing

    Key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("один "));
    EXPECT_EQ(editor->History.Count, 3);
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("один два"));  // pasted exactly once
    Key(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Text(), QStringLiteral("один двадва"));
    Key(Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(Text(), QStringLiteral("один двадвадва"));
    EXPECT_EQ(editor->History.Count, 6);
    Key(Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("один двадва"));

    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(editor->MemoText().SelLength(), 11);
    Key(Qt::Key_X, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(Text(), QString());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("один двадва"));

    // Every kind of separator pasted becomes a CR LF, the line separator too.
    QGuiApplication::clipboard()->setText(QStringLiteral("a\u2028b\u2029c\nd"));
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("a\r\nb\r\nc\r\nd"));
    EXPECT_EQ(editor->MemoText().TextLength(), 10);
}

TEST_F(EditorWindow, F11AndF12RepairTextThenUndo) {
    SetText(QStringLiteral("Привет, World"), 0);
    editor->MemoText().SetSelection(0, 13);
    Key(Qt::Key_F11);
    EXPECT_EQ(Text(), QStringLiteral("пРИВЕТ, wORLD"));
    EXPECT_EQ(Caret(), 13);
    EXPECT_EQ(editor->MemoText().SelLength(), 0);
    Key(Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("Привет, World"));

    SetText(QStringLiteral("abcdef"), 3);
    Key(Qt::Key_F11);
    EXPECT_EQ(Text(), QStringLiteral("ABCdef"));
    EXPECT_EQ(Caret(), 3);

    SetText(QStringLiteral("ok\r\nghbdtn vbh"), 10);
    Key(Qt::Key_F12);
    EXPECT_EQ(Text(), QStringLiteral("ok\r\nпривет vbh"));
    EXPECT_EQ(Caret(), 10);

    SetText(QStringLiteral("ab "), 3);
    Key(Qt::Key_F12);
    Key(Qt::Key_F11);
    EXPECT_EQ(Text(), QStringLiteral("ab "));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(EditorWindow, TypedTextUndoneAndRedone) {
    Type(QStringLiteral("Жук"));
    EXPECT_EQ(Text(), QStringLiteral("Жук"));
    Key(Qt::Key_Return, Qt::ShiftModifier);  // a line break like any other
    Type(QStringLiteral("x"));
    EXPECT_EQ(Text(), QStringLiteral("Жук\r\nx"));
    Key(Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(Text(), QString());
    Key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("Жук\r\nx"));
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Text(), QString());
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("Жук\r\nx"));
}

TEST_F(EditorWindow, DictionaryAndParticipantsWindowsShowWithoutModality) {
    Form3->hide();
    Key(Qt::Key_F7);
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_FALSE(Form3->isModal());
    Form3->hide();
    editor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor));
    Key(Qt::Key_F10);
    EXPECT_TRUE(Form5->isVisible());
    Form5->hide();
}

TEST_F(EditorWindow, PlayerKeysPassThroughTheEditor) {
    SetText(QStringLiteral("abc"), 2);
    Key(Qt::Key_F1);  // the guide, in the program's own viewer
    GuideViewer* viewer = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* v = qobject_cast<GuideViewer*>(widget); v && v->isVisible()) viewer = v;
    ASSERT_NE(viewer, nullptr);
    viewer->close();
    Key(Qt::Key_F3);  // no recording open: nothing plays, the text and caret stay
    Key(Qt::Key_F6);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(QApplication::activeWindow(), editor);
    EXPECT_EQ(QApplication::focusWidget(), memo);
    EXPECT_EQ(Text(), QStringLiteral("abc"));
    EXPECT_EQ(Caret(), 2);
}

TEST_F(EditorWindow, StatusPanelsFollowTheFindBarAndAnOpenedFile) {
    SetText(QStringLiteral("один\r\nдва\r\nтри"), 0);
    editor->Memo1Click();
    editor->FindBar1->FindEdit->setText(QStringLiteral("три"));
    ASSERT_TRUE(editor->FindBar1->FindNext());
    QCoreApplication::processEvents();
    EXPECT_EQ(Panel(0), QStringLiteral("Строка: 3 из 3"));
    EXPECT_EQ(Panel(2), QStringLiteral("Символ: 11 из 14"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.txt"));
    textfiles::WriteTextFile(path, QStringLiteral("а\r\nб"), textfiles::Encoding::Ansi);
    editor->RunTextFileDialog = [&](TextFileDialog& dialog, bool) {
        dialog = TextFileDialog{path, textfiles::Encoding::Ansi};
        return true;
    };
    editor->N2Click();
    QCoreApplication::processEvents();
    EXPECT_EQ(Panel(0), QStringLiteral("Строка: 1 из 2"));
    EXPECT_EQ(Panel(2), QStringLiteral("Символ: 0 из 4"));
}

TEST_F(EditorWindow, OpenAndSaveInEveryEncoding) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QList<TextFileDialog> answers;
    int dialogs = 0;
    editor->RunTextFileDialog = [&](TextFileDialog& dialog, bool) {
        ++dialogs;
        if (answers.isEmpty()) return false;
        dialog = answers.takeFirst();
        return true;
    };
    editor->SaveTextFileDialog1 = TextFileDialog();
    editor->OpenTextFileDialog1 = TextFileDialog();
    const QString text = QStringLiteral("Строка one\r\nвторая 中");

    for (int i = 0; i < textfiles::kEncodingCount; ++i) {
        const auto encoding = textfiles::EncodingFromIndex(i);
        const QString path = dir.filePath(QStringLiteral("t%1.txt").arg(i));
        SetText(text, 0);
        answers = {TextFileDialog{path, encoding}};
        editor->N5Click();
        answers = {TextFileDialog{path, encoding}};
        SetText(QString(), 0);
        editor->N2Click();
        const bool unicode =
            encoding != textfiles::Encoding::Ansi && encoding != textfiles::Encoding::Ascii;
        if (unicode) {
            EXPECT_EQ(Text(), text) << i;
        } else {
            EXPECT_EQ(Text(), textfiles::Decode(textfiles::Encode(text, encoding), encoding));
        }
        EXPECT_EQ(editor->TextEncoding, encoding);
    }

    // Open in UTF-8, then Save: back into the same file in the save dialog's own choice.
    const QString path = dir.filePath(QStringLiteral("utf8.txt"));
    textfiles::WriteTextFile(path, QStringLiteral("Да"), textfiles::Encoding::Utf8);
    editor->SaveTextFileDialog1 = TextFileDialog();
    answers = {TextFileDialog{path, textfiles::Encoding::Utf8}};
    editor->N2Click();
    EXPECT_EQ(editor->SaveTextFileDialog1.FileName, path);
    EXPECT_EQ(editor->SaveTextFileDialog1.Encoding, textfiles::Encoding::Ansi);
    dialogs = 0;
    editor->N4Click();
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(textfiles::ReadFileBytes(path), QByteArray("\xC4\xE0"));

    // Saved as UTF-8 and opened as ANSI: the mark is unambiguous and wins; the status bar
    // says so. Without a mark, the choice holds and nothing is said.
    answers = {TextFileDialog{path, textfiles::Encoding::Utf8}};
    editor->N5Click();
    answers = {TextFileDialog{path, textfiles::Encoding::Ansi}};
    editor->N2Click();
    EXPECT_EQ(Text(), QStringLiteral("Да"));
    EXPECT_EQ(editor->TextEncoding, textfiles::Encoding::Utf8);
    EXPECT_EQ(editor->StatusBar1->currentMessage(), MarkWonNote(textfiles::Encoding::Utf8));
    editor->StatusBar1->clearMessage();
    textfiles::WriteTextFile(path, QStringLiteral("Нет"), textfiles::Encoding::Ansi);
    answers = {TextFileDialog{path, textfiles::Encoding::Ansi}};
    editor->N2Click();
    EXPECT_EQ(Text(), QStringLiteral("Нет"));
    EXPECT_EQ(editor->StatusBar1->currentMessage(), QString());

    // Undo after open brings back the text before it.
    Key(Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("Да"));
}

TEST_F(EditorWindow, FailedOpenAndSaveReportAndKeepTheText) {
    QTemporaryDir dir;
    SetText(QStringLiteral("keep"), 2);
    const int count = editor->History.Count;
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    editor->RunTextFileDialog = [&](TextFileDialog& dialog, bool) {
        dialog.FileName = missing;
        return true;
    };
    errors.clear();
    editor->N2Click();
    EXPECT_EQ(Text(), QStringLiteral("keep"));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(missing));
    EXPECT_EQ(editor->History.Count, count + 1);  // the snapshot before reading stays

    editor->RunTextFileDialog = [&](TextFileDialog& dialog, bool) {
        dialog.FileName = dir.filePath(QStringLiteral("no/dir/x.txt"));
        return true;
    };
    editor->N5Click();
    EXPECT_EQ(errors.size(), 2);
    EXPECT_EQ(Text(), QStringLiteral("keep"));

    // Cancelling the dialogs changes nothing.
    editor->RunTextFileDialog = [](TextFileDialog& dialog, bool) {
        dialog.FileName = QStringLiteral("/should/not/be/used");
        return false;
    };
    const TextFileDialog saved = editor->SaveTextFileDialog1;
    editor->SaveTextFileDialog1.FileName.clear();
    editor->N4Click();
    EXPECT_EQ(errors.size(), 2);
    editor->SaveTextFileDialog1 = saved;
}

TEST_F(EditorWindow, LayoutFontAndBackground) {
    editor->resize(500, 400);
    QApplication::processEvents();
    const QWidget* client = editor->centralWidget();
    EXPECT_EQ(memo->geometry(), QRect(1, 1, client->width() - 3, client->height() - 3));
    EXPECT_EQ(editor->StatusBar1->height(), 19);
    EXPECT_EQ(editor->StatusPanels[3]->width(), 50);
    EXPECT_EQ(memo->font().pixelSize(), 11);

    editor->RunColorDialog = [](QColor& color) {
        color = QColor(10, 20, 30);
        return true;
    };
    editor->N22Click();
    EXPECT_EQ(memo->palette().color(QPalette::Base), QColor(10, 20, 30));
    QColor offered;
    editor->RunColorDialog = [&](QColor& color) {
        offered = color;
        color = Qt::red;
        return false;
    };
    editor->N22Click();
    EXPECT_EQ(offered, QColor(10, 20, 30));  // opens on the last choice
    EXPECT_EQ(memo->palette().color(QPalette::Base), QColor(10, 20, 30));

    editor->RunFontDialog = [](QFont& font, QColor& color) {
        font.setPixelSize(20);
        color = QColor(200, 0, 0);
        return true;
    };
    editor->N21Click();
    EXPECT_EQ(memo->font().pixelSize(), 20);
    EXPECT_EQ(memo->palette().color(QPalette::Text), QColor(200, 0, 0));
}

TEST(EditorStartUp, UndoRightAfterStartUp) {
    TForm2 idle;
    EXPECT_EQ(idle.History.Count, 1);
    idle.N34Click();
    EXPECT_EQ(idle.Text(), QString());

    TForm2 fresh;
    fresh.MemoText().ReplaceSelection(QStringLiteral("typed"));
    fresh.N34Click();
    EXPECT_EQ(fresh.Text(), QString());
    fresh.N35Click();
    EXPECT_EQ(fresh.Text(), QStringLiteral("typed"));
    EXPECT_EQ(fresh.SaveTextFileDialog1.FileName, QString());
    EXPECT_EQ(fresh.windowTitle(), QStringLiteral("NUV Tolvek - Редактор"));
}

TEST(EditorDialogs, EachTextFileDialogKeepsItsOwnNameAndEncoding) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.txt"));
    textfiles::WriteTextFile(path, QStringLiteral("Юг"), textfiles::Encoding::Utf16BE);
    TForm2 fresh;
    fresh.show();

    QStringList items;
    int offered = -1;
    QString offeredName;
    // Answers the dialog that the command is about to run.
    auto answer = [&](int encodingIndex, bool accept) {
        QTimer::singleShot(0, [&, encodingIndex, accept] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* box = dialog->findChild<QComboBox*>(QStringLiteral("EncodingBox"));
            ASSERT_NE(box, nullptr);
            items.clear();
            for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
            offered = box->currentIndex();
            offeredName = dialog->selectedFiles().value(0);
            if (!accept) {
                dialog->reject();
                return;
            }
            box->setCurrentIndex(encodingIndex);
            dialog->selectFile(path);
            QMetaObject::invokeMethod(dialog, "accept");
        });
    };

    answer(3, true);
    fresh.N2Click();
    EXPECT_EQ(items.size(), 6);
    EXPECT_EQ(offered, 0);  // ANSI first
    EXPECT_EQ(fresh.Text(), QStringLiteral("Юг"));
    EXPECT_EQ(fresh.OpenTextFileDialog1.Encoding, textfiles::Encoding::Utf16BE);
    EXPECT_EQ(fresh.TextEncoding, textfiles::Encoding::Utf16BE);

    // The save dialog opens on the transcript's name and on its own choice, not the open one's.
    answer(0, false);
    fresh.N5Click();
    EXPECT_EQ(offered, 0);
    EXPECT_EQ(QFileInfo(offeredName).fileName(), QStringLiteral("a.txt"));
    EXPECT_EQ(textfiles::ReadFileBytes(path).left(2), QByteArray("\xFE\xFF"));  // not written

    answer(4, true);
    fresh.N5Click();
    EXPECT_EQ(textfiles::ReadFileBytes(path), QByteArray("\xEF\xBB\xBF\xD0\xAE\xD0\xB3"));
    answer(0, false);
    fresh.N2Click();
    EXPECT_EQ(offered, 3);  // the open dialog kept its own last choice
}

TEST(EditorDialogs, FontDialogSetsFaceSizeAndColour) {
    TForm2 fresh;
    fresh.show();
    bool sawColourButton = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* colour = dialog->findChild<QPushButton*>(QStringLiteral("FontColorButton"));
        if (colour != nullptr) {
            sawColourButton = true;
            QTimer::singleShot(0, [] {
                auto* picker = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
                if (picker == nullptr) return;
                picker->setCurrentColor(QColor(0, 128, 0));
                QMetaObject::invokeMethod(picker, "accept");
            });
            colour->click();
        }
        QFont font = dialog->currentFont();
        font.setPointSize(17);
        dialog->setCurrentFont(font);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    fresh.N21Click();
    EXPECT_TRUE(sawColourButton);
    EXPECT_EQ(fresh.Memo1->font().pointSize(), 17);
    EXPECT_EQ(fresh.Memo1->palette().color(QPalette::Text), QColor(0, 128, 0));
    EXPECT_EQ(fresh.FontDialog1Color, QColor(0, 128, 0));  // the next run opens on it
}
