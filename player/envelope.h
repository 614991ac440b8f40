// The amplitude envelope of the current recording, shown in the player's waveform strip:
// one column per 1/30 second holding the smallest and the largest sample of that stretch,
// scaled to -127 ... 127 (all channels together). The worker thread ENVELOPE computes it
// once per recording and publishes it progressively; the player tick draws whatever part
// of it exists at that moment.
//
// Threads:
// - EnvelopeState is shared. Only the worker writes it. Readers (the user-interface
//   thread) borrow the arrays through an EnvelopeReader, which holds the state's lock, so
//   the worker cannot release the arrays while a reader uses them. Column values change
//   while a pass runs; they are atomics, so a reader sees each one either old or new.
// - ENVELOPE's public operations are called from one thread (the user-interface thread).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "player/waveform_geometry.h"

// Decoding proceeds in blocks of at most one minute of 44.1 kHz stereo.
constexpr std::int64_t kEnvelopeBlockSamples = 5292000;

class EnvelopeReader;

class EnvelopeState {
  public:
    EnvelopeState() = default;
    EnvelopeState(const EnvelopeState&) = delete;
    EnvelopeState& operator=(const EnvelopeState&) = delete;

    // Number of columns of the current envelope, 0 = none. A hint only: use the count
    // of an EnvelopeReader when touching the arrays.
    std::int32_t Count() const { return EnvelopeCount.load(std::memory_order_acquire); }

    // ---- worker thread only ----
    // Withdraws the envelope: count 0 first, then the arrays are released.
    void Withdraw();
    // Makes `columns` zeroed columns the current envelope, then publishes the count.
    // Throws std::bad_alloc when the arrays cannot be had (the count then stays 0).
    void Publish(std::int32_t columns);
    // Widens column `column` (below the published count) to include low and high.
    void Widen(std::int32_t column, std::int8_t low, std::int8_t high);

  private:
    friend class EnvelopeReader;
    mutable std::mutex lock_;
    std::atomic<std::int32_t> EnvelopeCount{0};
    std::unique_ptr<std::atomic<std::int8_t>[]> EnvelopeMin;
    std::unique_ptr<std::atomic<std::int8_t>[]> EnvelopeMax;
};

// A reader's borrow of the envelope: holds the lock for its lifetime, so keep it short
// (one drawing, one click). User-interface thread.
class EnvelopeReader {
  public:
    explicit EnvelopeReader(const EnvelopeState& state)
        : lock_(state.lock_),
          state_(state),
          count_(state.EnvelopeCount.load(std::memory_order_acquire)) {}
    std::int32_t Count() const { return count_; }
    // Column c, 0 <= c < Count().
    std::int8_t Min(std::int32_t c) const {
        return state_.EnvelopeMin[c].load(std::memory_order_relaxed);
    }
    std::int8_t Max(std::int32_t c) const {
        return state_.EnvelopeMax[c].load(std::memory_order_relaxed);
    }

  private:
    std::unique_lock<std::mutex> lock_;
    const EnvelopeState& state_;
    std::int32_t count_;
};

// The envelope worker. The thread starts waiting; each request wakes it for one pass
// over the requested recording. A request for another recording while a pass runs
// abandons that pass and starts on the new one, so the strip always belongs to the
// recording that plays; a repeated request for the recording being computed changes
// nothing. Stop (also run by the destructor) ends a running pass at its next read and
// joins the thread.
class ENVELOPE {
  public:
    explicit ENVELOPE(EnvelopeState& state);
    ~ENVELOPE();
    ENVELOPE(const ENVELOPE&) = delete;
    ENVELOPE& operator=(const ENVELOPE&) = delete;

    // Hands over the path (UTF-8) of the recording whose envelope is wanted and wakes
    // the worker.
    void Request(const std::string& path);
    // Orderly stop: request it, wake the worker, wait for the thread to end. Idempotent.
    void Stop();
    bool StopRequested() const { return stop_.load(std::memory_order_acquire); }
    // Blocks until no request is pending and no pass runs (tests, benchmarks).
    void WaitIdle();
    // Called on the worker thread after each read with the samples done so far in the
    // pass; for tests and benchmarks that need to act while a pass runs.
    void SetProgressObserver(std::function<void(std::int64_t)> observer);

  protected:
    // The thread body: wait, compute one envelope per request, until stopped.
    void Execute();

  private:
    void RunPass(const std::string& path);
    // True when the running pass should end now: stop, or a newer recording requested.
    bool Abandoned() const {
        return stop_.load(std::memory_order_acquire) || superseded_.load(std::memory_order_acquire);
    }

    EnvelopeState& state_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::string pending_;  // path of the latest request not yet started
    std::string current_;  // path of the running pass
    bool requested_ = false;
    bool running_ = false;
    std::function<void(std::int64_t)> observer_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> superseded_{false};
    std::thread thread_;
};

// Scales a decoded sample to the envelope's range: trunc(s x 127), held within +-127.
std::int8_t ScaleSample(float sample);
