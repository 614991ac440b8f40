// The player's keys F1 ... F6, honoured in every window of the program: help, back,
// play, pause, next, editor; and the speed keys Alt+Up (faster), Alt+Down (slower) and
// Alt+Home (normal speed). A key press anywhere reaches the player first, before the
// active window's own controls; it is left alone while a modal dialog is open.
// User-interface thread only.
#pragma once

#include <QObject>

class TForm1;

class ApplicationShortcuts : public QObject {
    Q_OBJECT
  public:
    explicit ApplicationShortcuts(TForm1* player, QObject* parent = nullptr);

    // Runs the command bound to `key` (no modifiers) and tells whether there is one.
    bool Run(int key);
    // Runs the speed command bound to Alt + `key` and tells whether there is one.
    bool RunSpeedKey(int key);
    // Whether `key` is one of the keys taken here from every window (the guide's keys
    // table marks them so).
    static bool IsApplicationKey(QKeyCombination key);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    TForm1* player_;
};
