// The editor's keyboard: the order in which a key in the text is offered to the menus, the
// key handler Memo1KeyDown (turn markers, the clipboard keys with Shift or Alt) and the text.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTimer>

#include "commands/registry.h"
#include "editor/editor_commands.h"
#include "editor/editor_window.h"

// ---- Keyboard ----

bool TForm2::Memo1KeyDown(QKeyEvent* event) {
    // A key the typist gave a participant's command (the defaults follow the rule below).
    const QKeySequence pressed(commands::NormalKey(event->keyCombination()));
    for (QAction* item : ParticipantItems) {
        if (item->property(commands::kDefaultKeysProperty).toBool()) continue;
        const QVariant keys = item->property(commands::kKeysProperty);
        if (keys.isValid() && keys.value<QList<QKeySequence>>().contains(pressed)) {
            item->trigger();
            return true;
        }
    }
    const CtrlKeyRoute route =
        RouteCtrlKey(event->key(), event->modifiers(), event->nativeScanCode());
    switch (route.action) {
        case CtrlKeyAction::Text:
            return false;
        case CtrlKeyAction::Swallow:
            return true;
        case CtrlKeyAction::Cut:
            N30->trigger();
            return true;
        case CtrlKeyAction::Paste:
            N29->trigger();
            return true;
        case CtrlKeyAction::Copy:
            N28->trigger();
            return true;
        case CtrlKeyAction::Participant:
            break;
    }
    // Ctrl with the digit in any layout, Shift or Alt held as well: while the command keeps
    // its default key.
    QAction* item = ParticipantItems[route.participant - 1];
    const QVariant isDefault = item->property(commands::kDefaultKeysProperty);
    if (isDefault.isValid() && !isDefault.toBool()) return false;
    item->trigger();
    return true;
}

void TForm2::InsertParticipant(int participant) {
    const QString name = ParticipantName ? ParticipantName(participant) : QString();
    if (name.isEmpty()) {
        ShowMessage(QStringLiteral("Значение не задано"));
        N25->trigger();
    } else {
        InsertTurnMarker(memoText_, History, name);
    }
}

bool TForm2::IsMenuShortcut(QKeyEvent* event) const {
    const QKeySequence pressed(event->keyCombination());
    for (const QAction* action : menuActions_) {
        for (const QKeySequence& shortcut : action->shortcuts()) {
            if (shortcut == pressed) return true;
        }
    }
    return false;
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget()) {
        if (event->type() == QEvent::Resize) StatusBar1Resize();
        return false;
    }
    if (watched == Memo1->viewport()) {
        if (event->type() == QEvent::MouseButtonPress ||
            event->type() == QEvent::MouseButtonRelease ||
            event->type() == QEvent::MouseButtonDblClick) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            // The X11 selection paste would bypass the history.
            if (mouse->button() == Qt::MiddleButton) return true;
            if (event->type() == QEvent::MouseButtonRelease) {
                QTimer::singleShot(0, this, &TForm2::Memo1Click);
            }
        }
        return false;
    }
    if (watched != Memo1) return false;

    switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // The text control claims Ctrl+C/X/V/A/Z for itself; leave the editor's own
            // shortcuts unclaimed so that the menu runs them.
            auto* key = static_cast<QKeyEvent*>(event);
            if (IsMenuShortcut(key)) {
                key->ignore();
                return true;
            }
            return false;
        }
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            // Other bindings of the clipboard and undo (Ctrl+Insert, Shift+Insert,
            // Shift+Delete…) go through the same commands, so they record snapshots.
            if (key->matches(QKeySequence::Copy)) {
                N28->trigger();
                return true;
            }
            if (key->matches(QKeySequence::Cut)) {
                N30->trigger();
                return true;
            }
            if (key->matches(QKeySequence::Paste)) {
                N29->trigger();
                return true;
            }
            if (key->matches(QKeySequence::Undo)) {
                N34->trigger();
                return true;
            }
            if (key->matches(QKeySequence::Redo)) {
                N35->trigger();
                return true;
            }
            if (key->matches(QKeySequence::SelectAll)) {
                N32->trigger();
                return true;
            }
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                (key->modifiers() & Qt::ShiftModifier)) {
                // Shift+Enter would insert a soft line separator; a line break is CR LF.
                QKeyEvent plain(QEvent::KeyPress, key->key(), key->modifiers() & ~Qt::ShiftModifier,
                                key->text());
                QCoreApplication::sendEvent(Memo1, &plain);
                return true;
            }
            return Memo1KeyDown(key);
        }
        case QEvent::KeyRelease:
            Memo1KeyUp();
            return false;
        default:
            return false;
    }
}
