// The recovery folder on disk: one folder per run of the program, each holding
// - "lock": locked (flock) for as long as the run's program lives; the kernel lets go of it
//   when the process ends in any way, so a lock that can be taken means the run is over;
// - "run": the marker, "STATE=open" while running, "STATE=unsaved" after an exit with work
//   that was never saved, "STATE=closed" after an exit with everything saved, "STATE=restored"
//   once its copies were taken back by a later run, each ending with "ENDED=<ms>";
// - "copy-<sequence>.nrc": the newest kCopiesPerRun copies (recovery_copy.h).
// A run folder appears whole: it is made under a hidden name and renamed into place.
// Copies are written to a temporary file, synced and renamed, so a copy is either complete
// or absent; a failed write leaves every earlier copy as it was.
//
// Failures throw textfiles::FileError (path and reason). A RunFolder is used by one thread
// at a time; the free functions may run on any thread.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>

#include "recovery/recovery_copy.h"

namespace recovery {

inline constexpr int kCopiesPerRun = 50;
// A run that ended cleanly, or whose copies were restored, is removed this long after.
inline constexpr qint64 kKeepEndedRunsMs = 24LL * 60 * 60 * 1000;

// $XDG_STATE_HOME/nuvtolvek/recovery, or ~/.local/state/nuvtolvek/recovery.
QString DefaultRecoveryFolder();

// The folder of this run of the program. Nothing touches the disk before Open().
class RunFolder {
  public:
    RunFolder(QString recoveryFolder, qint64 startMs, qint64 pid);
    ~RunFolder();  // releases the lock, leaving the marker as it is
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    bool IsOpen() const { return lockFd_ >= 0; }
    // Makes the folder, takes the lock and marks the run open.
    void Open();
    // Writes one copy (Open() first when needed), then drops the oldest beyond kCopiesPerRun.
    // Returns the copy's sequence number.
    qint64 WriteCopy(const RecoveryState& state, qint64 timeMs);
    // Marks the run closed (everything saved) or unsaved, and releases the lock.
    void Close(bool everythingSaved, qint64 nowMs);
    QString Path() const { return path_; }

  private:
    QString root_;
    QString path_;
    int lockFd_ = -1;
    qint64 nextSequence_ = 1;
    std::deque<qint64> sequences_;
};

struct CopyInfo {
    QString path;
    CopyHeader header;
};
struct RunInfo {
    QString path;
    QList<CopyInfo> copies;  // newest first
};
struct ScanResult {
    QList<RunInfo> offered;  // runs that ended without saving, newest first
    QStringList damaged;     // copies of those runs skipped because they are damaged
};

// At start-up: the runs whose copies are offered. Runs whose program still runs are left
// alone. Runs that ended cleanly or were restored more than a day before `nowMs` are removed,
// and so are ended runs that left no copy. Never throws: unreadable entries are skipped.
ScanResult ScanRecoveryFolder(const QString& recoveryFolder, qint64 nowMs);

// A whole copy; throws FileError when it cannot be read or is damaged.
RecoveryState ReadCopy(const QString& copyPath);

// "Удалить": removes a run's folder (only when its program no longer runs).
void DeleteRun(const QString& runPath);
// The run's copies were restored: not offered again, removed a day after `nowMs`.
void MarkRunRestored(const QString& runPath, qint64 nowMs);

// Writes `bytes` to `path` through a synced temporary file in the same folder.
void WriteFileDurably(const QString& path, const QByteArray& bytes);

}  // namespace recovery
