#include "app/app_shortcuts.h"

#include <QApplication>
#include <QKeyEvent>

#include "commands/default_commands.h"
#include "commands/registry.h"

ApplicationShortcuts::ApplicationShortcuts(commands::Registry& commands, QObject* parent)
    : QObject(parent), commands_(commands) {}

ApplicationShortcuts::~ApplicationShortcuts() {
    ReleaseAll();
}

bool ApplicationShortcuts::IsApplicationKey(QKeyCombination key) {
    return commands::IsDefaultEverywhereKey(key);
}

void ApplicationShortcuts::ReleaseAll() {
    const QHash<int, QString> held = std::exchange(held_, {});
    for (const QString& id : held) commands_.Release(id);
}

bool ApplicationShortcuts::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::ApplicationDeactivate) {
        // The key's release goes to another program: a held command must not stay held.
        ReleaseAll();
        return QObject::eventFilter(watched, event);
    }
    if (type == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        const auto it = held_.constFind(key->key());
        if (it == held_.constEnd()) return QObject::eventFilter(watched, event);
        if (!key->isAutoRepeat()) {
            const QString id = *it;
            held_.erase(it);
            commands_.Release(id);
        }
        return true;
    }
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (QApplication::activeModalWidget() != nullptr) return QObject::eventFilter(watched, event);
    const QString id = commands_.CommandForKey(key->keyCombination(), commands::Reach::Everywhere);
    if (id.isEmpty()) return QObject::eventFilter(watched, event);
    if (type == QEvent::ShortcutOverride) {
        // Claim the key from every shortcut and menu so that it arrives as a key press.
        event->accept();
        return true;
    }
    const commands::Command* command = commands_.Find(id);
    if (command->kind == commands::Kind::Hold) {
        // Held down, the key repeats: the command stays pressed until the key comes up.
        if (held_.contains(key->key())) return true;
        held_.insert(key->key(), id);
        commands_.Press(id);
    } else {
        commands_.Run(id);
    }
    return true;
}
