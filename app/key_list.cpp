#include "app/key_list.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QWidget>

#include "app/app_shortcuts.h"

const QList<HandledKey>& HandledKeys() {
    static const QList<HandledKey> keys = {
        {QStringLiteral("Проигрыватель"),
         {QStringLiteral("Up, Down"), QStringLiteral("Увеличить или уменьшить значение на 1"),
          QStringLiteral("Проигрыватель, поля группы «Параметры»")}},
        {QStringLiteral("Редактор"),
         {QStringLiteral("Ctrl+1 … Ctrl+9, Ctrl+0"),
          QStringLiteral("Вставить реплику участника 1 … 9, 10: его имя в квадратных скобках "
                         "на отдельной строке"),
          QStringLiteral("Редактор, в тексте")}},
        {QStringLiteral("Редактор"),
         {QStringLiteral("Enter"), QStringLiteral("Найти дальше"),
          QStringLiteral("Редактор, панель поиска")}},
        {QStringLiteral("Редактор"),
         {QStringLiteral("Shift+Enter"), QStringLiteral("Найти назад"),
          QStringLiteral("Редактор, панель поиска")}},
        {QStringLiteral("Редактор"),
         {QStringLiteral("Enter"), QStringLiteral("Заменить найденное и найти дальше"),
          QStringLiteral("Редактор, строка замены")}},
        {QStringLiteral("Редактор"),
         {QStringLiteral("Esc"), QStringLiteral("Закрыть панель поиска"),
          QStringLiteral("Редактор, панель поиска")}},
        {QStringLiteral("Словарь"),
         {QStringLiteral("Enter"), QStringLiteral("Перейти к полю текста"),
          QStringLiteral("Словарь, поле сокращения")}},
        {QStringLiteral("Словарь"),
         {QStringLiteral("Enter"), QStringLiteral("Добавить запись (как кнопка «Добавить»)"),
          QStringLiteral("Словарь, поле текста")}},
        {QStringLiteral("Выберите вариант из списка"),
         {QStringLiteral("1 … 9"), QStringLiteral("Вставить вариант с этим номером"),
          QStringLiteral("Выбор варианта")}},
        {QStringLiteral("Выберите вариант из списка"),
         {QStringLiteral("Enter"), QStringLiteral("Вставить выделенный вариант"),
          QStringLiteral("Выбор варианта")}},
    };
    return keys;
}

QString GuideWindowName(const QWidget* window) {
    static const QString prefix = QStringLiteral("NUV Tolvek - ");
    QString title = window->windowTitle();
    if (title.startsWith(prefix)) title.remove(0, prefix.size());
    return title;
}

namespace {

QString KeysText(const QList<QKeySequence>& shortcuts) {
    QStringList keys;
    for (const QKeySequence& shortcut : shortcuts)
        keys << shortcut.toString(QKeySequence::PortableText);
    return keys.join(QStringLiteral(", "));
}

// "F2 - Назад" → "Назад": a caption that starts with its own key says it once.
QString CommandText(const QAction* action, const QString& keys) {
    QString text = action->text();
    text.remove(u'&');
    const QString prefix = keys + QStringLiteral(" - ");
    if (text.startsWith(prefix)) text.remove(0, prefix.size());
    return text;
}

bool ActsEverywhere(const QList<QKeySequence>& shortcuts) {
    for (const QKeySequence& shortcut : shortcuts) {
        if (shortcut.count() != 1 || !ApplicationShortcuts::IsApplicationKey(shortcut[0]))
            return false;
    }
    return true;
}

struct PlacedAction {
    QAction* action;
    QString place;
};

void CollectMenu(QMenu* menu, const QString& path, QList<PlacedAction>& out) {
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        if (QMenu* sub = action->menu()) {
            CollectMenu(sub, path + QStringLiteral(" → ") + sub->title().remove(u'&'), out);
        } else {
            out.append({action, path});
        }
    }
}

// The window's actions: its menu bar's first, then the rest (buttons' keys, context menus).
QList<PlacedAction> WindowActions(QWidget* window) {
    const QString name = GuideWindowName(window);
    QList<PlacedAction> actions;
    if (auto* main = qobject_cast<QMainWindow*>(window); main != nullptr && main->menuWidget()) {
        if (auto* bar = qobject_cast<QMenuBar*>(main->menuWidget())) {
            for (QAction* top : bar->actions()) {
                if (QMenu* menu = top->menu())
                    CollectMenu(menu,
                                name + QStringLiteral(", меню «") + menu->title().remove(u'&'),
                                actions);
            }
            for (PlacedAction& placed : actions) placed.place += QStringLiteral("»");
        }
    }
    QSet<const QAction*> seen;
    for (const PlacedAction& placed : actions) seen.insert(placed.action);
    for (QAction* action : window->findChildren<QAction*>()) {
        if (seen.contains(action) || action->isSeparator()) continue;
        // Actions of a dialog inside the window (a file dialog's own keys) are the dialog's.
        const QObject* holder = action->parent();
        while (holder != nullptr && !holder->isWidgetType()) holder = holder->parent();
        if (holder != nullptr && static_cast<const QWidget*>(holder)->window() != window) continue;
        QString place = name;
        for (QObject* owner : action->associatedObjects()) {
            if (qobject_cast<QMenu*>(owner) != nullptr) {
                place += QStringLiteral(", контекстное меню");
                break;
            }
        }
        actions.append({action, place});
    }
    return actions;
}

}  // namespace

QList<guide::KeyRow> ProgramKeys(const QList<QWidget*>& windows) {
    QList<guide::KeyRow> everywhere;
    QList<guide::KeyRow> rows;
    QSet<QString> everywhereKeys;
    for (QWidget* window : windows) {
        const QString name = GuideWindowName(window);
        for (const PlacedAction& placed : WindowActions(window)) {
            const QList<QKeySequence> shortcuts = placed.action->shortcuts();
            if (shortcuts.isEmpty()) continue;
            const QString keys = KeysText(shortcuts);
            const guide::KeyRow row{keys, CommandText(placed.action, keys), placed.place};
            if (ActsEverywhere(shortcuts)) {
                // A key of every window is listed once, where it is first found.
                if (everywhereKeys.contains(keys)) continue;
                everywhereKeys.insert(keys);
                everywhere.append(
                    {row.keys, row.command, QStringLiteral("во всех окнах (") + row.place + ")"});
            } else {
                rows.append(row);
            }
        }
        for (const HandledKey& handled : HandledKeys())
            if (handled.window == name) rows.append(handled.row);
    }
    return everywhere + rows;
}
