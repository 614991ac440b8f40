#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "editor/edit_history.h"
#include "editor/editor_commands.h"
#include "editor/editor_text.h"
#include "editor/text_transforms.h"
#include "textfiles/textfiles.h"

TEST(TextTransforms, InvertCaseExamples) {
    EXPECT_EQ(InvertCase(QStringLiteral("Привет, World")), QStringLiteral("пРИВЕТ, wORLD"));
    EXPECT_EQ(InvertCase(QStringLiteral("ёЁ zZ 123\r\n\t")), QStringLiteral("Ёё Zz 123\r\n\t"));
    // Letters outside the two alphabets stay.
    EXPECT_EQ(InvertCase(QStringLiteral("іїєґéÉß")), QStringLiteral("іїєґéÉß"));
    // Case inversion is its own inverse on every table letter.
    const QString all = QStringLiteral(
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZабвгдеёжзийклмнопрстуфхцчшщъыьэюя"
        "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ");
    EXPECT_EQ(all.size(), 118);
    EXPECT_EQ(InvertCase(InvertCase(all)), all);
    EXPECT_EQ(InvertCase(all).toLower(), all.toLower());
    EXPECT_NE(InvertCase(all), all);
}

TEST(TextTransforms, SwapLayoutExamples) {
    EXPECT_EQ(SwapLayout(QStringLiteral("ghbdtn")), QStringLiteral("привет"));
    EXPECT_EQ(SwapLayout(QStringLiteral("Ghbdtn")), QStringLiteral("Привет"));
    EXPECT_EQ(SwapLayout(QStringLiteral("руддщ")), QStringLiteral("hello"));
    EXPECT_EQ(SwapLayout(QStringLiteral("abc 123")), QStringLiteral("фис 123"));
    // The first occurrence wins for "." and ",".
    EXPECT_EQ(SwapLayout(QStringLiteral("ю")), QStringLiteral("."));
    EXPECT_EQ(SwapLayout(QStringLiteral(".")), QStringLiteral("ю"));
    EXPECT_EQ(SwapLayout(QStringLiteral("б")), QStringLiteral(","));
    EXPECT_EQ(SwapLayout(QStringLiteral(",")), QStringLiteral("б"));
    EXPECT_EQ(SwapLayout(QStringLiteral("/?")), QStringLiteral(".,"));
    EXPECT_EQ(SwapLayout(QStringLiteral("#№~`")), QStringLiteral("№#Ёё"));
    EXPECT_EQ(SwapLayout(QStringLiteral("'\";:[]{}<>")), QStringLiteral("эЭжЖхъХЪБЮ"));
    EXPECT_EQ(SwapLayout(QStringLiteral("1 2\r\n\t!@")), QStringLiteral("1 2\r\n\t!@"));
    // Every Latin key maps to Cyrillic and back, except "/" and "?" (they give "." and ",").
    const QString latin =
        QStringLiteral("`qwertyuiop[]asdfghjkl;'zxcvbnm~#QWERTYUIOP{}ASDFGHJKL:\"ZXCVBNM<>");
    EXPECT_EQ(SwapLayout(SwapLayout(latin)), latin);
}

TEST(TextTransforms, WordBeforeCaret) {
    PlainEditorText t(QStringLiteral("one two\r\nthree"));
    t.SetCaret(6);  // after "tw"
    SelectWordBeforeCaret(t);
    EXPECT_EQ(t.SelStart(), 4);
    EXPECT_EQ(t.SelText(), QStringLiteral("tw"));
    t.SetCaret(3);  // end of the first word of the text
    SelectWordBeforeCaret(t);
    EXPECT_EQ(t.SelText(), QStringLiteral("one"));
    t.SetCaret(4);  // right after a space
    SelectWordBeforeCaret(t);
    EXPECT_EQ(t.SelLength(), 0);
    EXPECT_EQ(t.SelStart(), 4);
    t.SetCaret(13);  // after "thre", following CR LF
    SelectWordBeforeCaret(t);
    EXPECT_EQ(t.SelText(), QStringLiteral("thre"));
    t.SetCaret(0);
    SelectWordBeforeCaret(t);
    EXPECT_EQ(t.SelLength(), 0);
    PlainEditorText tab(QStringLiteral("a\tb,c"));
    tab.SetCaret(5);
    SelectWordBeforeCaret(tab);
    EXPECT_EQ(tab.SelText(), QStringLiteral("b,c"));  // punctuation belongs to the word
}

TEST(TextCommands, TransformSelectionOrWord) {
    PlainEditorText t(QStringLiteral("x abcdef"));
    TEditHistory h;
    RecordSnapshot(t, h);
    t.SetCaret(5);  // after "abc"
    TransformSelection(t, h, InvertCase);
    EXPECT_EQ(t.Text(), QStringLiteral("x ABCdef"));
    EXPECT_EQ(t.SelStart(), 5);
    EXPECT_EQ(t.SelLength(), 0);
    EXPECT_EQ(h.Count, 2);
    UndoEdit(t, h);
    EXPECT_EQ(t.Text(), QStringLiteral("x abcdef"));

    // After a space: nothing changes, no new snapshot for an unchanged text.
    PlainEditorText s(QStringLiteral("ab cd"));
    TEditHistory hs;
    RecordSnapshot(s, hs);
    s.SetCaret(3);
    TransformSelection(s, hs, SwapLayout);
    EXPECT_EQ(s.Text(), QStringLiteral("ab cd"));
    EXPECT_EQ(hs.Count, 1);

    // A selection over a line break keeps the break.
    PlainEditorText m(QStringLiteral("ghbdtn\r\nvbh"));
    TEditHistory hm;
    m.SetSelection(0, 11);
    TransformSelection(m, hm, SwapLayout);
    EXPECT_EQ(m.Text(), QStringLiteral("привет\r\nмир"));
    EXPECT_EQ(m.SelStart(), 11);
}

TEST(TextCommands, TurnMarkerSplitsTheLineAndUndoRestoresSelection) {
    PlainEditorText t(QStringLiteral("Привет мир"));
    TEditHistory h;
    RecordSnapshot(t, h);
    t.SetCaret(7);
    InsertTurnMarker(t, h, QStringLiteral("Анна"));
    EXPECT_EQ(t.Text(), QStringLiteral("Привет \r\n[Анна]\r\nмир"));
    EXPECT_EQ(t.SelStart(), 17);  // start of the line after the marker

    PlainEditorText s(QStringLiteral("a selected b"));
    TEditHistory hs;
    s.SetSelection(2, 8);
    InsertTurnMarker(s, hs, QStringLiteral("Bob"));
    EXPECT_EQ(s.Text(), QStringLiteral("a \r\n[Bob]\r\n b"));
    UndoEdit(s, hs);
    EXPECT_EQ(s.Text(), QStringLiteral("a selected b"));
    EXPECT_EQ(s.SelStart(), 2);
}

TEST(TextCommands, CutAndPasteRecordSnapshots) {
    PlainEditorText t(QStringLiteral("one\r\ntwo"));
    TEditHistory h;
    RecordSnapshot(t, h);
    t.SetSelection(3, 2);
    EXPECT_EQ(CutSelection(t, h), QStringLiteral("\r\n"));
    EXPECT_EQ(t.Text(), QStringLiteral("onetwo"));
    t.SetCaret(6);
    PasteText(t, h, QStringLiteral("\nthree"));
    EXPECT_EQ(t.Text(), QStringLiteral("onetwo\r\nthree"));
    EXPECT_EQ(t.SelStart(), 13);
    UndoEdit(t, h);
    EXPECT_EQ(t.Text(), QStringLiteral("onetwo"));
    UndoEdit(t, h);
    EXPECT_EQ(t.Text(), QStringLiteral("one\r\ntwo"));
}

TEST(TextCommands, ParticipantKeys) {
    EXPECT_EQ(ParticipantForKey(Qt::Key_3, Qt::ControlModifier, 0), 3);
    EXPECT_EQ(ParticipantForKey(Qt::Key_0, Qt::ControlModifier, 0), 10);
    EXPECT_EQ(ParticipantForKey(Qt::Key_At, Qt::ControlModifier | Qt::ShiftModifier, 0), 2);
    EXPECT_EQ(ParticipantForKey(Qt::Key_QuoteDbl, Qt::ControlModifier | Qt::ShiftModifier, 0), 2);
    EXPECT_EQ(ParticipantForKey(0x2116, Qt::ControlModifier | Qt::ShiftModifier, 0), 3);  // №
    EXPECT_EQ(ParticipantForKey(Qt::Key_ParenRight, Qt::ControlModifier, 0), 10);
    EXPECT_EQ(ParticipantForKey(Qt::Key_1, Qt::ControlModifier | Qt::KeypadModifier, 0), 0);
    EXPECT_EQ(ParticipantForKey(Qt::Key_A, Qt::ControlModifier, 0), 0);
    // With a scan code the key's place decides, whatever symbol it gave.
    EXPECT_EQ(ParticipantForKey(Qt::Key_At, Qt::ControlModifier, 11), 2);
    EXPECT_EQ(ParticipantForKey(Qt::Key_0, Qt::ControlModifier, 19), 10);
    EXPECT_EQ(ParticipantForKey(Qt::Key_Question, Qt::ControlModifier, 61), 0);  // "/" key
    EXPECT_EQ(ParticipantForKey(Qt::Key_1, Qt::ControlModifier, 87), 0);         // keypad 1
}

// Opening a file in place of the text: the mark wins over the choice, one undo brings the
// old text back, and a file that cannot be read leaves the text as it was.
TEST(TextCommands, OpeningAFileReplacesTheTextAsOneStep) {
    using textfiles::Encoding;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString marked = dir.filePath("marked.txt");
    const QString plain = dir.filePath("plain.txt");
    textfiles::WriteTextFile(marked, QStringLiteral("Анна\r\nдалее"), Encoding::Utf8);
    textfiles::WriteTextFile(plain, QStringLiteral("Борис"), Encoding::Ansi);
    const struct {
        QString path;
        Encoding chosen;
        Encoding read;
        const char* text;
    } cases[] = {
        {marked, Encoding::Ansi, Encoding::Utf8, "Анна\r\nдалее"},
        {plain, Encoding::Ansi, Encoding::Ansi, "Борис"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        PlainEditorText t(QStringLiteral("старый текст"));
        TEditHistory h;
        EXPECT_EQ(OpenTextInto(t, h, c.path, c.chosen), c.read);
        EXPECT_EQ(t.Text(), QString::fromUtf8(c.text));
        UndoEdit(t, h);
        EXPECT_EQ(t.Text(), QStringLiteral("старый текст"));
    }
    PlainEditorText t(QStringLiteral("старый текст"));
    TEditHistory h;
    EXPECT_THROW(OpenTextInto(t, h, dir.filePath("нет такого"), Encoding::Utf8),
                 textfiles::FileError);
    EXPECT_EQ(t.Text(), QStringLiteral("старый текст"));
}

TEST(TextCommands, WhatACtrlKeyDoesInTheText) {
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    const Qt::KeyboardModifiers ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
    const Qt::KeyboardModifiers ctrlPad = Qt::ControlModifier | Qt::KeypadModifier;
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        quint32 scanCode;
        CtrlKeyRoute route;
    } cases[] = {
        {Qt::Key_X, ctrlShift, 0, {CtrlKeyAction::Cut}},
        {0x0427, ctrlAlt, 0, {CtrlKeyAction::Cut}},  // Ч
        {Qt::Key_V, ctrlShift, 0, {CtrlKeyAction::Paste}},
        {0x041C, ctrlShift, 0, {CtrlKeyAction::Paste}},  // М
        {Qt::Key_C, ctrlAlt, 0, {CtrlKeyAction::Copy}},
        {0x0421, ctrlShift, 0, {CtrlKeyAction::Copy}},  // С
        {Qt::Key_4, ctrl, 13, {CtrlKeyAction::Participant, 4}},
        {Qt::Key_Dollar, ctrlShift, 13, {CtrlKeyAction::Participant, 4}},
        {Qt::Key_ParenRight, ctrlShift, 0, {CtrlKeyAction::Participant, 10}},
        {Qt::Key_1, ctrlPad, 87, {CtrlKeyAction::Swallow}},
        {Qt::Key_9, ctrlPad, 0, {CtrlKeyAction::Swallow}},
        {Qt::Key_Plus, ctrlPad, 0, {CtrlKeyAction::Text}},
        {Qt::Key_A, ctrl, 38, {CtrlKeyAction::Text}},
        {Qt::Key_X, Qt::ShiftModifier, 0, {CtrlKeyAction::Text}},  // no Ctrl: typing
        {Qt::Key_4, Qt::AltModifier, 13, {CtrlKeyAction::Text}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(RouteCtrlKey(c.key, c.modifiers, c.scanCode), c.route);
    }
}

TEST(TextModel, OffsetsCountCrLfAsTwoAndNeverSplitIt) {
    PlainEditorText t(QStringLiteral("ab\ncd\r\rx"));
    EXPECT_EQ(t.Text(), QStringLiteral("ab\r\ncd\r\n\r\nx"));
    EXPECT_EQ(t.TextLength(), 11);
    t.SetSelection(4, 5);  // ends between CR and LF: the break's start
    EXPECT_EQ(t.SelText(), QStringLiteral("cd\r\n"));
    t.SetSelection(3, 1);  // starts inside the first break
    EXPECT_EQ(t.SelStart(), 2);
    t.SetSelection(-5, 1000000000);
    EXPECT_EQ(t.SelLength(), 11);
    t.SetSelection(9, 2147483647);
    EXPECT_EQ(t.SelText(), QStringLiteral("\r\nx"));  // 9 is inside the last break
}
