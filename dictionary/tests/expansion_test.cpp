#include "dictionary/expansion.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/window_set.h"
#include "dictionary/dictionary_window.h"
#include "dictionary/tests/test_printers.h"
#include "dictionary/variant_chooser.h"
#include "editor/editor_window.h"

namespace {

// Editor, dictionary and chooser wired through the window set, as at start-up.
class ExpansionTest : public ::testing::Test {
  protected:
    void SetUp() override { path_ = dir_.filePath("NUV_Tolvek.lib"); }

    void TearDown() override {
        Form2 = nullptr;
        Form3 = nullptr;
        Form6 = nullptr;
    }

    void Start(const QByteArray& dictionary, const QString& text) {
        QFile f(path_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(dictionary.isNull() ? QByteArray("") : dictionary);
        f.close();
        editor_ = std::make_unique<TForm2>();
        editor_->ShowMessage = [this](const QString& message) { messages_.append(message); };
        dictionaryWindow_ = std::make_unique<TForm3>(path_);
        chooser_ = std::make_unique<TForm6>();
        Form2 = editor_.get();
        Form3 = dictionaryWindow_.get();
        Form6 = chooser_.get();
        editor_->ExpandAbbreviation = [this](bool firstCapital) { Expand(firstCapital); };
        // Typed text: the history holds only the editor's starting snapshot.
        Memo().SetText(text);
    }

    EditorText& Memo() { return editor_->MemoText(); }

    void Expand(bool firstCapital = false) {
        ExpandBeforeCaret(*editor_, Form3, Form6, firstCapital);
    }

    // Runs F9 with a chooser that `act` operates once it is shown.
    void ExpandWithChooser(const std::function<void()>& act, bool firstCapital = false) {
        // Timers die with the guard, so none reaches a later chooser.
        QObject guard;
        QTimer::singleShot(0, &guard, [this, act] {
            ASSERT_TRUE(chooser_->isVisible());
            shownHeight_ = chooser_->frameGeometry().height();
            act();
        });
        // A chooser left open would block the test run: close it as a failure.
        QTimer::singleShot(5000, &guard, [this] {
            ADD_FAILURE() << "the chooser stayed open";
            chooser_->close();
        });
        Expand(firstCapital);
        EXPECT_FALSE(chooser_->isVisible());
    }

    QTemporaryDir dir_;
    QString path_;
    std::unique_ptr<TForm2> editor_;
    std::unique_ptr<TForm3> dictionaryWindow_;
    std::unique_ptr<TForm6> chooser_;
    QStringList messages_;
    int shownHeight_ = 0;
};

QByteArray Utf8(const char* text) {
    return QByteArray("\xEF\xBB\xBF") + QByteArray(text);
}

TEST_F(ExpansionTest, SingleVariantReplacesTheAbbreviationAndUndoRestoresIt) {
    Start("nuv\tNUV Tolvek\r\n", "Hello nuv");
    Memo().SetCaret(9);
    Expand();
    EXPECT_EQ(Memo().Text(), QString("Hello NUV Tolvek"));
    EXPECT_EQ(Memo().SelStart(), 16);
    EXPECT_EQ(Memo().SelLength(), 0);

    editor_->N34Click();
    EXPECT_EQ(Memo().Text(), QString("Hello nuv"));
    EXPECT_EQ(Memo().SelStart(), 6);
}

TEST_F(ExpansionTest, CaretInsideAWordTakesOnlyThePartBeforeIt) {
    Start("ab\tX\r\nabc\tY\r\n", "one\r\nabcdef");
    Memo().SetCaret(7);  // after "ab" on the second line
    Expand();
    EXPECT_EQ(Memo().Text(), QString("one\r\nXcdef"));
    EXPECT_EQ(Memo().SelStart(), 6);
}

TEST_F(ExpansionTest, CommaBelongsToTheAbbreviation) {
    Start("ab\tplain\r\nab,\twith comma\r\n", "see ab,");
    Memo().SetCaret(7);
    Expand();
    EXPECT_EQ(Memo().Text(), QString("see with comma"));
}

TEST_F(ExpansionTest, SelectedTextStaysAfterTheInsertion) {
    Start("ab\tX\r\n", "abSEL tail");
    Memo().SetSelection(2, 3);
    Expand();
    EXPECT_EQ(Memo().Text(), QString("XSEL tail"));
    EXPECT_EQ(Memo().SelStart(), 1);
}

TEST_F(ExpansionTest, NoVariantOpensTheDictionaryWithTheAbbreviation) {
    Start("ab\tsmall\r\n", "x AB");
    const int snapshots = editor_->History.Count;
    Memo().SetCaret(4);
    Expand();
    EXPECT_EQ(Memo().Text(), QString("x AB"));
    EXPECT_EQ(Memo().SelStart(), 2);
    EXPECT_EQ(Memo().SelLength(), 2);
    EXPECT_EQ(editor_->History.Count, snapshots);
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_EQ(Form3->Edit1->text(), QString("AB"));
    EXPECT_EQ(Form3->focusWidget(), Form3->Edit2);

    // F9 again with that abbreviation still selected scans from the selection's start: the
    // run before it is empty.
    Form3->Edit1->setText("stale");
    Expand();
    EXPECT_EQ(Form3->Edit1->text(), QString(""));
    EXPECT_EQ(Memo().SelStart(), 2);
    EXPECT_EQ(Memo().SelLength(), 0);
}

TEST_F(ExpansionTest, EmptyAbbreviationMatchesOnlyTheBlankRow) {
    Start("", "text");
    Memo().SetCaret(0);
    Expand();
    EXPECT_EQ(Memo().Text(), QString("text"));
    EXPECT_FALSE(Form3->isVisible());

    Start("ab\tX\r\n", "a text");
    Memo().SetCaret(2);
    Expand();
    EXPECT_EQ(Memo().Text(), QString("a text"));
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_TRUE(Form3->Edit1->text().isEmpty());
}

TEST_F(ExpansionTest, ShiftF9CapitalisesCyrillicAndLatinOnly) {
    Start(Utf8("кт\tкот\r\nen\tcat\r\nsp\t cat\r\nd\t1st\r\n"), QString::fromUtf8("кт en sp d"));
    Memo().SetCaret(2);
    Expand(true);
    Memo().SetCaret(Memo().Text().indexOf(" en") + 3);
    Expand(true);
    Memo().SetCaret(Memo().Text().indexOf(" sp") + 3);
    Expand(true);
    Memo().SetCaret(Memo().TextLength());
    Expand(true);
    EXPECT_EQ(Memo().Text(), QString::fromUtf8("Кот Cat  cat 1st"));
    // F9 leaves the text as stored.
    Start(Utf8("кт\tкот\r\n"), QString::fromUtf8("кт"));
    Memo().SetCaret(2);
    Expand(false);
    EXPECT_EQ(Memo().Text(), QString::fromUtf8("кот"));
}

TEST_F(ExpansionTest, TwelveVariantsArePickedByDigitsAndTheCharactersAfterNine) {
    QByteArray dictionary;
    for (int i = 1; i <= 12; ++i)
        dictionary += "v\tvariant " + QByteArray(1, char('a' + i - 1)) + "\r\n";
    const QString keys = "123456789:;<";
    for (int k = 0; k < 12; ++k) {
        Start(dictionary, "v");
        Memo().SetCaret(1);
        const char key = keys.at(k).toLatin1();
        ExpandWithChooser([this, key] { QTest::keyClick(chooser_->StringGrid1, key); });
        EXPECT_EQ(Memo().Text(), QString("variant ") + QChar('a' + k)) << key;
    }
}

TEST_F(ExpansionTest, ChooserNumbersRowsAndEnterOrDoubleClickPick) {
    Start("v\tfirst\r\nv\tsecond\r\nv\tthird\r\n", "v");
    Memo().SetCaret(1);
    ExpandWithChooser([this] {
        EXPECT_EQ(chooser_->StringGrid1->rowCount(), 3);
        EXPECT_EQ(chooser_->StringGrid1->item(2, 0)->text(), QString("3"));
        EXPECT_EQ(chooser_->StringGrid1->currentRow(), 0);
        // Other characters, Esc and a digit beyond the list do nothing.
        QTest::keyClick(chooser_->StringGrid1, 'x');
        QTest::keyClick(chooser_->StringGrid1, '0');
        QTest::keyClick(chooser_->StringGrid1, '4');
        QTest::keyClick(chooser_->StringGrid1, Qt::Key_Escape);
        EXPECT_TRUE(chooser_->isVisible());
        QTest::keyClick(chooser_->StringGrid1, Qt::Key_Down);
        QTest::keyClick(chooser_->StringGrid1, Qt::Key_Down);
        QTest::keyClick(chooser_->StringGrid1, Qt::Key_Return);
    });
    EXPECT_EQ(Memo().Text(), QString("third"));

    Start("v\tfirst\r\nv\tsecond\r\n", "v");
    Memo().SetCaret(1);
    ExpandWithChooser([this] {
        QTableWidget* grid = chooser_->StringGrid1;
        const QRect second = grid->visualRect(grid->model()->index(1, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, second.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, second.center());
    });
    EXPECT_EQ(Memo().Text(), QString("second"));
    editor_->N34Click();
    EXPECT_EQ(Memo().Text(), QString("v"));
    EXPECT_EQ(Memo().SelStart(), 0);
}

TEST_F(ExpansionTest, ClosingTheChooserInsertsNothing) {
    Start("v\tfirst\r\nv\tsecond\r\n", "x v");
    Memo().SetCaret(3);
    ExpandWithChooser([this] { chooser_->close(); });
    EXPECT_EQ(Memo().Text(), QString("x v"));
    EXPECT_EQ(Memo().SelStart(), 2);
    EXPECT_EQ(Memo().SelLength(), 1);
}

TEST_F(ExpansionTest, ChooserFitsTwoVariantsAndKeepsThatHeightForTwelve) {
    QByteArray twelve;
    for (char c = 'a'; c < 'a' + 12; ++c) twelve += "w\tword " + QByteArray(1, c) + "\r\n";
    Start("v\tfirst\r\nv\tsecond\r\n" + twelve, "v");
    const int width = chooser_->width();
    Memo().SetCaret(1);
    ExpandWithChooser([this] { QTest::keyClick(chooser_->StringGrid1, '1'); });
    EXPECT_EQ(shownHeight_, 116);
    EXPECT_EQ(chooser_->StringGrid1->height(), 2 * 18 + 10);
    EXPECT_EQ(chooser_->width(), width);

    Memo().SetText("w");
    Memo().SetCaret(1);
    ExpandWithChooser([this] { QTest::keyClick(chooser_->StringGrid1, '<'); });
    EXPECT_EQ(shownHeight_, 116);
    EXPECT_EQ(Memo().Text(), QString("word l"));
}

TEST_F(ExpansionTest, F8OffersTheSelectionOrAsksForOne) {
    Start("", "some phrase here");
    Memo().SetCaret(4);
    OfferSelectionToDictionary(*editor_, Form3);
    EXPECT_EQ(messages_, QStringList({QString::fromUtf8("Сначала выделите текст!")}));
    EXPECT_FALSE(Form3->isVisible());

    Memo().SetSelection(5, 6);
    OfferSelectionToDictionary(*editor_, Form3);
    EXPECT_EQ(messages_.size(), 1);
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_EQ(Form3->Edit2->text(), QString("phrase"));
    EXPECT_EQ(Form3->focusWidget(), Form3->Edit1);
    EXPECT_EQ(Memo().Text(), QString("some phrase here"));

    // The typist types the abbreviation, Enter, Enter: the entry is added and saved.
    Form3->Edit1->setText("ph");
    Form3->Edit1KeyPress(u'\r');
    Form3->Edit2KeyPress(u'\r');
    QFile f(path_);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("ph\tphrase\r\n"));
}

TEST_F(ExpansionTest, F8OffersTextOverSeveralLinesAsOneLine) {
    Start("", QString::fromUtf8("a\r\nfirst\r\nsecond\tthird\r\nend\r\n"));
    Memo().SetSelection(3, Memo().TextLength() - 3);
    OfferSelectionToDictionary(*editor_, Form3);
    EXPECT_EQ(Form3->Edit2->text(), QString::fromUtf8("first second third end "));
    Form3->Edit1->setText("fs");
    Form3->Button1Click();
    QFile f(path_);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("fs\tfirst second third end \r\n"));
}

}  // namespace

namespace {

TEST_F(ExpansionTest, F9AndShiftF9KeysInTheEditorExpand) {
    Start(Utf8("кт\tкот\r\n"), QString::fromUtf8("кт кт"));
    editor_->show();
    editor_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor_.get()));
    editor_->Memo1->setFocus();
    Memo().SetCaret(2);
    QTest::keyClick(editor_->Memo1, Qt::Key_F9, Qt::ShiftModifier);
    Memo().SetCaret(Memo().TextLength());
    QTest::keyClick(editor_->Memo1, Qt::Key_F9);
    EXPECT_EQ(Memo().Text(), QString::fromUtf8("Кот кот"));
}

}  // namespace
