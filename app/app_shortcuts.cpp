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

bool ApplicationShortcuts::IsApplicationKey(QKeyCombination key) {
    const Qt::KeyboardModifiers mods = key.keyboardModifiers() & ~Qt::KeypadModifier;
    return mods == Qt::NoModifier && key.key() >= Qt::Key_F1 && key.key() <= Qt::Key_F6;
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
    Run(key->key());
    return true;
}
