// Every key of the program as the user guide lists it, read from the live windows: the
// shortcuts their actions carry (menus, buttons, context menus) and the keys that key
// handlers take, which no action carries (a table kept here; the tests press each of them).
// User-interface thread only.
#pragma once

#include <QList>
#include <QString>

#include "app/guide_files.h"

class QWidget;

// A key taken by a window's key handler rather than by an action.
struct HandledKey {
    QString window;  // the window's name as the guide says it ("Редактор")
    guide::KeyRow row;
};

// The keys that key handlers take, window by window.
const QList<HandledKey>& HandledKeys();

// The window's name in the guide: its caption without the program's name.
QString GuideWindowName(const QWidget* window);

// The rows of the guide's keys table for `windows` (in the order given): first the keys
// that act in every window, then each window's keys in the order of its menus, then those
// of its other actions and of its key handlers.
QList<guide::KeyRow> ProgramKeys(const QList<QWidget*>& windows);
