#include "input/global_keys.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include <QStringList>

namespace input {
namespace {

struct Row {
    Qt::Key key;
    std::uint32_t keysym;
    const char* name;
};

constexpr Row kKeys[] = {
    {Qt::Key_Space, XK_space, "space"},
    {Qt::Key_Pause, XK_Pause, "Pause"},
    {Qt::Key_Insert, XK_Insert, "Insert"},
    {Qt::Key_Home, XK_Home, "Home"},
    {Qt::Key_End, XK_End, "End"},
    {Qt::Key_PageUp, XK_Prior, "Prior"},
    {Qt::Key_PageDown, XK_Next, "Next"},
    {Qt::Key_Left, XK_Left, "Left"},
    {Qt::Key_Right, XK_Right, "Right"},
    {Qt::Key_Up, XK_Up, "Up"},
    {Qt::Key_Down, XK_Down, "Down"},
    {Qt::Key_MediaPlay, XF86XK_AudioPlay, "XF86AudioPlay"},
    {Qt::Key_MediaTogglePlayPause, XF86XK_AudioPlay, "XF86AudioPlay"},
    {Qt::Key_MediaPause, XF86XK_AudioPause, "XF86AudioPause"},
    {Qt::Key_MediaStop, XF86XK_AudioStop, "XF86AudioStop"},
    {Qt::Key_MediaPrevious, XF86XK_AudioPrev, "XF86AudioPrev"},
    {Qt::Key_MediaNext, XF86XK_AudioNext, "XF86AudioNext"},
    {Qt::Key_AudioRewind, XF86XK_AudioRewind, "XF86AudioRewind"},
    {Qt::Key_AudioForward, XF86XK_AudioForward, "XF86AudioForward"},
};

constexpr const char* kFunctionNames[] = {
    "F1",  "F2",  "F3",  "F4",  "F5",  "F6",  "F7",  "F8",  "F9",  "F10", "F11", "F12",
    "F13", "F14", "F15", "F16", "F17", "F18", "F19", "F20", "F21", "F22", "F23", "F24",
    "F25", "F26", "F27", "F28", "F29", "F30", "F31", "F32", "F33", "F34", "F35"};

constexpr const char* kLetters[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i",
                                    "j", "k", "l", "m", "n", "o", "p", "q", "r",
                                    "s", "t", "u", "v", "w", "x", "y", "z"};
constexpr const char* kDigits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};

QString Join(QKeyCombination key, const char* ctrl, const char* alt, const char* shift,
             const char* meta, bool upperName) {
    const auto name = GlobalKeyName(key.key());
    if (!name) return {};
    QStringList parts;
    const auto mods = key.keyboardModifiers();
    if (mods & Qt::ControlModifier) parts << ctrl;
    if (mods & Qt::AltModifier) parts << alt;
    if (mods & Qt::ShiftModifier) parts << shift;
    if (mods & Qt::MetaModifier) parts << meta;
    QString text = QString::fromLatin1(name->name);
    if (upperName && text.size() == 1) text = text.toUpper();
    parts << text;
    return parts.join(u'+');
}

}  // namespace

std::optional<KeyName> GlobalKeyName(Qt::Key key) {
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return KeyName{std::uint32_t(XK_F1 + (key - Qt::Key_F1)), kFunctionNames[key - Qt::Key_F1]};
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return KeyName{std::uint32_t(XK_a + (key - Qt::Key_A)), kLetters[key - Qt::Key_A]};
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return KeyName{std::uint32_t(XK_0 + (key - Qt::Key_0)), kDigits[key - Qt::Key_0]};
    for (const Row& row : kKeys)
        if (row.key == key) return KeyName{row.keysym, row.name};
    return std::nullopt;
}

QString GlobalKeyText(QKeyCombination key) {
    return Join(key, "Ctrl", "Alt", "Shift", "Meta", true);
}

QString PortalTriggerText(QKeyCombination key) {
    return Join(key, "CTRL", "ALT", "SHIFT", "LOGO", false);
}

}  // namespace input
