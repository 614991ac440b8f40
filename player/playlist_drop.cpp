#include "player/playlist_drop.h"

#include <QAbstractItemView>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

#include "player/playlist_files.h"

PlaylistDrop::PlaylistDrop(QAbstractItemView* list, std::function<void(const QStringList&)> add)
    : QObject(list), add_(std::move(add)) {
    list->setAcceptDrops(true);
    list->viewport()->setAcceptDrops(true);
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);
}

bool PlaylistDrop::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            // Only files that name recordings; the list's own items never move.
            if (drag->mimeData()->hasUrls() &&
                !DroppedRecordings(drag->mimeData()->urls()).isEmpty()) {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList paths = drop->mimeData()->hasUrls()
                                          ? DroppedRecordings(drop->mimeData()->urls())
                                          : QStringList();
            if (paths.isEmpty()) {
                drop->ignore();
                return true;
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            add_(paths);
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
    }
}
