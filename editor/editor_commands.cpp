#include "editor/editor_commands.h"

#include "editor/edit_history.h"
#include "editor/editor_text.h"
#include "editor/text_transforms.h"

void RecordSnapshot(const EditorText& text, TEditHistory& history) {
    history.Push(text.Text(), text.SelStart());
}

void UndoEdit(EditorText& text, TEditHistory& history) {
    const QString current = text.Text();
    // Typing since the snapshot shown is kept as a snapshot of its own, so redo can bring it
    // back; otherwise the shown text is recorded without touching the redo range.
    if (!history.RecordTyping(current, text.SelStart()))
        history.PushKeepRedo(current, text.SelStart());
    if (history.Pop(current) < 0) return;
    text.SetText(history.CurrentText);
    text.SetCaret(history.CurrentPos);
}

void RedoEdit(EditorText& text, TEditHistory& history) {
    if (!history.StepRedo()) return;
    text.SetText(history.CurrentText);
    text.SetCaret(history.CurrentPos);
}

QString CutSelection(EditorText& text, TEditHistory& history) {
    RecordSnapshot(text, history);
    const QString cut = text.SelText();
    text.ReplaceSelection(QString());
    RecordSnapshot(text, history);
    return cut;
}

void PasteText(EditorText& text, TEditHistory& history, const QString& clip) {
    RecordSnapshot(text, history);
    text.ReplaceSelection(clip);
    RecordSnapshot(text, history);
}

QString TurnMarker(const QString& name) {
    return QStringLiteral("\r\n[") + name + QStringLiteral("]\r\n");
}

void InsertTurnMarker(EditorText& text, TEditHistory& history, const QString& name) {
    RecordSnapshot(text, history);
    text.ReplaceSelection(TurnMarker(name));
    RecordSnapshot(text, history);
}

int ParticipantForKey(int key, Qt::KeyboardModifiers modifiers, quint32 scanCode) {
    if (modifiers & Qt::KeypadModifier) return 0;
    auto participant = [](int digit) { return digit == 0 ? 10 : digit; };
    // X11 and evdev key codes of the main row: 10 … 18 are 1 … 9, 19 is 0.
    if (scanCode != 0) {
        if (scanCode >= 10 && scanCode <= 19) return scanCode == 19 ? 10 : int(scanCode) - 9;
        return 0;
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return participant(key - Qt::Key_0);
    // Without a scan code, Shift shows as the symbol on the digit key.
    static const char16_t us[] = u")!@#$%^&*(";
    static const char16_t ru[] = u")!\"№;%:?*(";
    for (int digit = 0; digit < 10; ++digit) {
        if (key == us[digit] || key == ru[digit]) return participant(digit);
    }
    return 0;
}

CtrlKeyRoute RouteCtrlKey(int key, Qt::KeyboardModifiers modifiers, quint32 scanCode) {
    if (!(modifiers & Qt::ControlModifier)) return {};
    // The Cyrillic letter on the same key counts as the Latin one.
    if (key == Qt::Key_X || key == 0x0427) return {CtrlKeyAction::Cut};    // Ч
    if (key == Qt::Key_V || key == 0x041C) return {CtrlKeyAction::Paste};  // М
    if (key == Qt::Key_C || key == 0x0421) return {CtrlKeyAction::Copy};   // С
    if (const int participant = ParticipantForKey(key, modifiers, scanCode))
        return {CtrlKeyAction::Participant, participant};
    if ((modifiers & Qt::KeypadModifier) && key >= Qt::Key_0 && key <= Qt::Key_9)
        return {CtrlKeyAction::Swallow};
    return {};
}

void TransformSelection(EditorText& text, TEditHistory& history,
                        QString (*transform)(const QString&)) {
    if (text.SelLength() == 0) SelectWordBeforeCaret(text);
    RecordSnapshot(text, history);
    text.ReplaceSelection(transform(text.SelText()));
    RecordSnapshot(text, history);
}

QStringList StatusPanelTexts(const CaretPlace& place, int selStart, int textLength) {
    return {QStringLiteral("Строка: %1 из %2").arg(place.line + 1).arg(place.lineCount),
            QStringLiteral("Колонка: %1 из %2").arg(place.column + 1).arg(place.lineLength + 1),
            QStringLiteral("Символ: %1 из %2").arg(selStart).arg(textLength)};
}

QString MarkWonNote(textfiles::Encoding used) {
    return QStringLiteral("Открыто в кодировке %1: так сказано меткой в начале файла")
        .arg(textfiles::EncodingName(used));
}

textfiles::Encoding OpenTextInto(EditorText& text, TEditHistory& history, const QString& path,
                                 textfiles::Encoding chosen) {
    RecordSnapshot(text, history);
    const textfiles::DetectedText read = textfiles::ReadTextFileChosen(path, chosen);
    text.SetText(read.text);
    RecordSnapshot(text, history);
    return read.encoding;
}
