// What the user chose for pedals and global keys, kept in
// $XDG_CONFIG_HOME/nuvtolvek/input.conf: one "name=value" line each, written whole and
// atomically. Only what differs from the defaults matters; unknown or damaged lines are
// skipped, so an older or newer program reads what it understands. No widgets, any thread.
//
//   pedal.0=player.rewind hold      (pedals 0 … 3: left, middle, right, fourth)
//   pedal.3=                        (the pedal does nothing)
//   grab-keyboard-pedals=1
//   global.player.pause=Ctrl+F3     (a command's global key, Qt's portable key text)
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include "input/pedal_actions.h"

namespace input {

struct InputSettings {
    PedalBindings pedals = DefaultPedalBindings();
    bool grabKeyboardPedals = true;
    QMap<QString, QString> globalKeys;  // command id → key text; none by default
    bool operator==(const InputSettings&) const = default;
};

QByteArray WriteInputSettings(const InputSettings& settings);
InputSettings ReadInputSettings(const QByteArray& text);

QString InputSettingsPath();
InputSettings LoadInputSettings(const QString& path = InputSettingsPath());
// False when the file could not be written (the old one stays).
bool SaveInputSettings(const InputSettings& settings, const QString& path = InputSettingsPath());

}  // namespace input
