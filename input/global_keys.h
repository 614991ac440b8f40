// Keys that run a command while another program has the focus: chosen per command, none by
// default. Two ways, one interface: the X server's key grabs (X11) and the desktop portal's
// GlobalShortcuts (Wayland desktops that offer it). A key goes down → `Pressed(command)`,
// comes up → `Released(command)`, so hold commands work where the desktop reports releases.
//
// User-interface thread only.
#pragma once

#include <QKeyCombination>
#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>

namespace input {

struct BindResult {
    bool ok = false;
    QString message;  // why not, for the key window; empty when bound
};

class GlobalKeys : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    // Whether this way works on this desktop at all.
    virtual bool Available() const = 0;
    // What the key window says about this way ("X11", or why there is none).
    virtual QString Description() const = 0;
    // Gives `command` the key `key` (replacing its earlier one). A key another program holds
    // is refused with a message that names the key.
    virtual BindResult Bind(const QString& command, QKeyCombination key) = 0;
    virtual void Unbind(const QString& command) = 0;

  signals:
    void Pressed(const QString& command);
    void Released(const QString& command);
    // A binding the desktop refused later (the portal answers asynchronously).
    void Refused(const QString& command, const QString& message);
};

// The X keysym of a Qt key and the key's name as the desktop's shortcut texts spell it
// ("F3", "a", "XF86AudioPlay"); nothing for keys that cannot be taken globally.
struct KeyName {
    std::uint32_t keysym;
    const char* name;
};
std::optional<KeyName> GlobalKeyName(Qt::Key key);
// "Ctrl+Shift+F3", for messages.
QString GlobalKeyText(QKeyCombination key);
// "CTRL+SHIFT+F3", the portal's preferred-trigger text.
QString PortalTriggerText(QKeyCombination key);

}  // namespace input
