// Files dragged from a file manager onto the playlist: the recordings among them are added
// as if chosen in the add dialog. User-interface thread only.
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QAbstractItemView;

class PlaylistDrop : public QObject {
    Q_OBJECT
  public:
    // Watches `list` (and its viewport, where drags arrive); `add` receives the recordings
    // of each drop. The object belongs to `list`.
    PlaylistDrop(QAbstractItemView* list, std::function<void(const QStringList&)> add);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::function<void(const QStringList&)> add_;
};
