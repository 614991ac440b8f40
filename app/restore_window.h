// The window that offers the recovery copies of earlier runs at start-up: one row per run
// (its newest copy), the run's older copies below it on request (the row opens), each with
// what tells it from the copy before: time, number of characters, the last line changed.
// "Восстановить", "Не сейчас" (kept for the next start) and "Удалить" (after a question).
// Not modal; it closes itself after a choice.
// User-interface thread only.
#pragma once

#include <QDialog>
#include <functional>

#include "recovery/recovery_store.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class RestoreWindow : public QDialog {
    Q_OBJECT
  public:
    // `restore` puts a copy back (false when the user called it off) and throws
    // textfiles::FileError when the copy is damaged;
    // `remove` deletes the offered runs.
    RestoreWindow(QWidget* owner, recovery::ScanResult scan,
                  std::function<bool(const recovery::CopyInfo&, const QString& runPath)> restore,
                  std::function<void(const QStringList& runPaths)> remove);

    QTreeWidget* CopyList = nullptr;
    QLabel* NoteLabel = nullptr;
    QPushButton* RestoreButton = nullptr;
    QPushButton* LaterButton = nullptr;
    QPushButton* DeleteButton = nullptr;

    void RestoreButtonClick();
    void DeleteButtonClick();
    // Asked before "Удалить" deletes; true to go on. Tests replace it.
    std::function<bool()> ConfirmDelete;

  private:
    void Fill();
    void ShowNote();
    void FillOlderCopies(QTreeWidgetItem* runRow);

    recovery::ScanResult scan_;
    std::function<bool(const recovery::CopyInfo&, const QString&)> restore_;
    std::function<void(const QStringList&)> remove_;
    QStringList unreadable_;  // copies that failed when restored
};
