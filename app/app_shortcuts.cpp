#include "app/app_shortcuts.h"

#include <QApplication>
#include <QKeyEvent>

#include "app/shell_commands.h"
#include "player/player_window.h"

ApplicationShortcuts::ApplicationShortcuts(TForm1* player, QObject* parent)
    : QObject(parent), player_(player) {}

bool ApplicationShortcuts::Run(int key) {
    switch (key) {
        case Qt::Key_F1:
            HelpCommand(QApplication::activeWindow());
            return true;
        case Qt::Key_F2:
            player_->BitBtn1Click();
            return true;
        case Qt::Key_F3:
            player_->BitBtn2Click();
            return true;
        case Qt::Key_F4:
            player_->BitBtn3Click();
            return true;
        case Qt::Key_F5:
            player_->BitBtn4Click();
            return true;
        case Qt::Key_F6:
            player_->BitBtn5Click();
            return true;
        default:
            return false;
    }
}

bool ApplicationShortcuts::RunSpeedKey(int key) {
    switch (key) {
        case Qt::Key_Up:
            player_->SpeedFaster();
            return true;
        case Qt::Key_Down:
            player_->SpeedSlower();
            return true;
        case Qt::Key_Home:
            player_->SpeedNormal();
            return true;
        default:
            return false;
    }
}

namespace {
Qt::KeyboardModifiers Modifiers(QKeyCombination key) {
    return key.keyboardModifiers() & ~Qt::KeypadModifier;
}
bool IsFunctionKey(QKeyCombination key) {
    return Modifiers(key) == Qt::NoModifier && key.key() >= Qt::Key_F1 && key.key() <= Qt::Key_F6;
}
// Alt with Up, Down or Home: no editing key of the text controls, no menu's key, and the
// same on every keyboard layout.
bool IsSpeedKey(QKeyCombination key) {
    return Modifiers(key) == Qt::AltModifier &&
           (key.key() == Qt::Key_Up || key.key() == Qt::Key_Down || key.key() == Qt::Key_Home);
}
}  // namespace

bool ApplicationShortcuts::IsApplicationKey(QKeyCombination key) {
    return IsFunctionKey(key) || IsSpeedKey(key);
}

bool ApplicationShortcuts::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (!IsApplicationKey(key->keyCombination()) || QApplication::activeModalWidget() != nullptr)
        return QObject::eventFilter(watched, event);
    if (type == QEvent::ShortcutOverride) {
        // Claim the key from every shortcut and menu so that it arrives as a key press.
        event->accept();
        return true;
    }
    if (IsSpeedKey(key->keyCombination()))
        RunSpeedKey(key->key());
    else
        Run(key->key());
    return true;
}
