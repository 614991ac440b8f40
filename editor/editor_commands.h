// The editor's commands as operations on its text and history, without any window: the
// window's handlers forward here. Every command that changes the text as a whole records a
// snapshot right before and right after its change.
// User-interface thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <Qt>

#include "textfiles/textfiles.h"

class EditorText;
class TEditHistory;

// Push of the current text and selection start.
void RecordSnapshot(const EditorText& text, TEditHistory& history);

// Undo: records typing since the snapshot shown as a snapshot of its own (one redo brings it
// back), then steps back; nothing happens at the oldest snapshot.
void UndoEdit(EditorText& text, TEditHistory& history);
// Redo: steps forward up to the newest snapshot recorded by a command.
void RedoEdit(EditorText& text, TEditHistory& history);

// Cut: removes the selection between two snapshots and returns it for the clipboard.
QString CutSelection(EditorText& text, TEditHistory& history);
// Paste: replaces the selection with `clip` between two snapshots.
void PasteText(EditorText& text, TEditHistory& history, const QString& clip);

// The turn marker for a participant: CR LF, "[", the name, "]", CR LF.
QString TurnMarker(const QString& name);
// Replaces the selection with the turn marker between two snapshots.
void InsertTurnMarker(EditorText& text, TEditHistory& history, const QString& name);

// The participant (1 … 10) that Ctrl with a key of the main digit row selects, or 0.
// `key` is the key code, `scanCode` the native scan code (0 when unknown). The digit row is
// recognised by scan code where the platform gives one, so that Shift does not matter;
// otherwise by the digit or by the symbol Shift gives on it (US and Russian layouts).
// Keypad digits select nobody.
int ParticipantForKey(int key, Qt::KeyboardModifiers modifiers, quint32 scanCode);

// What a key with Ctrl held does in the text, once the platform's clipboard and undo keys and
// the participants' own keys have had it: Ctrl with Shift or Alt and X, V or C (Ч, М, С in
// the Russian layout) cuts, pastes or copies (plain Ctrl+X/V/C are the menu's shortcuts and
// never arrive here); Ctrl with a digit of the main row inserts that participant's turn
// marker; Ctrl with a keypad digit inserts nothing at all; anything else is the text's.
enum class CtrlKeyAction { Text, Cut, Paste, Copy, Participant, Swallow };
struct CtrlKeyRoute {
    CtrlKeyAction action = CtrlKeyAction::Text;
    int participant = 0;  // 1 … 10 for Participant
    bool operator==(const CtrlKeyRoute&) const = default;
};
CtrlKeyRoute RouteCtrlKey(int key, Qt::KeyboardModifiers modifiers, quint32 scanCode);

// F11 (InvertCase) and F12 (SwapLayout): transforms the selection, or the word before the
// caret when nothing is selected, between two snapshots.
void TransformSelection(EditorText& text, TEditHistory& history,
                        QString (*transform)(const QString&));

// Where the caret is, in display lines of the word-wrapped text control (zero-based).
struct CaretPlace {
    int line = 0;        // display line of the selection's end
    int lineCount = 0;   // display lines, not counting an empty last line
    int column = 0;      // column of the selection's end in its display line
    int lineLength = 0;  // length of that display line
};
// The three status panels: line, column, character.
QStringList StatusPanelTexts(const CaretPlace& place, int selStart, int textLength);

// The status bar's word when a file's byte-order mark overruled the encoding chosen in the
// open dialog.
QString MarkWonNote(textfiles::Encoding used);

// "Открыть": the file at `path` read in the encoding `chosen` (a byte-order mark wins) in
// place of the whole text, between two snapshots, so one undo brings the old text back.
// Returns the encoding read. A file error is thrown after the first snapshot, the text as
// it was.
textfiles::Encoding OpenTextInto(EditorText& text, TEditHistory& history, const QString& path,
                                 textfiles::Encoding chosen);
