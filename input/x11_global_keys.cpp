#include "input/x11_global_keys.h"

#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cstdlib>
#include <memory>

namespace input {
namespace {

constexpr std::uint16_t kRelevant =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

std::uint16_t XModifiers(Qt::KeyboardModifiers mods) {
    std::uint16_t x = 0;
    if (mods & Qt::ShiftModifier) x |= XCB_MOD_MASK_SHIFT;
    if (mods & Qt::ControlModifier) x |= XCB_MOD_MASK_CONTROL;
    if (mods & Qt::AltModifier) x |= XCB_MOD_MASK_1;
    if (mods & Qt::MetaModifier) x |= XCB_MOD_MASK_4;
    return x;
}

}  // namespace

X11GlobalKeys::X11GlobalKeys(const QString& display, QObject* parent) : GlobalKeys(parent) {
    const QByteArray name = display.toLocal8Bit();
    if (display.isEmpty() && !std::getenv("DISPLAY")) return;
    int screenNumber = 0;
    connection_ = xcb_connect(display.isEmpty() ? nullptr : name.constData(), &screenNumber);
    if (xcb_connection_has_error(connection_)) return;
    auto it = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) return;
    root_ = it.data->root;
    numLock_ = NumLockMask();
    notifier_ =
        new QSocketNotifier(xcb_get_file_descriptor(connection_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &X11GlobalKeys::ProcessEvents);
}

X11GlobalKeys::~X11GlobalKeys() {
    if (connection_) xcb_disconnect(connection_);  // the server drops our grabs with us
}

bool X11GlobalKeys::Available() const {
    return connection_ && !xcb_connection_has_error(connection_) && root_ != 0;
}

QString X11GlobalKeys::Description() const {
    return Available() ? QStringLiteral("X11") : QStringLiteral("нет X-сервера");
}

std::uint8_t X11GlobalKeys::KeycodeOf(std::uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const int min = setup->min_keycode, max = setup->max_keycode;
    std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> mapping(
        xcb_get_keyboard_mapping_reply(
            connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, max - min + 1),
            nullptr),
        &std::free);
    if (!mapping) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int per = mapping->keysyms_per_keycode;
    for (int code = min; code <= max; ++code)
        for (int i = 0; i < per; ++i)
            if (syms[(code - min) * per + i] == keysym) return static_cast<std::uint8_t>(code);
    return 0;
}

std::uint16_t X11GlobalKeys::NumLockMask() {
    const std::uint8_t numLock = KeycodeOf(XK_Num_Lock);
    if (numLock == 0) return 0;
    std::unique_ptr<xcb_get_modifier_mapping_reply_t, decltype(&std::free)> mapping(
        xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr),
        &std::free);
    if (!mapping) return 0;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int per = mapping->keycodes_per_modifier;
    for (int mod = 0; mod < 8; ++mod)
        for (int i = 0; i < per; ++i)
            if (codes[mod * per + i] == numLock) return static_cast<std::uint16_t>(1u << mod);
    return 0;
}

void X11GlobalKeys::Ungrab(std::uint8_t keycode, std::uint16_t modifiers) {
    for (std::uint16_t lock : {std::uint16_t(0), std::uint16_t(XCB_MOD_MASK_LOCK)})
        for (std::uint16_t num : {std::uint16_t(0), numLock_})
            xcb_ungrab_key(connection_, keycode, root_, modifiers | lock | num);
    // A round trip: the key is free for others once this returns.
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

BindResult X11GlobalKeys::Bind(const QString& command, QKeyCombination key) {
    Unbind(command);
    if (!Available())
        return {false, QStringLiteral("Нет X-сервера: глобальные клавиши недоступны")};
    const auto name = GlobalKeyName(key.key());
    const QString text = GlobalKeyText(key);
    if (!name) return {false, QStringLiteral("Эту клавишу нельзя сделать глобальной")};
    const std::uint8_t keycode = KeycodeOf(name->keysym);
    if (keycode == 0) return {false, QStringLiteral("Клавиши %1 нет на этой клавиатуре").arg(text)};
    const std::uint16_t modifiers = XModifiers(key.keyboardModifiers());
    for (const Grab& grab : grabs_)
        if (grab.keycode == keycode && grab.modifiers == modifiers)
            return {false, QStringLiteral("Клавиша %1 уже назначена другой команде").arg(text)};
    // Every Caps Lock / Num Lock combination; all or none.
    std::vector<xcb_void_cookie_t> cookies;
    std::vector<std::uint16_t> variants = {0, XCB_MOD_MASK_LOCK};
    if (numLock_)
        variants.insert(variants.end(), {numLock_, std::uint16_t(numLock_ | XCB_MOD_MASK_LOCK)});
    for (std::uint16_t variant : variants)
        cookies.push_back(xcb_grab_key_checked(connection_, 1, root_, modifiers | variant, keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    bool refused = false;
    for (const auto& cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    if (refused) {
        Ungrab(keycode, modifiers);
        return {false, QStringLiteral("Клавишу %1 уже заняла другая программа").arg(text)};
    }
    grabs_.push_back({command, keycode, modifiers});
    return {true, {}};
}

void X11GlobalKeys::Unbind(const QString& command) {
    auto it = std::find_if(grabs_.begin(), grabs_.end(),
                           [&](const Grab& g) { return g.command == command; });
    if (it == grabs_.end()) return;
    const Grab grab = *it;
    grabs_.erase(it);
    if (Available()) Ungrab(grab.keycode, grab.modifiers);
    if (grab.down) emit Released(grab.command);
}

void X11GlobalKeys::ProcessEvents() {
    if (!Available()) return;
    std::vector<std::unique_ptr<xcb_generic_event_t, decltype(&std::free)>> events;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_))
        events.emplace_back(event, &std::free);
    std::vector<std::pair<QString, bool>> changes;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const std::uint8_t type = events[i]->response_type & 0x7f;
        if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) continue;
        const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(events[i].get());
        // Auto-repeat: a release and a press of the same key at the same moment.
        if (type == XCB_KEY_RELEASE && i + 1 < events.size() &&
            (events[i + 1]->response_type & 0x7f) == XCB_KEY_PRESS) {
            const auto* next = reinterpret_cast<const xcb_key_press_event_t*>(events[i + 1].get());
            if (next->detail == key->detail && next->time == key->time) {
                ++i;
                continue;
            }
        }
        const std::uint16_t mods = key->state & kRelevant;
        for (Grab& grab : grabs_) {
            if (grab.keycode != key->detail) continue;
            if (type == XCB_KEY_PRESS && grab.modifiers == mods && !grab.down) {
                grab.down = true;
                changes.push_back({grab.command, true});
            } else if (type == XCB_KEY_RELEASE && grab.down) {
                // The modifiers may come up first: the key's own release ends it.
                grab.down = false;
                changes.push_back({grab.command, false});
            }
        }
    }
    // Emitted after the walk: a command may rebind keys.
    for (const auto& [command, down] : changes) {
        if (down)
            emit Pressed(command);
        else
            emit Released(command);
    }
}

}  // namespace input
