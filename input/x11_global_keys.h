// Global keys through the X server's key grabs, on a connection of our own to $DISPLAY (so it
// works whatever Qt's platform is). Each key is grabbed with every combination of Caps Lock
// and Num Lock, so that it works whichever of them is on; a key another client has grabbed
// (BadAccess) is refused. Auto-repeat's release-press pairs are swallowed: a held key is one
// press and one release.
#pragma once

#include <QKeyCombination>
#include <QString>
#include <cstdint>
#include <vector>

#include "input/global_keys.h"

struct xcb_connection_t;
class QSocketNotifier;

namespace input {

class X11GlobalKeys : public GlobalKeys {
    Q_OBJECT
  public:
    // `display`: an X display name; empty = $DISPLAY.
    explicit X11GlobalKeys(const QString& display = {}, QObject* parent = nullptr);
    ~X11GlobalKeys() override;

    bool Available() const override;
    QString Description() const override;
    BindResult Bind(const QString& command, QKeyCombination key) override;
    void Unbind(const QString& command) override;

    // Handles what the X server has sent (the socket notifier calls it by itself).
    void ProcessEvents();

  private:
    struct Grab {
        QString command;
        std::uint8_t keycode;
        std::uint16_t modifiers;
        bool down = false;
    };
    std::uint8_t KeycodeOf(std::uint32_t keysym);
    std::uint16_t NumLockMask();
    void Ungrab(std::uint8_t keycode, std::uint16_t modifiers);

    xcb_connection_t* connection_ = nullptr;
    std::uint32_t root_ = 0;
    std::uint16_t numLock_ = 0;
    std::vector<Grab> grabs_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace input
