// Writes recovery copies on a thread of its own, so that typing never waits for the disk.
//
// The user-interface thread hands over the state as it is now (Submit) and, after a save or
// an open, the state that is now on disk (SetSaved). Handing over only moves implicitly shared
// strings; the writer thread does the rest: it turns the text control's paragraph separators
// into CR LF, compares with the saved state and with the last copy, and writes a copy only
// when the work differs from both. Only the newest state waiting is written; an older one
// that was never written is dropped.
//
// Threads: Submit, SetSaved and Finish are called from one thread (the user-interface
// thread). The report callback runs on the writer thread after every write attempt.
#pragma once

#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "recovery/recovery_copy.h"
#include "recovery/recovery_store.h"

namespace recovery {

struct WriteReport {
    bool ok = false;
    qint64 sequence = 0;  // of the copy written
    QString error;        // "<path>: <reason>" when !ok
};

class CopyWriter {
  public:
    using Report = std::function<void(const WriteReport&)>;

    // `run` is this run's folder (nothing is made on disk until a copy is needed).
    CopyWriter(std::unique_ptr<RunFolder> run, Report report);
    // Finishes (see Finish) if that has not happened yet.
    ~CopyWriter();
    CopyWriter(const CopyWriter&) = delete;
    CopyWriter& operator=(const CopyWriter&) = delete;

    // The state as it is now, taken at `timeMs`. Its text may hold U+2029 for line breaks.
    void Submit(RecoveryState state, qint64 timeMs);
    // The state that is now saved on disk (after a save or an open).
    void SetSaved(RecoveryState saved);
    // Writes what is waiting, marks the run closed when the last state equals the saved one
    // (unsaved otherwise), and stops the thread. Returns when all of it is done.
    void Finish(qint64 nowMs);

    // For tests and benchmarks: blocks until nothing is waiting or being written.
    void WaitIdle();

  private:
    void Run();
    void Normalize(RecoveryState& state) const;

    std::unique_ptr<RunFolder> run_;
    Report report_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::optional<RecoveryState> pending_;
    qint64 pendingTime_ = 0;
    std::optional<RecoveryState> pendingSaved_;
    bool busy_ = false;
    bool stop_ = false;
    bool finished_ = false;

    // Writer thread only.
    RecoveryState saved_;
    std::optional<RecoveryState> lastWritten_;
    bool dirty_ = false;  // the newest state differs from the saved one

    std::thread thread_;
};

}  // namespace recovery
