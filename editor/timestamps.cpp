#include "editor/timestamps.h"

#include "editor/edit_history.h"
#include "editor/editor_commands.h"
#include "editor/editor_text.h"

void InsertTimestamp(EditorText& text, TEditHistory& history, double seconds,
                     const TimestampStyle& style) {
    RecordSnapshot(text, history);
    text.ReplaceSelection(FormatTimestamp(seconds, style));
    RecordSnapshot(text, history);
}
