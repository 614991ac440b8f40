// Timestamps, the find bar and the spell check as the typist uses them in the editor window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>

#include "app/window_set.h"
#include "dictionary/dictionary_model.h"
#include "dictionary/dictionary_window.h"
#include "editor/editor_window.h"
#include "editor/find_bar.h"
#include "editor/memo_marks.h"
#include "editor/spell_marks.h"
#include "editor/tests/editor_fixture.h"
#include "editor/timestamp_links.h"

namespace {

class EditorFeatures : public ::testing::Test {
  protected:
    void SetUp() override {
        editor = Form2;
        memo = editor->Memo1;
        ASSERT_NO_FATAL_FAILURE(ShowEmptyEditor(editor, memo));
        editor->StatusBar1->clearMessage();
        seeks.clear();
        position.reset();
        editor->SetPlayerLink({[this] { return position; },
                               [this](double seconds) {
                                   if (!position) return false;
                                   seeks.push_back(seconds);
                                   return true;
                               },
                               {}});
    }
    void TearDown() override {
        editor->FindBar1->Close();
        if (!editor->SpellItem->isChecked()) editor->SpellItem->trigger();
        editor->SetPlayerLink({});
    }

    void SetText(const QString& text, int caret) {
        editor->ReplaceText(text);
        editor->MemoText().SetCaret(caret);
    }
    QString Text() const { return editor->Text(); }
    // The middle of the character at a control position, in viewport coordinates.
    QPoint PointAt(int controlPos) const {
        QTextCursor c(memo->document());
        c.setPosition(controlPos);
        const QRect r = memo->cursorRect(c);
        return QPoint(r.left() + 3, r.center().y());
    }
    void Click(QPoint at, Qt::KeyboardModifiers modifiers) {
        QTest::mouseClick(memo->viewport(), Qt::LeftButton, modifiers, at);
    }
    void Move(QPoint at) {
        QMouseEvent move(QEvent::MouseMove, at, memo->viewport()->mapToGlobal(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(memo->viewport(), &move);
    }
    QStringList UnderlinedWords() const { return editor->Spelling->UnderlinedWords(); }
    static bool HaveDictionaries() {
        return QFile::exists("/usr/share/hunspell/ru_RU.dic") &&
               QFile::exists("/usr/share/hunspell/en_US.dic");
    }

    TForm2* editor = nullptr;
    QPlainTextEdit* memo = nullptr;
    std::optional<double> position;
    std::vector<double> seeks;
};

TEST_F(EditorFeatures, CtrlTInsertsThePositionAndUndoTakesItOut) {
    SetText(QStringLiteral("начало конец"), 7);
    position = 59.9;
    QTest::keyClick(memo, Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("начало [00:00:59]конец"));
    EXPECT_EQ(editor->MemoText().SelStart(), 17);
    position = 3 * 3600 + 5 * 60 + 0.5;
    QTest::keyClick(memo, Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("начало [00:00:59][03:05:00]конец"));
    QTest::keyClick(memo, Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("начало [00:00:59]конец"));
    QTest::keyClick(memo, Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("начало конец"));
}

TEST_F(EditorFeatures, CtrlTWithNoRecordingInsertsNothingAndSaysSo) {
    SetText(QStringLiteral("текст"), 2);
    const int snapshots = editor->History.Count;
    QTest::keyClick(memo, Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("текст"));
    EXPECT_EQ(editor->History.Count, snapshots);
    EXPECT_TRUE(
        editor->StatusBar1->currentMessage().contains(QStringLiteral("Нет открытой записи")));
}

TEST_F(EditorFeatures, CtrlJPlaysFromTheTimestampUnderTheCaret) {
    position = 0.0;
    const QString text = QStringLiteral("а [1:02:03] б [02:03] в [00:02:03.5] г");
    SetText(text, 0);
    const struct {
        const char* stamp;
        double seconds;
    } cases[] = {{"[1:02:03]", 3723}, {"[02:03]", 123}, {"[00:02:03.5]", 123.5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stamp);
        seeks.clear();
        editor->MemoText().SetCaret(static_cast<int>(text.indexOf(QString::fromUtf8(c.stamp)) + 3));
        QTest::keyClick(memo, Qt::Key_J, Qt::ControlModifier);
        ASSERT_EQ(seeks.size(), 1u);
        EXPECT_DOUBLE_EQ(seeks[0], c.seconds);
    }
    seeks.clear();
    editor->MemoText().SetCaret(0);
    QTest::keyClick(memo, Qt::Key_J, Qt::ControlModifier);
    EXPECT_TRUE(seeks.empty());
    EXPECT_EQ(editor->StatusBar1->currentMessage(), QStringLiteral("Курсор не на метке времени"));
    EXPECT_EQ(Text(), text);  // the keys typed nothing
}

TEST_F(EditorFeatures, CtrlClickOnATimestampPlaysAndAHandShowsOverIt) {
    position = 0.0;
    SetText(QStringLiteral("слово [00:12:07] слово\r\n[02:03]"), 0);
    const QPoint onStamp = PointAt(9);
    const QPoint onWord = PointAt(2);
    Click(onWord, Qt::ControlModifier);
    EXPECT_TRUE(seeks.empty());
    Click(onStamp, Qt::NoModifier);  // a plain click only places the caret
    EXPECT_TRUE(seeks.empty());
    Click(onStamp, Qt::ControlModifier);
    ASSERT_EQ(seeks.size(), 1u);
    EXPECT_DOUBLE_EQ(seeks[0], 727.0);
    // Far right of the second line's end is not on its timestamp.
    const QPoint pastEnd(memo->viewport()->width() - 20, PointAt(26).y());
    Click(pastEnd, Qt::ControlModifier);
    EXPECT_EQ(seeks.size(), 1u);
    Click(PointAt(26), Qt::ControlModifier);
    ASSERT_EQ(seeks.size(), 2u);
    EXPECT_DOUBLE_EQ(seeks[1], 123.0);

    Move(onStamp);
    EXPECT_EQ(memo->viewport()->cursor().shape(), Qt::PointingHandCursor);
    Move(onWord);
    EXPECT_EQ(memo->viewport()->cursor().shape(), Qt::IBeamCursor);
}

TEST_F(EditorFeatures, FindBarFindsHighlightsAndCloses) {
    SetText(QStringLiteral("Ёжик и ёжик\r\nещё ЁЖИК"), 0);
    EXPECT_FALSE(editor->FindBar1->isVisible());
    QTest::keyClick(memo, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(editor->FindBar1->isVisible());
    EXPECT_FALSE(editor->FindBar1->ReplaceEdit->isVisible());
    QLineEdit* find = editor->FindBar1->FindEdit;
    find->setText(QStringLiteral("ёжик"));
    QTest::keyClick(find, Qt::Key_Return);
    EXPECT_EQ(editor->MemoText().SelStart(), 0);
    EXPECT_EQ(editor->MemoText().SelLength(), 4);
    QTest::keyClick(find, Qt::Key_Return);
    EXPECT_EQ(editor->MemoText().SelStart(), 7);
    QTest::keyClick(find, Qt::Key_Return);
    EXPECT_EQ(editor->MemoText().SelStart(), 17);  // across the line break
    QTest::keyClick(find, Qt::Key_Return);
    EXPECT_EQ(editor->MemoText().SelStart(), 0);  // wrapped around
    EXPECT_EQ(editor->FindBar1->ResultLabel->text(), QStringLiteral("Продолжено с начала"));
    QTest::keyClick(find, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(editor->MemoText().SelStart(), 17);

    editor->FindBar1->RefreshHighlights();
    int highlighted = 0;
    for (const auto& mark : memo->extraSelections()) {
        if (mark.format.hasProperty(QTextFormat::BackgroundBrush)) ++highlighted;
    }
    EXPECT_EQ(highlighted, 3);
    editor->FindBar1->CaseBox->setChecked(true);
    editor->FindBar1->RefreshHighlights();
    highlighted = 0;
    for (const auto& mark : memo->extraSelections()) {
        if (mark.format.hasProperty(QTextFormat::BackgroundBrush)) ++highlighted;
    }
    EXPECT_EQ(highlighted, 1);
    editor->FindBar1->CaseBox->setChecked(false);

    find->setText(QStringLiteral("кот"));
    QTest::keyClick(find, Qt::Key_Return);
    EXPECT_EQ(editor->FindBar1->ResultLabel->text(), QStringLiteral("Не найдено"));
    QTest::keyClick(find, Qt::Key_Escape);
    EXPECT_FALSE(editor->FindBar1->isVisible());
    for (const auto& mark : memo->extraSelections()) {
        EXPECT_FALSE(mark.format.hasProperty(QTextFormat::BackgroundBrush));
    }
}

TEST_F(EditorFeatures, ReplaceAllFromTheBarIsOneUndo) {
    const QString before = QStringLiteral("Смирнов: да.\r\nсмирнов: нет.\r\nСМИРНОВ");
    SetText(before, 0);
    editor->History.Push(before, 0);
    QTest::keyClick(memo, Qt::Key_H, Qt::ControlModifier);
    ASSERT_TRUE(editor->FindBar1->ReplaceEdit->isVisible());
    editor->FindBar1->FindEdit->setText(QStringLiteral("смирнов"));
    editor->FindBar1->ReplaceEdit->setText(QStringLiteral("Смирнова"));
    EXPECT_EQ(editor->FindBar1->ReplaceAll(), 3);
    EXPECT_EQ(Text(), QStringLiteral("Смирнова: да.\r\nСмирнова: нет.\r\nСмирнова"));
    EXPECT_EQ(editor->FindBar1->ResultLabel->text(), QStringLiteral("Заменено: 3"));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("Смирнова: да.\nСмирнова: нет.\nСмирнова"));
    editor->N34Click();
    EXPECT_EQ(Text(), before);

    // Enter in the replace field replaces the selected match and moves on.
    editor->MemoText().SetCaret(0);
    QTest::keyClick(editor->FindBar1->ReplaceEdit, Qt::Key_Return);  // finds the first
    QTest::keyClick(editor->FindBar1->ReplaceEdit, Qt::Key_Return);  // replaces it
    EXPECT_EQ(Text(), QStringLiteral("Смирнова: да.\r\nсмирнов: нет.\r\nСМИРНОВ"));
    EXPECT_EQ(editor->MemoText().SelStart(), 15);
}

TEST_F(EditorFeatures, MisspeltWordsOnScreenAreUnderlinedAndCorrectedFromTheMenu) {
    if (!HaveDictionaries()) GTEST_SKIP() << "no Hunspell dictionaries";
    ASSERT_TRUE(editor->Spelling->WaitUntilLoaded());
    SetText(QStringLiteral("Малоко и молоко, the intervew.\r\n[Фыва] [00:01:02] зпт"), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(UnderlinedWords(), (QStringList{"Малоко", "intervew", "зпт"}));

    // An abbreviation of the dictionary is never marked.
    const DictionaryRows saved = Form3->Table->Rows();
    Form3->Table->SetRows({{QStringLiteral("зпт"), QStringLiteral("запятая")}});
    QCoreApplication::processEvents();
    EXPECT_EQ(UnderlinedWords(), (QStringList{"Малоко", "intervew"}));
    Form3->Table->SetRows(saved);

    QMenu menu;
    menu.addAction(QStringLiteral("Копировать"));
    ASSERT_TRUE(editor->Spelling->AddToMenu(menu, PointAt(2)));
    QStringList suggestions;
    QAction* add = nullptr;
    for (QAction* action : menu.actions()) {
        if (action->objectName() == QStringLiteral("SpellSuggestion"))
            suggestions << action->text();
        if (action->text() == QStringLiteral("Добавить в словарь")) add = action;
    }
    EXPECT_NE(add, nullptr);
    EXPECT_LE(suggestions.size(), 8);
    ASSERT_TRUE(suggestions.contains(QStringLiteral("Молоко")))
        << suggestions.join(',').toStdString();
    EXPECT_EQ(menu.actions().last()->text(), QStringLiteral("Копировать"));
    for (QAction* action : menu.actions()) {
        if (action->text() == QStringLiteral("Молоко")) action->trigger();
    }
    EXPECT_TRUE(Text().startsWith(QStringLiteral("Молоко и молоко")));
    editor->N34Click();
    EXPECT_TRUE(Text().startsWith(QStringLiteral("Малоко и молоко")));

    // Not on a misspelt word: the menu stays as it was.
    QMenu plain;
    EXPECT_FALSE(editor->Spelling->AddToMenu(plain, PointAt(10)));
    EXPECT_TRUE(plain.actions().isEmpty());

    // Switched off from the settings menu: no underlines, no corrections.
    editor->SpellItem->trigger();
    EXPECT_FALSE(editor->SpellItem->isChecked());
    QCoreApplication::processEvents();
    EXPECT_TRUE(UnderlinedWords().isEmpty());
    EXPECT_FALSE(editor->Spelling->AddToMenu(plain, PointAt(2)));
    editor->SpellItem->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(UnderlinedWords().size(), 3);
}

TEST_F(EditorFeatures, AWordAddedToTheDictionaryIsNoLongerMarked) {
    if (!HaveDictionaries()) GTEST_SKIP() << "no Hunspell dictionaries";
    ASSERT_TRUE(editor->Spelling->WaitUntilLoaded());
    SetText(QStringLiteral("Ныне Толвекус пишет"), 0);
    QCoreApplication::processEvents();
    ASSERT_EQ(UnderlinedWords(), QStringList{"Толвекус"});
    const auto word = editor->Spelling->MisspeltWordAt(PointAt(7));
    ASSERT_TRUE(word.has_value());
    EXPECT_EQ(word->text, QStringLiteral("Толвекус"));
    EXPECT_EQ(word->range.start, 5);
    editor->Spelling->AddToDictionary(*word);
    EXPECT_TRUE(UnderlinedWords().isEmpty());
    QFile list(PersonalWordListPath());
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(list.readAll()).contains(QStringLiteral("Толвекус\n")));
}

// The viewport as drawn now, without the caret (its blinking would differ between two grabs).
QImage Drawn(QPlainTextEdit* memo) {
    const int width = memo->cursorWidth();
    memo->setCursorWidth(0);
    QImage image = memo->viewport()->grab().toImage();
    memo->setCursorWidth(width);
    return image;
}

TEST_F(EditorFeatures, TheUnderlineLeavesTheLettersOfTheLineBelowUncovered) {
    if (!HaveDictionaries()) GTEST_SKIP() << "no Hunspell dictionaries";
    ASSERT_TRUE(editor->Spelling->WaitUntilLoaded());
    const QFont saved = memo->font();
    for (int pixels : {11, 20}) {  // the program's size and a larger one chosen by the typist
        SCOPED_TRACE(pixels);
        QFont font(QStringLiteral("Tahoma"));
        font.setPixelSize(pixels);
        memo->setFont(font);
        const QString below = QStringLiteral("Ёж Ёж Ёж Ёж Ёж Ёж Ёж Ёж");
        SetText(QStringLiteral("Малоко\r\n") + below, 0);
        QCoreApplication::processEvents();
        ASSERT_EQ(UnderlinedWords(), QStringList{"Малоко"});
        const QImage marked = Drawn(memo);
        editor->SpellItem->trigger();  // off
        const QImage plain = Drawn(memo);
        SetText(QStringLiteral("\r\n") + below, 0);
        const QImage lower = Drawn(memo);  // the letters of the line below alone
        editor->SpellItem->trigger();
        QTextCursor second(memo->document()->findBlockByNumber(1));
        const int secondTop = memo->cursorRect(second).top();
        const QRgb base = memo->palette().color(QPalette::Base).rgb();
        int underline = 0, inLineBelow = 0, onLetters = 0;
        for (int y = 0; y < marked.height(); ++y) {
            for (int x = 0; x < marked.width(); ++x) {
                if (marked.pixel(x, y) == plain.pixel(x, y)) continue;
                ++underline;
                if (y >= secondTop) ++inLineBelow;
                if (lower.pixel(x, y) != base) ++onLetters;
            }
        }
        EXPECT_GT(underline, 10);
        EXPECT_EQ(inLineBelow, 0);
        EXPECT_EQ(onLetters, 0);
    }
    memo->setFont(saved);
}

// Ink of `text` drawn in `font` (how dark, summed over the pixels) and its advance.
std::pair<int, int> InkAndAdvance(const QFont& font, const QString& text) {
    const int advance = QFontMetrics(font).horizontalAdvance(text);
    QImage image(advance + 10, QFontMetrics(font).height() + 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(2, QFontMetrics(font).ascent() + 2, text);
    painter.end();
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ink += 255 - qGray(image.pixel(x, y));
    return {ink, advance};
}

TEST_F(EditorFeatures, SuggestionsStandOutInBoldAtTheMenusLetterSpacing) {
    if (!HaveDictionaries()) GTEST_SKIP() << "no Hunspell dictionaries";
    ASSERT_TRUE(editor->Spelling->WaitUntilLoaded());
    SetText(QStringLiteral("Малоко"), 0);
    QMenu menu;
    ASSERT_TRUE(editor->Spelling->AddToMenu(menu, PointAt(2)));
    const QAction* suggestion = menu.findChild<QAction*>(QStringLiteral("SpellSuggestion"));
    ASSERT_NE(suggestion, nullptr);
    const QFont regular = menu.font();
    const QFont shown = suggestion->font().resolve(regular);
    EXPECT_EQ(shown.letterSpacing(), 0);
    const auto [plainInk, plainAdvance] = InkAndAdvance(regular, suggestion->text());
    const auto [boldInk, boldAdvance] = InkAndAdvance(shown, suggestion->text());
    // Darker strokes, not the same strokes spread wider.
    EXPECT_GT(boldInk, plainInk * 6 / 5);
    EXPECT_LE(boldAdvance, plainAdvance * 11 / 10 + 1);
}

TEST_F(EditorFeatures, TheNewKeysAreListedInTheirMenusAndClashWithNothing) {
    const struct {
        QAction* action;
        QKeySequence key;
    } items[] = {{editor->FindItem, QKeySequence(Qt::CTRL | Qt::Key_F)},
                 {editor->ReplaceItem, QKeySequence(Qt::CTRL | Qt::Key_H)},
                 {editor->TimestampItem, QKeySequence(Qt::CTRL | Qt::Key_T)},
                 {editor->PlayTimestampItem, QKeySequence(Qt::CTRL | Qt::Key_J)}};
    const QList<QAction*> all = editor->findChildren<QAction*>();
    for (const auto& item : items) {
        SCOPED_TRACE(item.action->text().toStdString());
        EXPECT_EQ(item.action->shortcut(), item.key);
        int holders = 0;
        for (QAction* other : all) {
            if (other->shortcuts().contains(item.key)) ++holders;
        }
        EXPECT_EQ(holders, 1);
        for (QKeySequence::StandardKey standard :
             {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Undo,
              QKeySequence::Redo, QKeySequence::SelectAll, QKeySequence::Backspace,
              QKeySequence::DeleteStartOfWord, QKeySequence::MoveToNextWord,
              QKeySequence::MoveToPreviousWord, QKeySequence::DeleteEndOfWord}) {
            EXPECT_FALSE(QKeySequence::keyBindings(standard).contains(item.key));
        }
    }
    EXPECT_TRUE(editor->SpellItem->isCheckable());
}

}  // namespace
