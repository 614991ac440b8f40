#include "dictionary/dictionary_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "dictionary/tests/test_printers.h"

namespace {

class DictionaryWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { path_ = dir_.filePath("NUV_Tolvek.lib"); }

    TForm3& Open(const QByteArray& fileBytes) {
        WriteFile(fileBytes);
        form_ = std::make_unique<TForm3>(path_);
        form_->ShowMessage = [this](const QString& text) { messages_.append(text); };
        form_->AskOkCancel = [this](const QString& text, const QString& title) {
            questions_.append(title + "|" + text);
            return answer_;
        };
        form_->ShowError = [this](const QString& text) { errors_.append(text); };
        return *form_;
    }

    void WriteFile(const QByteArray& bytes) {
        QFile f(path_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QByteArray FileBytes() const {
        QFile f(path_);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }

    QStringList Abbreviations() const {
        QStringList list;
        for (const DictionaryRow& row : form_->Table->Rows()) list.append(row.abbreviation);
        return list;
    }

    void Add(const QString& abbreviation, const QString& text) {
        form_->Edit1->setText(abbreviation);
        form_->Edit2->setText(text);
        form_->Button1Click();
    }

    void ShowAndActivate() {
        form_->show();
        form_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    }

    // Typed text that QTest::keyClicks cannot send (non-ASCII).
    static void Type(QWidget* widget, const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &release);
        }
    }

    QString RecordCount() const { return form_->RecordCountPanel->text(); }

    QTemporaryDir dir_;
    QString path_;
    std::unique_ptr<TForm3> form_;
    QStringList messages_;
    QStringList questions_;
    QStringList errors_;
    bool answer_ = false;
};

const QString kDuplicate = QString::fromUtf8(
    "Такое сокращение присутствует в словаре!\nВы можете изменить настройки с помошью "
    "контекстного меню");

TEST_F(DictionaryWindowTest, LoadsSortedWithHeaderCountAndCaption) {
    TForm3& form = Open("zz\tlast\r\nab\tfirst\r\nabc\tmiddle\r\n");
    EXPECT_EQ(Abbreviations(), QStringList({"ab", "abc", "zz"}));
    EXPECT_EQ(form.Table->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              QString::fromUtf8("Сокращение"));
    EXPECT_EQ(form.Table->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              QString::fromUtf8("Текст"));
    EXPECT_EQ(RecordCount(), QString::fromUtf8("Записей: 3"));
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("NUV Tolvek - Словарь"));
    EXPECT_FALSE(form.GridEdited);
    EXPECT_FALSE(form.AllowDuplicates->isChecked());
    EXPECT_FALSE(form.isVisible());
}

TEST_F(DictionaryWindowTest, EmptyFileShowsOneBlankRowCountedAsOne) {
    Open("");
    ASSERT_EQ(form_->Table->rowCount(), 1);
    EXPECT_EQ(form_->Table->Rows()[0], DictionaryRow{});
    EXPECT_EQ(RecordCount(), QString::fromUtf8("Записей: 1"));
}

TEST_F(DictionaryWindowTest, DefaultConstructorReadsTheFileBesideTheExecutable) {
    const QString besideExe = QCoreApplication::applicationDirPath() + "/NUV_Tolvek.lib";
    const bool existed = QFile::exists(besideExe);
    QByteArray old;
    if (existed) {
        QFile f(besideExe);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        old = f.readAll();
    }
    QFile::remove(besideExe);
    EXPECT_THROW(TForm3 missing, textfiles::FileError);
    {
        QFile f(besideExe);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("exe\tdir\r\n");
    }
    {
        TForm3 form;
        EXPECT_EQ(form.File.Path(), besideExe);
        EXPECT_EQ(form.Table->Cell(0, 1), QString("dir"));
    }
    QFile::remove(besideExe);
    if (existed) {
        QFile f(besideExe);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
}

TEST_F(DictionaryWindowTest, EmptyFieldsAreReportedAndChangeNothing) {
    Open("a\tb\r\n");
    form_->Edit2->setText("text");
    form_->Button1Click();
    form_->Edit1->setText("k");
    form_->Edit2->clear();
    form_->Button1Click();
    EXPECT_EQ(messages_, QStringList({QString::fromUtf8("Введите сокращение!"),
                                      QString::fromUtf8("Введите текст!")}));
    EXPECT_EQ(FileBytes(), QByteArray("a\tb\r\n"));
    EXPECT_EQ(form_->Table->rowCount(), 1);
}

TEST_F(DictionaryWindowTest, DuplicateRefusedUnlessAllowedThenNextToEachOtherByText) {
    Open("ab\tzeta\r\nb\tx\r\n");
    Add("ab", "alpha");
    EXPECT_EQ(messages_, QStringList({kDuplicate}));
    EXPECT_EQ(form_->Edit1->text(), QString("ab"));
    EXPECT_EQ(form_->Edit2->text(), QString("alpha"));
    EXPECT_EQ(FileBytes(), QByteArray("ab\tzeta\r\nb\tx\r\n"));
    EXPECT_EQ(form_->Table->rowCount(), 2);

    form_->AllowDuplicates->trigger();
    EXPECT_TRUE(form_->AllowDuplicates->isChecked());
    form_->Button1Click();
    EXPECT_EQ(messages_.size(), 1);
    EXPECT_EQ(FileBytes(), QByteArray("ab\talpha\r\nab\tzeta\r\nb\tx\r\n"));
    EXPECT_EQ(RecordCount(), QString::fromUtf8("Записей: 3"));
    EXPECT_TRUE(form_->Edit1->text().isEmpty());
    EXPECT_TRUE(form_->Edit2->text().isEmpty());
}

TEST_F(DictionaryWindowTest, DuplicateCheckIsCaseSensitiveAndKeepsSpaces) {
    Open(QString::fromUtf8("кот\tкошка\r\n").toUtf8().prepend("\xEF\xBB\xBF"));
    Add(QString::fromUtf8("Кот"), QString::fromUtf8(" Кошка "));
    EXPECT_TRUE(messages_.isEmpty());
    EXPECT_EQ(FileBytes(),
              QString::fromUtf8("Кот\t Кошка \r\nкот\tкошка\r\n").toUtf8().prepend("\xEF\xBB\xBF"));
}

TEST_F(DictionaryWindowTest, AddToEmptyDictionaryLeavesOnlyTheNewEntry) {
    Open("");
    Add("ab", "text");
    ASSERT_EQ(form_->Table->rowCount(), 1);
    EXPECT_EQ(form_->Table->Rows()[0], (DictionaryRow{"ab", "text"}));
    EXPECT_EQ(FileBytes(), QByteArray("ab\ttext\r\n"));
}

TEST_F(DictionaryWindowTest, EnterMovesToTheTextFieldThenAdds) {
    Open("");
    ShowAndActivate();
    form_->Edit1->setFocus();
    QTest::keyClick(form_->Edit1, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), form_->Edit2);
    EXPECT_TRUE(messages_.isEmpty());

    Type(form_->Edit2, QString::fromUtf8("текст"));
    QTest::keyClick(form_->Edit2, Qt::Key_Return);
    EXPECT_EQ(messages_, QStringList({QString::fromUtf8("Введите сокращение!")}));

    form_->Edit1->setFocus();
    Type(form_->Edit1, QString::fromUtf8("тк"));
    QTest::keyClick(form_->Edit1, Qt::Key_Return);
    QTest::keyClick(form_->Edit2, Qt::Key_Return);
    EXPECT_EQ(messages_.size(), 1);
    EXPECT_EQ(form_->Table->Rows()[0],
              (DictionaryRow{QString::fromUtf8("тк"), QString::fromUtf8("текст")}));
    EXPECT_EQ(QApplication::focusWidget(), form_->Edit2);
    EXPECT_EQ(FileBytes(), QByteArray("\xF2\xEA\t\xF2\xE5\xEA\xF1\xF2\r\n"));
}

TEST_F(DictionaryWindowTest, DeleteRemovesTheCurrentRowAndTheOnlyRowBecomesBlank) {
    Open("a\t1\r\nb\t2\r\nc\t3\r\n");
    form_->StringGrid1->setCurrentIndex(form_->Table->index(1, 1));
    form_->N2->trigger();
    EXPECT_EQ(Abbreviations(), QStringList({"a", "c"}));
    EXPECT_EQ(RecordCount(), QString::fromUtf8("Записей: 2"));
    EXPECT_EQ(FileBytes(), QByteArray("a\t1\r\nc\t3\r\n"));

    Open("only\tone\r\n");
    form_->N2Click();
    ASSERT_EQ(form_->Table->rowCount(), 1);
    EXPECT_EQ(form_->Table->Rows()[0], DictionaryRow{});
    EXPECT_EQ(RecordCount(), QString::fromUtf8("Записей: 1"));
    EXPECT_TRUE(FileBytes().isEmpty());
}

TEST_F(DictionaryWindowTest, ClearAsksAndLeavesTheFileUntilTheNextSave) {
    Open("a\t1\r\nb\t2\r\n");
    answer_ = false;
    form_->N4->trigger();
    EXPECT_EQ(
        questions_,
        QStringList({QString::fromUtf8("Очистка словаря|Будут удалены все данные! Восстановление "
                                       "невозможно!")}));
    EXPECT_EQ(form_->Table->rowCount(), 2);
    EXPECT_EQ(RecordCount(), QString::fromUtf8("Записей: 2"));

    answer_ = true;
    form_->N4Click();
    ASSERT_EQ(form_->Table->rowCount(), 1);
    EXPECT_EQ(form_->Table->Rows()[0], DictionaryRow{});
    EXPECT_EQ(RecordCount(), QString::fromUtf8("Записей: 0"));
    EXPECT_EQ(FileBytes(), QByteArray("a\t1\r\nb\t2\r\n"));

    Add("n", "new");
    EXPECT_EQ(FileBytes(), QByteArray("n\tnew\r\n"));
    EXPECT_EQ(RecordCount(), QString::fromUtf8("Записей: 1"));
}

TEST_F(DictionaryWindowTest, CopyAndPasteThroughTheClipboardKeepLineBreaks) {
    Open("a\tone\r\nb\ttwo\r\n");
    form_->StringGrid1->setCurrentIndex(form_->Table->index(1, 1));
    form_->N5Click();
    EXPECT_EQ(QApplication::clipboard()->text(), QString("two"));

    QApplication::clipboard()->setText("first\nsecond");
    form_->StringGrid1->setCurrentIndex(form_->Table->index(0, 1));
    form_->N6->trigger();
    EXPECT_EQ(form_->Table->Cell(0, 1), QString("first\r\nsecond"));
    EXPECT_FALSE(form_->GridEdited);
    EXPECT_EQ(FileBytes(), QByteArray("a\tone\r\nb\ttwo\r\n"));

    // The next save of any kind writes the pasted text; its second line becomes an entry.
    Add("c", "three");
    EXPECT_EQ(FileBytes(), QByteArray("a\tfirst\r\nsecond\r\nb\ttwo\r\nc\tthree\r\n"));

    QApplication::clipboard()->clear();
    form_->N6Click();
    EXPECT_TRUE(form_->Table->Cell(0, 1).isEmpty());
}

TEST_F(DictionaryWindowTest, CopyAndPasteKeepEveryCharacterAndCopyAnEmptyCell) {
    // A no-break space and a line separator are text of the entry, not layout.
    const QString text = QString::fromUtf8("т.\u00a0е.\u2028ещё");
    Open("");
    form_->StringGrid1->setCurrentIndex(form_->Table->index(0, 1));
    QApplication::clipboard()->setText(text);
    form_->N6Click();
    EXPECT_EQ(form_->Table->Cell(0, 1), text);
    QApplication::clipboard()->setText("old");
    form_->N5Click();
    EXPECT_EQ(QApplication::clipboard()->text(), text);

    // An empty cell copied leaves an empty clipboard, not what was there before.
    form_->StringGrid1->setCurrentIndex(form_->Table->index(0, 0));
    form_->N5Click();
    EXPECT_EQ(QApplication::clipboard()->text(), QString());
}

TEST_F(DictionaryWindowTest, PastedTabInAbbreviationSplitsAtTheRebuild) {
    Open("");
    form_->AllowDuplicates->setChecked(true);
    Add("a\tb", "text");
    EXPECT_EQ(form_->Table->Rows()[0], (DictionaryRow{"a", "b\ttext"}));
}

TEST_F(DictionaryWindowTest, InPlaceEditThenFocusIntoEdit1ResortsAndSaves) {
    Open("b\t2\r\nc\t3\r\n");
    ShowAndActivate();
    QTableView* grid = form_->StringGrid1;
    grid->setFocus();
    grid->setCurrentIndex(form_->Table->index(1, 0));  // "c"
    QTest::keyClick(grid, Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, grid);
    ASSERT_TRUE(grid->isAncestorOf(editor));
    // Typing in the middle keeps the caret where it is: "c" becomes "ac", then "a".
    QTest::keyClick(editor, Qt::Key_Home);
    QTest::keyClick(editor, 'a');
    QTest::keyClick(editor, Qt::Key_Delete);
    // Seen at once, before any commit.
    EXPECT_TRUE(form_->GridEdited);
    EXPECT_EQ(form_->Table->Cell(1, 0), QString("a"));
    EXPECT_EQ(FileBytes(), QByteArray("b\t2\r\nc\t3\r\n"));

    QTest::mouseClick(form_->Edit1, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), form_->Edit1);
    EXPECT_EQ(Abbreviations(), QStringList({"a", "b"}));
    EXPECT_EQ(FileBytes(), QByteArray("a\t3\r\nb\t2\r\n"));

    // The flag stays: leaving the table again saves again, even with nothing changed.
    WriteFile("stale");
    grid->setFocus();
    form_->Edit2->setFocus();
    EXPECT_EQ(FileBytes(), QByteArray("a\t3\r\nb\t2\r\n"));
}

TEST_F(DictionaryWindowTest, EmptiedAbbreviationDisappearsAtTheCommit) {
    Open("a\t1\r\nb\t2\r\n");
    form_->StringGrid1SetEditText(0, 0, "");
    form_->StringGrid1Exit();
    EXPECT_EQ(FileBytes(), QByteArray("b\t2\r\n"));
    EXPECT_EQ(Abbreviations(), QStringList({"b"}));
}

TEST_F(DictionaryWindowTest, FocusLeavingWithoutEditsSavesNothing) {
    Open("b\t2\r\n");
    ShowAndActivate();
    WriteFile("untouched");
    form_->StringGrid1->setFocus();
    form_->Edit1->setFocus();
    EXPECT_EQ(FileBytes(), QByteArray("untouched"));
}

TEST_F(DictionaryWindowTest, FailedSaveIsReportedAndTheTableKeepsTheChange) {
    Open("a\t1\r\n");
    form_->File = DictionaryFile(dir_.filePath("missing/NUV_Tolvek.lib"));
    Add("b", "2");
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_TRUE(errors_[0].contains("missing/NUV_Tolvek.lib")) << errors_[0].toStdString();
    EXPECT_EQ(Abbreviations(), QStringList({"a", "b"}));
    EXPECT_TRUE(form_->Edit1->text().isEmpty());
}

TEST_F(DictionaryWindowTest, LayoutFollowsTheWindowSize) {
    TForm3& form = Open("");
    form.show();
    form.resize(800, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.StringGrid1->geometry(), QRect(4, 4, 792, 545));
    EXPECT_EQ(form.Edit1->geometry().topLeft(), QPoint(4, 555));
    EXPECT_EQ(form.Edit1->width(), 121);
    EXPECT_EQ(form.Edit2->geometry(), QRect(131, 555, 585, form.Edit2->height()));
    EXPECT_EQ(form.Button1->pos(), QPoint(721, 553));
    EXPECT_EQ(form.StringGrid1->columnWidth(1), 792 - form.StringGrid1->columnWidth(0) - 40);
}

}  // namespace
