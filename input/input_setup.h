// Pedals and global keys in the running program: reads the saved choices, starts the pedal
// manager (udev monitor, the pedals plugged in now) and the global keys, runs the commands of
// the registry from both, and puts "Педаль…" and "Глобальные клавиши…" into a settings menu.
// Made after the commands, destroyed before them (nothing stays held).
//
// User-interface thread only.
#pragma once

#include <QPointer>
#include <QString>
#include <memory>

#include "input/global_keys.h"
#include "input/input_settings.h"

class QMenu;
class QWidget;

namespace commands {
class Registry;
}

namespace input {

class PedalActions;
class PedalManager;
class PedalWindow;
class GlobalKeysWindow;

class InputSetup {
  public:
    struct Options {
        QString settingsPath = InputSettingsPath();
        bool findPedals = true;  // off: no device is looked for (tests of other parts)
    };
    InputSetup(commands::Registry& registry, Options options);
    ~InputSetup();

    // Adds the two items to `menu`; their windows belong to `owner`.
    void AddMenuItems(QMenu* menu, QWidget* owner);

    PedalManager& Pedals() { return *manager_; }
    PedalActions& Actions() { return *actions_; }
    // Gives `command` a global key (empty: none), saved when taken.
    BindResult SetGlobalKey(const QString& command, QKeyCombination key);
    QString GlobalWay() const;

  private:
    void Press(const std::string& id);
    void Release(const std::string& id);
    GlobalKeys* Way();
    void Save();

    commands::Registry& registry_;
    Options options_;
    InputSettings settings_;
    std::unique_ptr<PedalActions> actions_;
    std::unique_ptr<PedalManager> manager_;
    std::unique_ptr<GlobalKeys> globalKeys_;
    bool triedGlobalKeys_ = false;
    QPointer<PedalWindow> pedalWindow_;
    QPointer<GlobalKeysWindow> keysWindow_;
};

// The way the desktop offers: the portal on Wayland, X key grabs on X11; nullptr otherwise.
std::unique_ptr<GlobalKeys> MakeGlobalKeys();

}  // namespace input
