// The sound-card output straight to a PulseAudio server, when one is reachable. The render
// thread writes to the server itself; the client library's thread only wakes it when the
// server asks for more, and publishes the playback clock.
//
// The server holds a generous buffer, so that a busy desktop that keeps the server's own
// main thread from running for a while is not heard as a gap; a halt is still silent at
// once, because it flushes that buffer instead of letting it play out.
#include <pulse/pulseaudio.h>
#include <semaphore.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "audio/output.h"

namespace audio {
namespace {

constexpr std::size_t kFrameBytes = 2 * sizeof(float);
// What the server keeps queued. With both cores busy, the server's main thread (not
// real-time) went up to 86 ms without asking for more, and a 100-ms queue still ran dry
// now and then. A halt or a seek flushes it, so its length is heard only in changes of
// tempo, volume or equalizer while playing.
constexpr std::int64_t kServerBufferMs = 150;
// How often the server asks for more, and so how often this program wakes while playing,
// and how far the server's sink plays on after a flush.
constexpr std::int64_t kRequestMs = 20;
// Giving up on a server that neither connects nor refuses.
constexpr auto kConnectTimeout = std::chrono::seconds(2);

std::int64_t MonotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

class PulseSink final : public SoundCardSink {
  public:
    explicit PulseSink(int rate) : rate_(rate) { sem_init(&wake_, 0, 0); }
    ~PulseSink() override {
        if (loop_) {
            pa_threaded_mainloop_lock(loop_);
            if (stream_) {
                pa_stream_disconnect(stream_);
                pa_stream_unref(stream_);
            }
            if (context_) {
                pa_context_disconnect(context_);
                pa_context_unref(context_);
            }
            pa_threaded_mainloop_unlock(loop_);
            pa_threaded_mainloop_stop(loop_);
            pa_threaded_mainloop_free(loop_);
        }
        sem_destroy(&wake_);
    }
    PulseSink(const PulseSink&) = delete;
    PulseSink& operator=(const PulseSink&) = delete;

    bool Open() {
        loop_ = pa_threaded_mainloop_new();
        if (!loop_) return false;
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "NUV Tolvek");
        if (!context_) return false;
        pa_context_set_state_callback(context_, &PulseSink::OnContextState, this);
        // Never start a server of our own: without one, the next output is tried.
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return false;
        if (pa_threaded_mainloop_start(loop_) < 0) return false;
        pa_threaded_mainloop_lock(loop_);
        const bool ready = AwaitReady() && Connect();
        pa_threaded_mainloop_unlock(loop_);
        return ready;
    }

    std::size_t Room() const override {
        pa_threaded_mainloop_lock(loop_);
        const std::size_t bytes = pa_stream_writable_size(stream_);
        pa_threaded_mainloop_unlock(loop_);
        return bytes == static_cast<std::size_t>(-1) ? 0 : bytes / kFrameBytes;
    }

    void Push(const float* frames, std::size_t count) override {
        pa_threaded_mainloop_lock(loop_);
        if (pa_stream_write(stream_, frames, count * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE) ==
            0)
            written_.fetch_add(static_cast<std::int64_t>(count), std::memory_order_relaxed);
        PublishClock();
        pa_threaded_mainloop_unlock(loop_);
    }

    std::size_t Queued() const override {
        return static_cast<std::size_t>(
            std::max<std::int64_t>(0, written_.load(std::memory_order_relaxed) - HeardFrames()));
    }

    void WaitForRoom(std::chrono::milliseconds timeout) override {
        // Asked for before looking, so that a request in between still posts.
        wantsWake_.store(true, std::memory_order_seq_cst);
        if (Room() >= kMinTopUp) return;
        const std::int64_t untilNs = MonotonicNs() + std::chrono::nanoseconds(timeout).count();
        const timespec until{static_cast<time_t>(untilNs / 1'000'000'000LL),
                             static_cast<long>(untilNs % 1'000'000'000LL)};
        while (sem_clockwait(&wake_, CLOCK_MONOTONIC, &until) != 0 && errno == EINTR) {
        }
        // Posts that piled up while the thread was busy must not cut the next sleep short.
        while (sem_trywait(&wake_) == 0) {
        }
    }
    void Wake() override { sem_post(&wake_); }

    std::int64_t DropQueued(std::int64_t* from, std::chrono::milliseconds) override {
        *from = 0;
        if (suspended_) return 0;
        pa_threaded_mainloop_lock(loop_);
        // Once flushed, the server plays nothing more of it, so its read position no longer
        // moves: everything before it is heard, everything after it is gone.
        std::int64_t dropped = 0;
        if (Await(pa_stream_flush(stream_, &PulseSink::OnDone, this)) &&
            Await(pa_stream_update_timing_info(stream_, &PulseSink::OnDone, this))) {
            const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
            if (timing && !timing->read_index_corrupt) {
                const std::int64_t read =
                    timing->read_index / static_cast<std::int64_t>(kFrameBytes);
                dropped = written_.load(std::memory_order_relaxed) - read;
                if (dropped > 0) {
                    written_.store(read, std::memory_order_relaxed);
                    *from = read;
                    Publish(read, MonotonicNs(), false);
                }
            }
        }
        pa_threaded_mainloop_unlock(loop_);
        return std::max<std::int64_t>(dropped, 0);
    }

    std::int64_t HeardFrames() const override {
        // A seqlock: its writers hold the client library's lock, and never wait for a reader.
        std::int64_t heard = 0, at = 0;
        bool moving = false;
        for (;;) {
            const std::uint32_t s1 = seq_.load(std::memory_order_acquire);
            if (s1 & 1u) continue;
            heard = heard_.load(std::memory_order_relaxed);
            at = heardNs_.load(std::memory_order_relaxed);
            moving = moving_.load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if (seq_.load(std::memory_order_relaxed) == s1) break;
        }
        if (moving) heard += FramesIn(MonotonicNs() - at, rate_);
        return std::clamp<std::int64_t>(heard, 0, written_.load(std::memory_order_relaxed));
    }

    bool Suspend() override {
        if (suspended_) return true;
        pa_threaded_mainloop_lock(loop_);
        const bool corked = Await(pa_stream_cork(stream_, 1, &PulseSink::OnDone, this));
        if (corked) suspended_ = true;
        PublishClock();
        pa_threaded_mainloop_unlock(loop_);
        return corked;
    }
    bool Resume() override {
        pa_threaded_mainloop_lock(loop_);
        const bool uncorked = Await(pa_stream_cork(stream_, 0, &PulseSink::OnDone, this));
        if (uncorked) suspended_ = false;
        pa_threaded_mainloop_unlock(loop_);
        return uncorked;
    }
    bool Suspended() const override { return suspended_; }

    bool Failed(std::chrono::milliseconds) const override { return failed_.load(); }

  private:
    // These run with the client library's lock held.
    bool AwaitReady() {
        const auto until = std::chrono::steady_clock::now() + kConnectTimeout;
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(context_);
            if (state == PA_CONTEXT_READY) return true;
            if (!PA_CONTEXT_IS_GOOD(state) || std::chrono::steady_clock::now() >= until)
                return false;
            // A server that accepts but never answers must not hold the caller forever.
            pa_threaded_mainloop_unlock(loop_);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            pa_threaded_mainloop_lock(loop_);
        }
    }

    bool Connect() {
        const pa_sample_spec format{PA_SAMPLE_FLOAT32LE, static_cast<std::uint32_t>(rate_), 2};
        stream_ = pa_stream_new(context_, "NUV Tolvek", &format, nullptr);
        if (!stream_) return false;
        pa_stream_set_state_callback(stream_, &PulseSink::OnStreamState, this);
        pa_stream_set_write_callback(stream_, &PulseSink::OnRequest, this);
        pa_stream_set_latency_update_callback(stream_, &PulseSink::OnTiming, this);
        const auto bytes = [&](std::int64_t ms) {
            return static_cast<std::uint32_t>(FramesIn(ms * 1'000'000, rate_) * kFrameBytes);
        };
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = bytes(kServerBufferMs);
        // Plays as soon as there is any sound. Not zero: with nothing to prebuffer, the
        // server's read position runs on through silence, and what is written next (after
        // a flush, or the end of the sound) would fall behind it and be skipped.
        attr.prebuf = kFrameBytes;
        attr.minreq = bytes(kRequestMs);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        // Early requests: the server's own sink holds no more than one request ahead.
        // Not monotonic: the client library's clock otherwise never goes below the highest
        // time it has shown, and its interpolation runs on while nothing plays (an idle
        // stretch, a pause), so the next sound was reported a whole queue ahead of the ear
        // until the real clock caught up with that mark.
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_START_CORKED | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
            PA_STREAM_EARLY_REQUESTS | PA_STREAM_NOT_MONOTONIC);
        if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0)
            return false;
        for (;;) {
            const pa_stream_state_t state = pa_stream_get_state(stream_);
            if (state == PA_STREAM_READY) return true;
            if (!PA_STREAM_IS_GOOD(state)) return false;
            pa_threaded_mainloop_wait(loop_);
        }
    }

    // Waits for an operation of the server's; false when it failed or the server is gone.
    bool Await(pa_operation* op) {
        if (!op) return false;
        done_ = false;
        succeeded_ = false;
        while (!done_ && pa_operation_get_state(op) == PA_OPERATION_RUNNING)
            pa_threaded_mainloop_wait(loop_);
        const bool ok = done_ && succeeded_;
        pa_operation_unref(op);
        return ok;
    }

    void PublishClock() {
        pa_usec_t usec = 0;
        if (pa_stream_get_time(stream_, &usec) < 0) return;
        const auto ns = static_cast<std::int64_t>(usec) * 1000;
        Publish(FramesIn(ns, rate_), MonotonicNs(), !suspended_);
    }

    void Publish(std::int64_t heard, std::int64_t atNs, bool moving) {
        const std::uint32_t s = seq_.load(std::memory_order_relaxed);
        seq_.store(s + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        heard_.store(heard, std::memory_order_relaxed);
        heardNs_.store(atNs, std::memory_order_relaxed);
        moving_.store(moving, std::memory_order_relaxed);
        seq_.store(s + 2, std::memory_order_release);
    }

    static void OnContextState(pa_context* c, void* self) {
        auto* sink = static_cast<PulseSink*>(self);
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(c))) {
            sink->failed_.store(true);
            sem_post(&sink->wake_);
        }
        pa_threaded_mainloop_signal(sink->loop_, 0);
    }
    static void OnStreamState(pa_stream* s, void* self) {
        auto* sink = static_cast<PulseSink*>(self);
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(s))) {
            sink->failed_.store(true);
            sem_post(&sink->wake_);
        }
        pa_threaded_mainloop_signal(sink->loop_, 0);
    }
    static void OnDone(pa_stream*, int success, void* self) {
        auto* sink = static_cast<PulseSink*>(self);
        sink->succeeded_ = success != 0;
        sink->done_ = true;
        pa_threaded_mainloop_signal(sink->loop_, 0);
    }
    static void OnRequest(pa_stream*, std::size_t, void* self) {
        auto* sink = static_cast<PulseSink*>(self);
        if (sink->wantsWake_.exchange(false, std::memory_order_acq_rel)) sem_post(&sink->wake_);
    }
    static void OnTiming(pa_stream*, void* self) { static_cast<PulseSink*>(self)->PublishClock(); }

    const int rate_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    sem_t wake_;
    std::atomic<bool> wantsWake_{false};
    std::atomic<bool> failed_{false};
    // Only the render thread changes it; the clock's writers read it under the lock.
    std::atomic<bool> suspended_{true};
    // An operation's answer, under the client library's lock.
    bool done_ = false;
    bool succeeded_ = false;
    // Frames handed to the server since the stream began, less any flushed.
    std::atomic<std::int64_t> written_{0};
    // The playback clock: frames heard at a moment, and whether it moves on from there.
    std::atomic<std::uint32_t> seq_{0};
    std::atomic<std::int64_t> heard_{0};
    std::atomic<std::int64_t> heardNs_{0};
    std::atomic<bool> moving_{false};
};

}  // namespace

std::unique_ptr<SoundCardSink> OpenPulseSink(int rate) {
    auto sink = std::make_unique<PulseSink>(rate);
    if (!sink->Open()) return nullptr;
    return sink;
}

}  // namespace audio
