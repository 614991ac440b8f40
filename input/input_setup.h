// Pedals and global keys in the running program: reads the saved choices, starts the pedal
// manager (udev monitor, the pedals plugged in now) and the global keys, runs the commands of
// the registry from both, and puts "Педаль…" into a settings menu. Global keys are chosen per
// command in the keys dialog, through SetGlobalKey.
// Made after the commands, destroyed before them (nothing stays held).
//
// User-interface thread only.
#pragma once

#include <QKeySequence>
#include <QPointer>
#include <QString>
#include <functional>
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

class InputSetup {
  public:
    struct Options {
        QString settingsPath = InputSettingsPath();
        bool findPedals = true;  // off: no device is looked for (tests of other parts)
    };
    InputSetup(commands::Registry& registry, Options options);
    ~InputSetup();

    // Adds "Педаль…" to `menu`; its window belongs to `owner`.
    void AddMenuItems(QMenu* menu, QWidget* owner);

    PedalManager& Pedals() { return *manager_; }
    PedalActions& Actions() { return *actions_; }
    // Gives `command` a global key (empty: none), saved when taken.
    BindResult SetGlobalKey(const QString& command, QKeyCombination key);
    QKeySequence GlobalKey(const QString& command) const;
    QString GlobalWay() const;
    // Told when the desktop refuses a key after SetGlobalKey has returned (the portal).
    void OnLateRefusal(std::function<void(const QString& message)> sink) {
        lateRefusal_ = std::move(sink);
    }

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
    std::function<void(const QString&)> lateRefusal_;
};

// The way the desktop offers: the portal on Wayland, X key grabs on X11; nullptr otherwise.
std::unique_ptr<GlobalKeys> MakeGlobalKeys();

}  // namespace input
