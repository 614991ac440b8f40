#include "editor/timestamps.h"

#include <gtest/gtest.h>

#include "editor/edit_history.h"
#include "editor/editor_commands.h"
#include "editor/editor_text.h"

namespace {

TEST(TimestampInsertion, InsertionReplacesTheSelectionAndOneUndoTakesItBack) {
    PlainEditorText text(QStringLiteral("первая строка\r\nвторая"));
    TEditHistory history;
    RecordSnapshot(text, history);
    text.SetSelection(7, 6);  // "строка"
    InsertTimestamp(text, history, 3 * 3600 + 5 * 60);
    EXPECT_EQ(text.Text(), QStringLiteral("первая [03:05:00]\r\nвторая"));
    EXPECT_EQ(text.SelStart(), 17);
    UndoEdit(text, history);
    EXPECT_EQ(text.Text(), QStringLiteral("первая строка\r\nвторая"));
    RedoEdit(text, history);
    EXPECT_EQ(text.Text(), QStringLiteral("первая [03:05:00]\r\nвторая"));
}

// Written at the caret between spaces, and found again under the caret at either end with
// the tape offset taken off. Every style's own text is checked with the timestamp functions.
TEST(TimestampInsertion, WrittenAtTheCaretAndFoundAgainWithTheOffset) {
    const struct {
        TimestampFormat format;
        double offset;
        const char* written;
        double found;  // the recording position read back
    } cases[] = {
        {TimestampFormat::Seconds, 0.0, "[00:01:05]", 65.0},
        {TimestampFormat::Hundredths, 3600.0, "#01:01:05.37#", 65.37},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        const TimestampStyle style{c.format, c.offset};
        PlainEditorText text(QStringLiteral("а  б"));
        TEditHistory history;
        RecordSnapshot(text, history);
        text.SetSelection(2, 0);
        InsertTimestamp(text, history, 65.379, style);
        const QString written = QString::fromUtf8(c.written);
        EXPECT_EQ(text.Text(), QStringLiteral("а ") + written + QStringLiteral(" б"));
        for (qsizetype at : {qsizetype(2), qsizetype(2 + written.size())}) {
            const auto span = TimestampAt(text.Text(), at);
            ASSERT_TRUE(span.has_value());
            EXPECT_EQ(span->length, written.size());
            EXPECT_NEAR(RecordingSeconds(span->seconds, style), c.found, 1e-9);
        }
    }
}

}  // namespace
