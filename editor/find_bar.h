// The editor's find and replace bar (Ctrl+F, Ctrl+H): a small bar under the text, not a
// dialog, so the typist keeps typing in the text while it is open. Enter finds the next
// match, Shift+Enter the previous one, Escape closes the bar; every match in view is
// highlighted.
// User-interface thread only.
#pragma once

#include <QToolBar>

#include "editor/find_replace.h"

class EditorText;
class MemoMarks;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class TEditHistory;

class FindBar : public QToolBar {
    Q_OBJECT
  public:
    FindBar(QPlainTextEdit* memo, EditorText& text, TEditHistory& history, MemoMarks& marks,
            QWidget* parent = nullptr);

    // Opens the bar for finding only or with the replace row; a one-line selection becomes
    // the text to find.
    void Open(bool withReplace);
    void Close();

    bool FindNext();
    bool FindPrevious();
    bool ReplaceOne();
    int ReplaceAll();
    // Redraws the highlights of the matches on screen.
    void RefreshHighlights();

    QLineEdit* FindEdit = nullptr;
    QLineEdit* ReplaceEdit = nullptr;
    QCheckBox* CaseBox = nullptr;
    QLabel* ResultLabel = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool Find(bool backward);
    FindOptions Options(bool backward) const;
    void ScheduleHighlights();

    QPlainTextEdit* memo_;
    EditorText& text_;
    TEditHistory& history_;
    MemoMarks& marks_;
    QLabel* replaceLabel_ = nullptr;
    QTimer* highlightTimer_ = nullptr;
};
