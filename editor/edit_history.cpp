#include "editor/edit_history.h"

bool TEditHistory::MakeRoom(const QString& text) {
    if (Count > 0 && text == Texts[Count - 1]) return false;
    if (Count >= kCapacity) {
        for (int i = 1; i < kCapacity; ++i) {
            Texts[i - 1] = std::move(Texts[i]);
            Positions[i - 1] = Positions[i];
        }
        Count = kCapacity - 1;
        // The slots moved down by one; the redo bound moves with them, so that text typed
        // after the newest snapshot never becomes redoable once the history is full.
        if (RedoLimit > 0) --RedoLimit;
    }
    return true;
}

void TEditHistory::Push(const QString& text, int pos) {
    if (!MakeRoom(text)) return;
    Texts[Count] = text;
    Positions[Count] = pos;
    ++Count;
    RedoLimit = Count;
}

void TEditHistory::PushKeepRedo(const QString& text, int pos) {
    if (!MakeRoom(text)) return;
    Texts[Count] = text;
    Positions[Count] = pos;
    ++Count;
}

bool TEditHistory::RecordTyping(const QString& text, int pos) {
    // Right after a Push, Count equals RedoLimit and the newest slot is shown; after an undo
    // or redo, Count is the slot shown and stays below RedoLimit.
    const int shown = Count == RedoLimit ? Count - 1 : Count;
    if (shown < 0 || shown >= kCapacity || text == Texts[shown]) return false;
    Count = shown + 1;
    Push(text, pos);
    return true;
}

void TEditHistory::Take(int slot) {
    CurrentText = Texts[slot];
    CurrentPos = Positions[slot];
}

int TEditHistory::Pop(const QString& text) {
    if (Count == 0) return -1;
    Take(Count - 1);
    --Count;
    if (CurrentText == text && Count > 0) {
        Take(Count - 1);
        --Count;
    }
    return Count;
}

bool TEditHistory::StepRedo() {
    if (Count >= RedoLimit - 1) return false;
    ++Count;
    Take(Count);
    return true;
}
