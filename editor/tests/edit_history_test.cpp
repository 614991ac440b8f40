#include "editor/edit_history.h"

#include <gtest/gtest.h>

#include "editor/editor_commands.h"
#include "editor/editor_text.h"

namespace {

// An editor model at start-up: empty text, one snapshot.
struct Editor {
    PlainEditorText text;
    TEditHistory history;
    Editor() { RecordSnapshot(text, history); }
    // A command that records snapshots around replacing the whole text.
    void Command(const QString& newText) {
        RecordSnapshot(text, history);
        text.SetText(newText);
        text.SetCaret(text.TextLength());
        RecordSnapshot(text, history);
    }
};

}  // namespace

TEST(EditHistory, PushKeepsTwentyAndSkipsEqualTexts) {
    TEditHistory h;
    EXPECT_EQ(h.Count, 0);
    h.Push("a", 0);
    h.Push("a", 5);  // same text, other caret: still one snapshot
    EXPECT_EQ(h.Count, 1);
    EXPECT_EQ(h.Positions[0], 0);
    for (int i = 1; i <= 20; ++i) h.Push(QString::number(i), i);
    // 21 different texts: the oldest ("a") is gone.
    EXPECT_EQ(h.Count, 20);
    EXPECT_EQ(h.RedoLimit, 20);
    EXPECT_EQ(h.Texts[0], QStringLiteral("1"));
    EXPECT_EQ(h.Texts[19], QStringLiteral("20"));
    EXPECT_EQ(h.Positions[19], 20);
    // Undo never goes back past the oldest snapshot still held.
    while (h.Pop(QStringLiteral("shown")) > 0) {
    }
    EXPECT_EQ(h.CurrentText, QStringLiteral("1"));
    EXPECT_EQ(h.Count, 0);
    EXPECT_EQ(h.Pop(QStringLiteral("1")), -1);
}

TEST(EditHistory, PopStepsBackSkippingTheShownText) {
    TEditHistory h;
    EXPECT_EQ(h.Pop(QString()), -1);
    EXPECT_EQ(h.Count, 0);
    h.Push("s0", 0);
    h.Push("s1", 1);
    h.Push("s2", 2);
    EXPECT_EQ(h.Pop("s2"), 1);  // s2 is what is shown: goes on to s1
    EXPECT_EQ(h.CurrentText, QStringLiteral("s1"));
    EXPECT_EQ(h.CurrentPos, 1);
    EXPECT_EQ(h.Pop("typed"), 0);
    EXPECT_EQ(h.CurrentText, QStringLiteral("s0"));
}

TEST(EditHistory, UndoRedoWalkTheSnapshots) {
    Editor e;
    e.Command("one");
    e.Command("one two");
    e.Command("one two three");
    UndoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("one two"));
    EXPECT_EQ(e.text.SelStart(), 7);
    UndoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("one"));
    RedoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("one two"));
    RedoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("one two three"));
    RedoEdit(e.text, e.history);  // nothing beyond the newest
    EXPECT_EQ(e.text.Text(), QStringLiteral("one two three"));
    // Undo all the way, then further undos change nothing.
    for (int i = 0; i < 6; ++i) UndoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QString());
}

TEST(EditHistory, UndoAtStartUpAndTypedTextComesBackByRedo) {
    Editor fresh;
    UndoEdit(fresh.text, fresh.history);
    EXPECT_EQ(fresh.text.Text(), QString());
    EXPECT_EQ(fresh.history.Count, 0);
    UndoEdit(fresh.text, fresh.history);
    EXPECT_EQ(fresh.text.Text(), QString());
    RedoEdit(fresh.text, fresh.history);  // nothing was typed: nothing to redo
    EXPECT_EQ(fresh.text.Text(), QString());

    Editor typed;
    typed.text.ReplaceSelection("typed");  // typing records nothing
    UndoEdit(typed.text, typed.history);
    EXPECT_EQ(typed.text.Text(), QString());
    RedoEdit(typed.text, typed.history);
    EXPECT_EQ(typed.text.Text(), QStringLiteral("typed"));
    EXPECT_EQ(typed.text.SelStart(), 5);
    RedoEdit(typed.text, typed.history);  // the typed text is the newest
    EXPECT_EQ(typed.text.Text(), QStringLiteral("typed"));
    UndoEdit(typed.text, typed.history);
    EXPECT_EQ(typed.text.Text(), QString());
}

TEST(EditHistory, TypingAfterCommandsAndAfterUndoIsKept) {
    // Typing after a command: undo goes to the command's result, redo to the typing.
    Editor e;
    e.Command("a");
    e.text.ReplaceSelection(" typed");
    UndoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("a"));
    UndoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QString());
    RedoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("a"));
    RedoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("a typed"));

    // Typing after an undo keeps the snapshot it started from and replaces the redo range
    // above it, as a new command would.
    Editor u;
    u.Command("one");
    u.Command("one two");
    UndoEdit(u.text, u.history);
    ASSERT_EQ(u.text.Text(), QStringLiteral("one"));
    u.text.SetCaret(3);
    u.text.ReplaceSelection("!");
    UndoEdit(u.text, u.history);
    EXPECT_EQ(u.text.Text(), QStringLiteral("one"));
    RedoEdit(u.text, u.history);
    EXPECT_EQ(u.text.Text(), QStringLiteral("one!"));
    RedoEdit(u.text, u.history);  // "one two" is cut off
    EXPECT_EQ(u.text.Text(), QStringLiteral("one!"));
    UndoEdit(u.text, u.history);
    UndoEdit(u.text, u.history);
    EXPECT_EQ(u.text.Text(), QString());
}

TEST(EditHistory, PushAfterUndoCutsRedo) {
    Editor e;
    e.Command("a");
    e.Command("b");
    UndoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("a"));
    e.Command("c");
    RedoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("c"));
    UndoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("a"));
    RedoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("c"));
}

TEST(EditHistory, TypedTextIsRedoableWithAFullHistory) {
    Editor e;
    for (int i = 0; i < 30; ++i) e.Command(QString::number(i));
    ASSERT_EQ(e.history.Count, 20);
    e.text.SetText("29 typed");
    UndoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("29"));
    EXPECT_EQ(e.history.RedoLimit, 20);  // the oldest snapshot made room for the typing
    RedoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("29 typed"));
    UndoEdit(e.text, e.history);
    UndoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("28"));
    RedoEdit(e.text, e.history);
    RedoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("29 typed"));
    // Nineteen undos reach the oldest snapshot still held ("11"), and no further.
    for (int i = 0; i < 25; ++i) UndoEdit(e.text, e.history);
    EXPECT_EQ(e.text.Text(), QStringLiteral("11"));
}
