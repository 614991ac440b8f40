#include "recovery/copy_writer.h"

namespace recovery {

CopyWriter::CopyWriter(std::unique_ptr<RunFolder> run, Report report)
    : run_(std::move(run)), report_(std::move(report)) {
    thread_ = std::thread([this] { Run(); });
}

CopyWriter::~CopyWriter() {
    Finish(0);
}

void CopyWriter::Normalize(RecoveryState& state) const {
    if (state.text.contains(QChar::ParagraphSeparator))
        state.text.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
}

void CopyWriter::Submit(RecoveryState state, qint64 timeMs) {
    {
        std::lock_guard lock(mutex_);
        if (stop_) return;
        pending_ = std::move(state);
        pendingTime_ = timeMs;
    }
    wake_.notify_one();
}

void CopyWriter::SetSaved(RecoveryState saved) {
    {
        std::lock_guard lock(mutex_);
        if (stop_) return;
        pendingSaved_ = std::move(saved);
    }
    wake_.notify_one();
}

void CopyWriter::WaitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return finished_ || (!pending_ && !pendingSaved_ && !busy_); });
}

void CopyWriter::Finish(qint64 nowMs) {
    {
        std::lock_guard lock(mutex_);
        if (stop_) {
            if (!thread_.joinable()) return;
        }
        stop_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
    // The thread wrote what was waiting before it ended; the marker is the last word.
    if (nowMs > 0 && run_->IsOpen()) {
        try {
            run_->Close(!dirty_, nowMs);
        } catch (const textfiles::FileError& error) {
            if (report_) report_(WriteReport{false, 0, error.message()});
        }
    }
}

void CopyWriter::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || pending_ || pendingSaved_; });
        if (!pending_ && !pendingSaved_) break;  // stopping with nothing left to write
        std::optional<RecoveryState> saved = std::move(pendingSaved_);
        std::optional<RecoveryState> state = std::move(pending_);
        pendingSaved_.reset();
        pending_.reset();
        const qint64 timeMs = pendingTime_;
        busy_ = true;
        lock.unlock();

        if (saved) {
            Normalize(*saved);
            saved_ = std::move(*saved);
            // Until the next state arrives, the work is what was just saved.
            if (!state) dirty_ = false;
        }
        if (state) {
            Normalize(*state);
            // Only text or participants not saved are worth offering after a crash.
            dirty_ = !SameTextAndParticipants(*state, saved_);
            const bool alreadyWritten = lastWritten_ && SameWork(*state, *lastWritten_);
            if (dirty_ && !alreadyWritten) {
                WriteReport report;
                try {
                    report.sequence = run_->WriteCopy(*state, timeMs);
                    report.ok = true;
                    lastWritten_ = std::move(*state);
                } catch (const textfiles::FileError& error) {
                    report.error = error.message();
                }
                if (report_) report_(report);
            }
        }

        lock.lock();
        busy_ = false;
        if (!pending_ && !pendingSaved_) idle_.notify_all();
    }
    finished_ = true;
    idle_.notify_all();
}

}  // namespace recovery
