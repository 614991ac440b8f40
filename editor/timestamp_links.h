// Timestamps in the editor window: Ctrl+T writes the player's position at the caret,
// Ctrl+J (or Ctrl+click on one) brings the player to the timestamp under the caret (or the
// mouse), and the mouse turns into a hand over a timestamp.
// User-interface thread only.
#pragma once

#include <QObject>
#include <QPoint>
#include <functional>
#include <optional>

#include "editor/timestamps.h"

class EditorText;
class QPlainTextEdit;
class TEditHistory;

class TimestampLinks : public QObject {
    Q_OBJECT
  public:
    // `note` shows a short message in the window's status bar.
    TimestampLinks(QPlainTextEdit* memo, EditorText& text, TEditHistory& history,
                   std::function<void(const QString&)> note, QObject* parent = nullptr);

    PlayerLink Player;
    // How Ctrl+T writes a timestamp, and the tape offset that reading takes off again.
    TimestampStyle Style;

    // Ctrl+T: false (and a note) when no recording is open.
    bool InsertAtCaret();
    // Ctrl+J: false (and a note) when the caret is on no timestamp or nothing plays.
    bool PlayAtCaret();
    // The timestamp under a point of the text control's viewport.
    std::optional<TimestampSpan> TimestampUnder(QPoint viewportPos) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool PlayFrom(double tapeSeconds);

    QPlainTextEdit* memo_;
    EditorText& text_;
    TEditHistory& history_;
    std::function<void(const QString&)> note_;
    bool overLink_ = false;
    bool swallowRelease_ = false;
};
