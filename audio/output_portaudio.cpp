// The sound-card output through PortAudio. The callback only copies from a lock-free
// ring that the render thread fills and publishes a few counters; it never locks,
// allocates, logs or throws. It wakes the render thread through a semaphore, whose post
// never blocks.
#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <pa_linux_alsa.h>
#include <portaudio.h>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "audio/output.h"
#include "audio/realtime_kit.h"
#include "audio/ring_buffer.h"

namespace audio {
namespace {

// The ring can hold far more than is ever kept ahead, so that a device asking for large
// callbacks is served whole: what is kept ahead follows the callbacks seen.
constexpr std::size_t kRingFrames = 16384;
// At least this much is kept ahead of the device (20 ms at 44.1 kHz), and at least two
// of its largest callbacks.
constexpr std::size_t kMinAheadFrames = 882;
// What the device itself is asked to buffer. Together with the ring this stays well
// under 60 ms from a pause to silence, and it rides out a busy desktop.
constexpr double kDeviceLatency = 0.035;

std::int64_t MonotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
void QuietJack(const char*) {}

// Without a sound card, ALSA and JACK print dozens of lines while PortAudio probes them.
// libjack comes in with PortAudio; its hooks are looked up rather than linked.
void SilenceSoundLibraries() {
    snd_lib_error_set_handler(&QuietAlsa);
    using SetHook = void (*)(void (*)(const char*));
    for (const char* name : {"jack_set_error_function", "jack_set_info_function"}) {
        if (void* symbol = dlsym(RTLD_DEFAULT, name)) reinterpret_cast<SetHook>(symbol)(&QuietJack);
    }
}

class PortAudioSink final : public SoundCardSink {
  public:
    explicit PortAudioSink(int rate) : rate_(rate), ring_(kRingFrames * 2) {
        sem_init(&wake_, 0, 0);
    }
    ~PortAudioSink() override {
        if (stream_) {
            Pa_AbortStream(stream_);
            Pa_CloseStream(stream_);
        }
        if (initialised_) Pa_Terminate();
        sem_destroy(&wake_);
    }
    PortAudioSink(const PortAudioSink&) = delete;
    PortAudioSink& operator=(const PortAudioSink&) = delete;

    bool Open() {
        if (Pa_Initialize() != paNoError) return false;
        initialised_ = true;
        const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
        if (device == paNoDevice) return false;
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        if (!info || info->maxOutputChannels < 2) return false;
        PaStreamParameters out{};
        out.device = device;
        out.channelCount = 2;
        out.sampleFormat = paFloat32;
        out.suggestedLatency = std::max(info->defaultLowOutputLatency, kDeviceLatency);
        if (Pa_OpenStream(&stream_, nullptr, &out, rate_, paFramesPerBufferUnspecified, paClipOff,
                          &PortAudioSink::Callback, this) != paNoError) {
            stream_ = nullptr;
            return false;
        }
        if (const PaStreamInfo* si = Pa_GetStreamInfo(stream_))
            latencyNs_.store(static_cast<std::int64_t>(si->outputLatency * 1e9));
        // The device's own thread decides whether the card is fed on time.
        if (Pa_GetStreamHostApiType(stream_) == paALSA) PaAlsa_EnableRealtimeScheduling(stream_, 1);
        // Left stopped: the render thread starts it when there is sound to play.
        return true;
    }

    std::size_t Room() const override {
        const std::size_t queued = Queued();
        std::size_t ahead = std::max(kMinAheadFrames, 2 * largestCallback_.load());
        // Before a start, the device's whole buffer as well.
        if (suspended_.load(std::memory_order_relaxed))
            ahead += static_cast<std::size_t>(FramesIn(latencyNs_.load(), rate_));
        ahead = std::min(kRingFrames, ahead);
        return queued >= ahead ? 0 : ahead - queued;
    }
    std::size_t Queued() const override { return (ring_.Capacity() - ring_.FreeSpace()) / 2; }
    void Push(const float* frames, std::size_t count) override { ring_.Write(frames, count * 2); }

    void WaitForRoom(std::chrono::milliseconds timeout) override {
        // Asked for before looking, so that a callback in between still posts.
        wantsWake_.store(true, std::memory_order_seq_cst);
        if (Room() >= kMinTopUp) return;
        WaitForPost(MonotonicNs() + std::chrono::nanoseconds(timeout).count());
        // Posts that piled up while the thread was busy must not cut the next sleep short.
        while (sem_trywait(&wake_) == 0) {
        }
    }
    void Wake() override { sem_post(&wake_); }

    std::int64_t DropQueued(std::int64_t* from, std::chrono::milliseconds timeout) override {
        *from = 0;
        if (suspended_ || Queued() == 0) return 0;
        // Only the callback may take from the ring: it is asked to, and posts when done.
        while (sem_trywait(&wake_) == 0) {
        }
        dropDone_.store(false, std::memory_order_relaxed);
        dropWanted_.store(true, std::memory_order_release);
        const std::int64_t untilNs = MonotonicNs() + std::chrono::nanoseconds(timeout).count();
        while (!dropDone_.load(std::memory_order_acquire)) {
            if (MonotonicNs() >= untilNs) {
                // Withdrawn, unless the callback took it on meanwhile.
                if (dropWanted_.exchange(false)) return 0;
                while (!dropDone_.load(std::memory_order_acquire)) std::this_thread::yield();
                break;
            }
            WaitForPost(untilNs);
        }
        *from = dropFrom_;
        return dropped_;
    }

    std::int64_t HeardFrames() const override {
        // A seqlock: the callback is the only writer and never waits for a reader.
        std::int64_t before = 0, after = 0, at = 0;
        for (;;) {
            const std::uint32_t s1 = seq_.load(std::memory_order_acquire);
            if (s1 & 1u) continue;
            before = consumedBefore_.load(std::memory_order_relaxed);
            after = consumedAfter_.load(std::memory_order_relaxed);
            at = callbackNs_.load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if (seq_.load(std::memory_order_relaxed) == s1) break;
        }
        if (at == 0) return 0;
        // The first frame of the last callback reaches the ear one device latency after
        // the callback; the ones after it follow in real time.
        const std::int64_t sinceNs = MonotonicNs() - at - latencyNs_.load();
        const std::int64_t heard = before + FramesIn(sinceNs, rate_);
        return std::clamp<std::int64_t>(heard, 0, after);
    }

    bool Suspend() override {
        if (suspended_) return true;
        Pa_AbortStream(stream_);
        suspended_ = true;
        return true;
    }
    bool Resume() override {
        lastCallbackNs_.store(MonotonicNs());
        if (Pa_StartStream(stream_) != paNoError) return false;
        suspended_ = false;
        return true;
    }
    bool Suspended() const override { return suspended_; }

    bool Failed(std::chrono::milliseconds silence) const override {
        if (suspended_) return false;
        if (Pa_IsStreamActive(stream_) < 0) return true;
        const std::int64_t quietNs = MonotonicNs() - lastCallbackNs_.load();
        return quietNs > std::chrono::nanoseconds(silence).count();
    }

  private:
    // Sleeps until the semaphore is posted or the monotonic clock reaches `untilNs`.
    void WaitForPost(std::int64_t untilNs) {
        const timespec until{static_cast<time_t>(untilNs / 1'000'000'000LL),
                             static_cast<long>(untilNs % 1'000'000'000LL)};
        while (sem_clockwait(&wake_, CLOCK_MONOTONIC, &until) != 0 && errno == EINTR) {
        }
    }

    static int Callback(const void*, void* output, unsigned long frames,
                        const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags, void* self) {
        auto* sink = static_cast<PortAudioSink*>(self);
        auto* out = static_cast<float*>(output);
        const std::size_t wanted = frames * 2;
        if (sink->dropWanted_.exchange(false, std::memory_order_acq_rel)) {
            sink->dropFrom_ = sink->consumed_;
            sink->dropped_ = static_cast<std::int64_t>(sink->ring_.DiscardAll() / 2);
            sink->dropDone_.store(true, std::memory_order_release);
            sem_post(&sink->wake_);
        }
        const std::size_t got = sink->ring_.Read(out, wanted);
        // An underrun is heard as silence, never waited for.
        for (std::size_t i = got; i < wanted; ++i) out[i] = 0.0f;
        sink->Publish(frames, got / 2, time);
        return paContinue;
    }

    void Publish(std::size_t frames, std::size_t got, const PaStreamCallbackTimeInfo* time) {
        const std::int64_t now = MonotonicNs();
        if (frames > largestCallback_.load(std::memory_order_relaxed))
            largestCallback_.store(frames, std::memory_order_relaxed);
        if (time && time->outputBufferDacTime > time->currentTime &&
            time->outputBufferDacTime - time->currentTime < 1.0)
            latencyNs_.store(
                static_cast<std::int64_t>((time->outputBufferDacTime - time->currentTime) * 1e9),
                std::memory_order_relaxed);
        const std::int64_t before = consumed_;
        consumed_ += static_cast<std::int64_t>(got);
        const std::uint32_t s = seq_.load(std::memory_order_relaxed);
        seq_.store(s + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        consumedBefore_.store(before, std::memory_order_relaxed);
        consumedAfter_.store(consumed_, std::memory_order_relaxed);
        callbackNs_.store(now, std::memory_order_relaxed);
        seq_.store(s + 2, std::memory_order_release);
        lastCallbackNs_.store(now, std::memory_order_release);
        // Topped up after every callback that took sound: what is left must carry the
        // next callback whatever the render thread's delay.
        if (got > 0 && wantsWake_.exchange(false, std::memory_order_acq_rel)) sem_post(&wake_);
    }

    const int rate_;
    SpscRing ring_;
    PaStream* stream_ = nullptr;
    bool initialised_ = false;
    std::atomic<bool> suspended_{true};
    sem_t wake_;
    std::atomic<bool> wantsWake_{false};
    std::atomic<std::size_t> largestCallback_{0};
    std::atomic<std::int64_t> latencyNs_{0};
    std::atomic<std::int64_t> lastCallbackNs_{0};
    // A drop of the queue: asked for by the render thread, done by the callback; the
    // plain fields are written before `dropDone_` is set and read after it is seen.
    std::atomic<bool> dropWanted_{false};
    std::atomic<bool> dropDone_{false};
    std::int64_t dropFrom_ = 0;
    std::int64_t dropped_ = 0;
    // Callback side: frames taken from the ring, published under the sequence counter.
    std::int64_t consumed_ = 0;
    std::atomic<std::uint32_t> seq_{0};
    std::atomic<std::int64_t> consumedBefore_{0};
    std::atomic<std::int64_t> consumedAfter_{0};
    std::atomic<std::int64_t> callbackNs_{0};
};

}  // namespace

bool SoundCardsDisabled() {
    const char* mode = std::getenv("NUVTOLVEK_AUDIO");
    return mode && std::strcmp(mode, "null") == 0;
}

void RaiseToRealTime() {
    sched_param param{};
    param.sched_priority =
        std::min(sched_get_priority_min(SCHED_FIFO) + 4, sched_get_priority_max(SCHED_FIFO));
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0) return;
    // Not granted by the kernel: a desktop's RealtimeKit may grant it.
    const auto tid = static_cast<pid_t>(syscall(SYS_gettid));
    if (AskRealtimeKit(tid, param.sched_priority)) return;
    // Nor there: ask for the best ordinary priority there is, and settle for what comes.
    for (int nice = -15; nice <= 0; nice += 5)
        if (setpriority(PRIO_PROCESS, tid, nice) == 0) return;
}

std::unique_ptr<SoundCardSink> OpenSoundCardSink(int rate) {
    if (SoundCardsDisabled()) return nullptr;
    static std::once_flag silenced;
    std::call_once(silenced, SilenceSoundLibraries);
    // The threads that the sound libraries start while the device opens (the sound
    // server's client thread among them, which no call of ours can reach) inherit the
    // opening thread's scheduling: open it at real-time priority where that is granted.
    int policy = SCHED_OTHER;
    sched_param before{};
    pthread_getschedparam(pthread_self(), &policy, &before);
    sched_param param{};
    param.sched_priority =
        std::min(sched_get_priority_min(SCHED_FIFO) + 4, sched_get_priority_max(SCHED_FIFO));
    const bool raised =
        policy == SCHED_OTHER && pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
    // A sound server is played to directly where there is one; PortAudio reaches the
    // sound card (or a server through ALSA) otherwise, or when NUVTOLVEK_OUTPUT=portaudio.
    const char* output = std::getenv("NUVTOLVEK_OUTPUT");
    const bool viaPortAudio = output && std::strcmp(output, "portaudio") == 0;
    std::unique_ptr<SoundCardSink> sink = viaPortAudio ? nullptr : OpenPulseSink(rate);
    if (!sink) {
        auto card = std::make_unique<PortAudioSink>(rate);
        if (card->Open()) sink = std::move(card);
    }
    if (raised) pthread_setschedparam(pthread_self(), policy, &before);
    return sink;
}

}  // namespace audio
