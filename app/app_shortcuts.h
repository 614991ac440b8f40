// The keys of the commands that act in every window of the program (F1 … F6 and the speed
// keys by default; whatever the typist gives them): a key press anywhere reaches its command
// first, before the active window's own controls; it is left alone while a modal dialog is open.
// A hold command is pressed with its key and released with it (or when the program loses the
// keyboard). User-interface thread only.
#pragma once

#include <QHash>
#include <QKeyCombination>
#include <QObject>
#include <QString>

namespace commands {
class Registry;
}

class ApplicationShortcuts : public QObject {
    Q_OBJECT
  public:
    explicit ApplicationShortcuts(commands::Registry& commands, QObject* parent = nullptr);
    ~ApplicationShortcuts() override;

    // Whether `key` is by default one of the keys taken here from every window (the guide's
    // keys table marks them so).
    static bool IsApplicationKey(QKeyCombination key);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ReleaseAll();

    commands::Registry& commands_;
    QHash<int, QString> held_;  // key code → hold command pressed with it
};
