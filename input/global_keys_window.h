// "Глобальные клавиши": a key per command that works while another program has the focus,
// none by default. Says which way the desktop offers (X11 key grabs, the desktop portal) or
// that there is none and what to do instead; a refused key is named in the window itself.
#pragma once

#include <QKeySequence>
#include <QMap>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "input/global_keys.h"
#include "input/pedal_window.h"

class QKeySequenceEdit;
class QLabel;
class QTreeWidget;

namespace input {

class GlobalKeysWindow : public QWidget {
    Q_OBJECT
  public:
    struct Hooks {
        // Gives `command` the key (an empty key takes it away); the message when refused.
        std::function<BindResult(const QString& command, const QKeySequence& key)> bind;
        std::function<QString()> way;                  // the way in use, or why there is none
        std::function<QMap<QString, QString>()> keys;  // command → key text now in force
    };
    GlobalKeysWindow(std::vector<CommandChoice> commands, Hooks hooks, QWidget* parent = nullptr);
    void Refresh();
    void ShowRefusal(const QString& message);

  private:
    void Assign(const QKeySequence& key);

    std::vector<CommandChoice> commands_;
    Hooks hooks_;
    QTreeWidget* list_;
    QKeySequenceEdit* edit_;
    QLabel* way_;
    QLabel* message_;
};

}  // namespace input
