// The editor's bounded undo/redo history: up to 20 snapshots of the whole text with the
// caret offset (CR LF counted as two) of each. Commands that change the text as a whole
// record a snapshot right before and right after their change.
// User-interface thread only.
#pragma once

#include <QString>

class TEditHistory {
  public:
    static constexpr int kCapacity = 20;

    TEditHistory() = default;

    // Records a snapshot (skipped when the text equals the newest one) and cuts off redo.
    void Push(const QString& text, int pos);
    // Records a snapshot without touching the redo range; only undo uses it.
    void PushKeepRedo(const QString& text, int pos);
    // Undo's first step when text was typed since the snapshot shown (the newest after a
    // command, the one stepped to after an undo or redo): the typed text becomes a snapshot
    // right after that one and cuts off redo beyond it, so that one redo brings it back.
    // False when the text equals the snapshot shown (nothing recorded).
    bool RecordTyping(const QString& text, int pos);
    // Steps back, skipping a snapshot equal to `text`; returns the new Count, or -1 when
    // nothing is held. The snapshot stepped to is in CurrentText / CurrentPos.
    int Pop(const QString& text);
    // Steps forward after an undo; false when there is nothing to redo. The snapshot is
    // in CurrentText / CurrentPos.
    bool StepRedo();

    int CurrentPos = 0;
    // After a Push: the number of snapshots held; after undo or redo: the slot shown.
    int Count = 0;
    // Count after the last Push.
    int RedoLimit = 0;
    int Positions[kCapacity] = {};
    QString Texts[kCapacity];
    QString CurrentText;

  private:
    // Steps 1 and 2 of both pushes; false when the text equals the newest snapshot.
    bool MakeRoom(const QString& text);
    void Take(int slot);
};
