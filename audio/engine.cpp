// The sound engine behind audio.h: handles, streams, the mixer and the outputs.
//
// Locking: `registry` guards the handle tables and is held only for look-ups; each stream
// has its own mutex for its state and its decoder, so the envelope worker decoding its
// stream never holds up the render thread mixing the playback stream. `device` serialises
// opening, closing and advancing the output; `mixing` serialises the mixer itself; `sink`
// guards the sound card's sink and its clock base; `renderWake` the render thread's sleep.
// Order: device → mixing → (registry | a stream's mutex | sink). Registry, a stream's
// mutex, sink and renderWake are each taken last: nothing is locked while one is held,
// and no two of them are held at once.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "audio/audio.h"
#include "audio/decoder.h"
#include "audio/equalizer.h"
#include "audio/output.h"
#include "audio/stream.h"

namespace audio {
namespace {

constexpr std::size_t kNullBlock = 512;     // frames per step of the paced null output
constexpr std::size_t kStartSilence = 256;  // frames of silence before a sound card starts
constexpr std::uint32_t kLengthMask = 0x0FFFFFFF;
// A sound card whose callbacks stop for this long is taken as lost.
constexpr auto kLostAfter = std::chrono::milliseconds(500);
// A lost or missing sound card is looked for again this often.
constexpr auto kRetryEvery = std::chrono::seconds(2);
// Nothing played for this long: the sound card is stopped until a stream plays.
constexpr auto kSuspendAfter = std::chrono::seconds(1);

enum class OutputKind { None, Manual, Null, SoundCard };

class Engine {
  public:
    ~Engine() { Close(); }

    // ---- output ----
    bool Open(OutputKind kind, std::uint32_t freq) {
        std::lock_guard device(deviceMutex_);
        if (kind_ != OutputKind::None) return false;
        const int rate = freq >= 8000 && freq <= 384000 ? static_cast<int>(freq) : 44100;
        std::unique_ptr<SoundCardSink> sink;
        if (kind == OutputKind::SoundCard) {
            sink = OpenSoundCardSink(rate);
            if (!sink) return false;
        }
        {
            std::lock_guard mixing(mixingMutex_);
            outputRate_ = rate;
        }
        volume_.store(1.0f);
        kind_ = kind;
        {
            std::lock_guard lock(sinkMutex_);
            sink_ = std::move(sink);
            sinkBase_ = mixClock_.load();
        }
        if (kind == OutputKind::Null || kind == OutputKind::SoundCard) {
            stopRender_ = false;
            kicked_ = false;
            renderThread_ = std::thread([this] { RunOutput(); });
        }
        return true;
    }

    bool IsOpen() {
        std::lock_guard device(deviceMutex_);
        return kind_ != OutputKind::None;
    }

    // The null output goes on as it is, but the default device is looked for every
    // couple of seconds and taken over when it appears.
    bool RetryDefaultDevice() {
        std::lock_guard device(deviceMutex_);
        if (kind_ != OutputKind::Null || SoundCardsDisabled()) return false;
        if (!reconnecting_.exchange(true)) losses_.fetch_add(1);
        Kick();
        return true;
    }

    std::uint32_t Losses() const { return losses_.load(); }
    bool Reconnecting() const { return reconnecting_.load(); }

    // A stream was paused or stopped: the render thread lets go of the sound queued for
    // the card that no one will hear now, so the halt is heard sooner.
    void Halted() {
        dropAsked_.store(true);
        Kick();
    }

    // Wakes the render thread: a stream was told to play.
    void Kick() {
        {
            std::lock_guard lock(renderWakeMutex_);
            kicked_ = true;
        }
        renderWake_.notify_all();
        std::lock_guard lock(sinkMutex_);
        if (sink_) sink_->Wake();
    }

    // The output clock of what reaches the ear now.
    std::int64_t HeardClock() {
        std::lock_guard lock(sinkMutex_);
        if (!sink_) return kAllHeard;
        return sinkBase_ + sink_->HeardFrames();
    }

    void Close() {
        std::lock_guard device(deviceMutex_);
        if (renderThread_.joinable()) {
            {
                std::lock_guard lock(renderWakeMutex_);
                stopRender_ = true;
            }
            renderWake_.notify_all();
            {
                std::lock_guard lock(sinkMutex_);
                if (sink_) sink_->Wake();
            }
            renderThread_.join();
        }
        std::unique_ptr<SoundCardSink> sink;
        {
            std::lock_guard lock(sinkMutex_);
            sink = std::move(sink_);
        }
        sink.reset();
        reconnecting_ = false;
        kind_ = OutputKind::None;
        volume_.store(1.0f);
        std::vector<std::shared_ptr<Stream>> doomed;
        {
            std::lock_guard registry(registryMutex_);
            for (auto& [handle, stream] : streams_) doomed.push_back(stream);
            streams_.clear();
            effects_.clear();
            playback_.clear();
        }
        for (auto& stream : doomed) Retire(*stream);
    }

    std::size_t Advance(std::size_t frames, std::vector<float>* mix) {
        std::lock_guard device(deviceMutex_);
        if (kind_ != OutputKind::Manual) return 0;
        float block[kMaxBlock * 2];
        std::size_t done = 0;
        if (mix) mix->reserve(mix->size() + frames * 2);
        while (done < frames) {
            const std::size_t n = std::min(kMaxBlock, frames - done);
            MixBlock(block, n);
            if (mix) mix->insert(mix->end(), block, block + n * 2);
            done += n;
        }
        return done;
    }

    bool SetVolume(float volume) {
        if (!(volume >= 0.0f && volume <= 1.0f)) return false;
        volume_.store(volume);
        return true;
    }

    // ---- handles ----
    HSTREAM AddStream(std::shared_ptr<Stream> stream) {
        std::lock_guard registry(registryMutex_);
        const HSTREAM handle = NextHandle();
        if (!stream->decodeOnly) playback_.push_back(stream);
        streams_.emplace(handle, std::move(stream));
        return handle;
    }

    std::shared_ptr<Stream> Find(HSTREAM handle) {
        if (handle == 0) return nullptr;
        std::lock_guard registry(registryMutex_);
        auto it = streams_.find(handle);
        return it == streams_.end() ? nullptr : it->second;
    }

    bool Free(HSTREAM handle) {
        std::shared_ptr<Stream> stream;
        {
            std::lock_guard registry(registryMutex_);
            auto it = streams_.find(handle);
            if (handle == 0 || it == streams_.end()) return false;
            stream = it->second;
            streams_.erase(it);
            std::erase(playback_, stream);
            std::erase_if(effects_,
                          [&](const auto& entry) { return entry.second.lock() == stream; });
        }
        bool cut = false;
        {
            // A stream freed while it sounds is cut as by a pause: what it left queued for
            // the card goes. One that reached its end plays its last frames out.
            std::lock_guard lock(stream->mutex);
            cut = !stream->decodeOnly && !stream->ended;
        }
        Retire(*stream);
        if (cut) Halted();
        return true;
    }

    HFX AddEffect(HSTREAM handle, int priority) {
        auto stream = Find(handle);
        if (!stream || stream->decodeOnly) return 0;
        HFX fx;
        {
            std::lock_guard registry(registryMutex_);
            if (!streams_.contains(handle)) return 0;
            fx = NextHandle();
            effects_.emplace(fx, stream);
        }
        std::lock_guard lock(stream->mutex);
        if (!stream->alive) return 0;
        // Higher priority first, equal priorities in the order they were added.
        auto at = std::find_if(stream->effects.begin(), stream->effects.end(),
                               [&](const Effect& e) { return e.priority < priority; });
        stream->effects.insert(at, Effect{fx, priority, PeakingBand{}, {}});
        return fx;
    }

    bool ResetEffects(HSTREAM handle) {
        auto stream = Find(handle);
        if (!stream) return false;
        {
            std::lock_guard registry(registryMutex_);
            std::erase_if(effects_,
                          [&](const auto& entry) { return entry.second.lock() == stream; });
        }
        std::lock_guard lock(stream->mutex);
        if (!stream->alive) return false;
        // Bands that were shaping the sound glide to flat rather than vanish in a click.
        for (Effect& e : stream->effects) {
            if (e.band.IsFlat()) continue;
            e.band.SetParameters(e.params.fCenter, e.params.fBandwidth, 0.0f);
            stream->fading.push_back(e.band);
        }
        stream->effects.clear();
        return true;
    }

    bool SetEffect(HFX fx, const ParamEqParams* params) {
        if (fx == 0 || !params) return false;
        std::shared_ptr<Stream> stream;
        {
            std::lock_guard registry(registryMutex_);
            auto it = effects_.find(fx);
            if (it == effects_.end()) return false;
            stream = it->second.lock();
        }
        if (!stream) return false;
        const ParamEqParams p = *params;
        if (!(p.fCenter >= kEqMinCentre && p.fCenter <= kEqMaxCentre) ||
            !(p.fBandwidth >= kEqMinBandwidth && p.fBandwidth <= kEqMaxBandwidth) ||
            !(p.fGain >= kEqMinGain && p.fGain <= kEqMaxGain))
            return false;
        std::lock_guard lock(stream->mutex);
        for (Effect& e : stream->effects) {
            if (e.handle == fx) {
                e.band.SetParameters(p.fCenter, p.fBandwidth, p.fGain);
                e.params = p;
                return true;
            }
        }
        return false;
    }

    int OutputRate() {
        std::lock_guard mixing(mixingMutex_);
        return outputRate_;
    }

  private:
    HSTREAM NextHandle() {
        // Handles are never reused, so a stale one can never reach a new stream.
        if (++lastHandle_ == 0) ++lastHandle_;
        return lastHandle_;
    }

    static void Retire(Stream& stream) {
        std::lock_guard lock(stream.mutex);
        stream.alive = false;
        stream.activity = ACTIVE_STOPPED;
        stream.resampler.reset();
        stream.decoder.reset();  // closes the file now, whoever still holds the stream
        stream.effects.clear();
        stream.fading.clear();
    }

    // Runs `body` on every playback stream under its lock; the caller holds `mixing`.
    template <typename Body>
    void ForEachPlaybackStream(Body body) {
        {
            std::lock_guard registry(registryMutex_);
            mixList_.assign(playback_.begin(), playback_.end());
        }
        for (auto& stream : mixList_) {
            std::lock_guard lock(stream->mutex);
            body(*stream);
        }
        mixList_.clear();
    }

    // Takes every stream with sound past output clock `clock` back to the frame it had
    // there, so that it goes on from exactly there; the caller holds `mixing`.
    void RewindStreamsTo(std::int64_t clock) {
        ForEachPlaybackStream([clock](Stream& stream) {
            if (!stream.alive || stream.ended || stream.lastMixEnd <= clock) return;
            stream.MoveTo(stream.PlaybackFrame(clock));
            stream.lastMixEnd = clock;
        });
    }

    // Mixes `count` (≤ kMaxBlock) stereo frames of every playing stream into `out`. True
    // when any stream gave sound; the output clock moves on only then.
    bool MixBlock(float* out, std::size_t count) {
        std::lock_guard mixing(mixingMutex_);
        std::fill(out, out + count * 2, 0.0f);
        const std::int64_t end = mixClock_.load() + static_cast<std::int64_t>(count);
        bool sounded = false;
        ForEachPlaybackStream(
            [&](Stream& stream) { sounded |= stream.Render(out, count, outputRate_, end); });
        if (sounded) mixClock_.store(end);
        const float volume = volume_.load();
        if (volume != 1.0f)
            for (std::size_t i = 0; i < count * 2; ++i) out[i] *= volume;
        return sounded;
    }

    // Mixes as much as the sound card has room for and hands it over. True when any
    // stream gave sound.
    bool TopUp(SoundCardSink& sink, float* block) {
        bool sounded = false;
        for (std::size_t room = sink.Room(); room >= kMinTopUp;) {
            const std::size_t n = std::min(room, kMaxBlock);
            if (!MixBlock(block, n)) break;
            sounded = true;
            Clip(block, n);
            sink.Push(block, n);
            room -= n;
        }
        return sounded;
    }

    // After a pause or stop: the sound queued for the card and not yet taken by it is
    // dropped, and the streams it came from go back to its first frame, so that they go
    // on from exactly there. Only when every stream with sound in the queue was halted;
    // with one still playing, or at its natural end, the queue plays out as it is.
    void DropUnheard(SoundCardSink& sink) {
        {
            std::lock_guard mixing(mixingMutex_);
            const std::int64_t queuedFrom =
                mixClock_.load() - static_cast<std::int64_t>(sink.Queued());
            bool allHalted = true;
            ForEachPlaybackStream([&](const Stream& stream) {
                if (stream.alive && stream.lastMixEnd > queuedFrom &&
                    (stream.activity == ACTIVE_PLAYING || stream.ended))
                    allHalted = false;
            });
            if (!allHalted) return;
        }
        std::int64_t from = 0;
        if (sink.DropQueued(&from, std::chrono::milliseconds(200)) == 0) return;
        std::lock_guard mixing(mixingMutex_);
        std::int64_t cut = 0;
        {
            std::lock_guard lock(sinkMutex_);
            cut = sinkBase_ + from;
        }
        RewindStreamsTo(cut);
        // The dropped frames never reach the card: the output clock goes on from the cut.
        mixClock_.store(cut);
    }

    enum class Start { NothingPlays, Started, Failed };

    // Starts the stopped sound card once a stream has sound for it: a moment of silence
    // first (the very first frames of a starting stream can be lost on the way to the
    // server), then as much sound as the device takes at once when it starts, so that
    // the start has no hole.
    Start StartSoundCard(SoundCardSink& sink, float* block) {
        static constexpr float kSilence[2 * kStartSilence] = {};
        const std::size_t room = sink.Room();
        if (room < kStartSilence + kMinTopUp) return Start::NothingPlays;
        const std::size_t n = std::min(room - kStartSilence, kMaxBlock);
        if (!MixBlock(block, n)) return Start::NothingPlays;
        {
            // The silence is no part of the output clock.
            std::lock_guard lock(sinkMutex_);
            sinkBase_ -= static_cast<std::int64_t>(kStartSilence);
        }
        sink.Push(kSilence, kStartSilence);
        Clip(block, n);
        sink.Push(block, n);
        TopUp(sink, block);
        return sink.Resume() ? Start::Started : Start::Failed;
    }

    static void Clip(float* block, std::size_t frames) {
        for (std::size_t i = 0; i < frames * 2; ++i) block[i] = std::clamp(block[i], -1.0f, 1.0f);
    }

    // Waits on the render thread until a stream is told to play, `until` passes or the
    // output closes. False when it closes.
    bool SleepUntilKicked(std::chrono::steady_clock::time_point until) {
        std::unique_lock lock(renderWakeMutex_);
        renderWake_.wait_until(lock, until, [this] { return stopRender_ || kicked_; });
        kicked_ = false;
        return !stopRender_;
    }

    bool Stopping() {
        std::lock_guard lock(renderWakeMutex_);
        return stopRender_;
    }

    // The render thread of the null output and the sound card. While nothing plays it
    // sleeps until a stream is told to play (the sound card is stopped after a second of
    // that). A lost sound card halts playback where it was heard and is looked for again
    // every couple of seconds, as is a missing one behind the null output.
    void RunOutput() {
        using Clock = std::chrono::steady_clock;
        RaiseToRealTime();
        const int rate = OutputRate();
        float block[kMaxBlock * 2];
        Clock::time_point nullStart = Clock::now();
        std::int64_t nullRendered = 0;
        Clock::time_point lastSound = Clock::now();
        Clock::time_point nextRetry = Clock::now();
        bool nullOutput = kind_ == OutputKind::Null;
        SoundCardSink* sink = nullptr;
        {
            std::lock_guard lock(sinkMutex_);
            sink = sink_.get();
        }
        while (!Stopping()) {
            const auto now = Clock::now();
            if (reconnecting_.load() && now >= nextRetry) {
                nextRetry = now + kRetryEvery;
                if (auto found = OpenSoundCardSink(rate)) {
                    std::lock_guard lock(sinkMutex_);
                    sink_ = std::move(found);
                    sinkBase_ = mixClock_.load();
                    sink = sink_.get();
                    nullOutput = false;
                    reconnecting_ = false;
                    lastSound = Clock::now();
                }
                continue;
            }
            if (sink) {
                if (sink->Failed(kLostAfter)) {
                    LoseSoundCard();
                    sink = nullptr;
                    nextRetry = Clock::now() + kRetryEvery;
                    continue;
                }
                if (sink->Suspended()) {
                    switch (StartSoundCard(*sink, block)) {
                        case Start::Started:
                            lastSound = Clock::now();
                            break;
                        case Start::Failed:
                            LoseSoundCard();
                            sink = nullptr;
                            nextRetry = Clock::now() + kRetryEvery;
                            break;
                        case Start::NothingPlays:
                            if (!SleepUntilKicked(Clock::now() + std::chrono::hours(1))) return;
                            break;
                    }
                    continue;
                }
                if (dropAsked_.exchange(false)) DropUnheard(*sink);
                std::size_t room = sink->Room();
                if (room < kMinTopUp) {
                    // Full: whatever plays, nothing is due until the device takes more.
                    sink->WaitForRoom(std::chrono::milliseconds(100));
                    continue;
                }
                if (TopUp(*sink, block)) {
                    lastSound = Clock::now();
                    sink->WaitForRoom(std::chrono::milliseconds(100));
                } else if (const std::size_t queued = sink->Queued(); queued > 0) {
                    // The last sound is still on its way out: wait for it, or for a play.
                    const auto left = std::chrono::microseconds(
                        static_cast<std::int64_t>(queued) * 1'000'000 / rate + 1000);
                    if (!SleepUntilKicked(Clock::now() + left)) break;
                } else if (Clock::now() - lastSound > kSuspendAfter) {
                    sink->Suspend();
                } else if (!SleepUntilKicked(Clock::now() + std::chrono::milliseconds(250))) {
                    break;
                }
                continue;
            }
            if (nullOutput) {
                // Consumes sound in real time, with no sound card.
                if (!MixBlock(block, kNullBlock)) {
                    const auto wake =
                        reconnecting_.load() ? nextRetry : now + std::chrono::hours(1);
                    if (!SleepUntilKicked(wake)) break;
                    nullStart = Clock::now();
                    nullRendered = 0;
                    continue;
                }
                nullRendered += static_cast<std::int64_t>(kNullBlock);
                auto due = nullStart + std::chrono::nanoseconds(NanosecondsOf(nullRendered, rate));
                if (Clock::now() - due > std::chrono::milliseconds(200)) {
                    // Far behind (a stopped debugger, a loaded machine): catch up, don't race.
                    nullStart = Clock::now();
                    nullRendered = 0;
                    due = nullStart;
                }
                std::unique_lock lock(renderWakeMutex_);
                renderWake_.wait_until(lock, due, [this] { return stopRender_; });
                continue;
            }
            // The sound card is lost: nothing plays until it is back.
            if (!SleepUntilKicked(nextRetry)) break;
        }
    }

    // Halts every playing stream at the frame last heard and lets the sound card go; the
    // streams stay playing and go on from there when a device is found again.
    void LoseSoundCard() {
        const std::int64_t heard = HeardClock();
        {
            std::lock_guard mixing(mixingMutex_);
            RewindStreamsTo(heard);
        }
        std::unique_ptr<SoundCardSink> lost;
        {
            std::lock_guard lock(sinkMutex_);
            lost = std::move(sink_);
        }
        lost.reset();
        losses_.fetch_add(1);
        reconnecting_ = true;
    }

    std::mutex deviceMutex_;
    OutputKind kind_ = OutputKind::None;
    std::thread renderThread_;
    std::mutex renderWakeMutex_;
    std::condition_variable renderWake_;
    bool stopRender_ = false;
    bool kicked_ = false;
    std::atomic<bool> reconnecting_{false};
    std::atomic<std::uint32_t> losses_{0};
    std::atomic<bool> dropAsked_{false};

    // The sound card, replaced by the render thread when it is lost and found again;
    // `sinkBase_` is the output clock at its first frame.
    std::mutex sinkMutex_;
    std::unique_ptr<SoundCardSink> sink_;
    std::int64_t sinkBase_ = 0;

    std::mutex mixingMutex_;
    int outputRate_ = 44100;
    std::vector<std::shared_ptr<Stream>> mixList_;
    std::atomic<float> volume_{1.0f};
    std::atomic<std::int64_t> mixClock_{0};  // output frames that carried sound so far

    std::mutex registryMutex_;
    HSTREAM lastHandle_ = 0;
    std::unordered_map<HSTREAM, std::shared_ptr<Stream>> streams_;
    std::unordered_map<HFX, std::weak_ptr<Stream>> effects_;
    std::vector<std::shared_ptr<Stream>> playback_;
};

Engine& TheEngine() {
    // Never destroyed: the program never shuts the library down, and its envelope worker
    // may still be decoding while the process exits. The output ends with the process.
    static Engine* const engine = new Engine;
    return *engine;
}

// Runs `body` on a live stream under its lock; `fail` otherwise.
template <typename Result, typename Body>
Result WithStream(HSTREAM handle, Result fail, Body body) {
    auto stream = TheEngine().Find(handle);
    if (!stream) return fail;
    std::lock_guard lock(stream->mutex);
    if (!stream->alive) return fail;
    return body(*stream);
}

}  // namespace

bool OpenDevice(int device, std::uint32_t freq, std::uint32_t, void*, const void*) {
    if (device == DEVICE_NULL) return TheEngine().Open(OutputKind::Null, freq);
    if (device == DEVICE_DEFAULT) return TheEngine().Open(OutputKind::SoundCard, freq);
    return false;
}

bool SetMasterVolume(float volume) {
    return TheEngine().SetVolume(volume);
}

bool StartOutput() {
    return TheEngine().IsOpen();
}

HSTREAM OpenFileStream(bool mem, const std::string& file, std::uint64_t offset,
                       std::uint64_t length, std::uint32_t flags) {
    if (mem || file.empty() || offset != 0 || length != 0) return 0;
    auto decoder = OpenDecoder(file, (flags & STREAM_DECODE) != 0 && (flags & STREAM_MONO) != 0);
    if (!decoder) return 0;
    auto stream = std::make_shared<Stream>();
    stream->flags = flags;
    stream->decodeOnly = (flags & STREAM_DECODE) != 0;
    stream->floatSamples = (flags & SAMPLE_FLOAT) != 0;
    stream->rate = decoder->Rate();
    stream->sourceChannels = decoder->Channels();
    stream->channels = std::min(stream->sourceChannels, 2);
    stream->frames = decoder->Frames();
    stream->decoder = std::move(decoder);
    if (stream->rate <= 0 || stream->channels <= 0 || stream->frames <= 0) return 0;
    return TheEngine().AddStream(std::move(stream));
}

bool FreeStream(HSTREAM stream) {
    return TheEngine().Free(stream);
}

bool PlayStream(HSTREAM handle, bool restart) {
    const bool played = WithStream(handle, false, [&](Stream& s) {
        if (s.decodeOnly) return false;
        if (restart && !s.MoveTo(0)) return false;
        // A stream at its end stays stopped: there is nothing left to play.
        s.activity = s.ended ? ACTIVE_STOPPED : ACTIVE_PLAYING;
        return true;
    });
    // The render thread sleeps while nothing plays.
    if (played) TheEngine().Kick();
    return played;
}

bool StopStream(HSTREAM handle) {
    const bool stopped = WithStream(handle, false, [&](Stream& s) {
        if (s.decodeOnly) return false;
        s.activity = ACTIVE_STOPPED;
        return true;
    });
    if (stopped) TheEngine().Halted();
    return stopped;
}

bool PauseStream(HSTREAM handle) {
    const bool paused = WithStream(handle, false, [&](Stream& s) {
        // Only a playing stream can be paused; a stopped or ended one stays stopped.
        if (s.decodeOnly || s.activity == ACTIVE_STOPPED) return false;
        s.activity = ACTIVE_PAUSED;
        return true;
    });
    if (paused) TheEngine().Halted();
    return paused;
}

std::uint32_t StreamActivity(HSTREAM handle) {
    return WithStream(handle, ACTIVE_STOPPED, [&](Stream& s) {
        if (s.decodeOnly)
            return s.samplesDelivered < s.frames * s.channels ? ACTIVE_PLAYING : ACTIVE_STOPPED;
        return s.activity;
    });
}

std::uint64_t StreamLength(HSTREAM handle, std::uint32_t mode) {
    if (mode != POS_BYTE) return BAD_POSITION;
    return WithStream(handle, BAD_POSITION, [&](Stream& s) {
        return static_cast<std::uint64_t>(s.frames) * s.BytesPerFrame();
    });
}

std::uint64_t StreamPosition(HSTREAM handle, std::uint32_t mode) {
    if (mode != POS_BYTE) return BAD_POSITION;
    const std::int64_t heard = TheEngine().HeardClock();
    return WithStream(handle, BAD_POSITION, [&](Stream& s) -> std::uint64_t {
        if (s.decodeOnly)
            return static_cast<std::uint64_t>(s.samplesDelivered) * s.BytesPerSample();
        return static_cast<std::uint64_t>(s.PlaybackFrame(heard)) * s.BytesPerFrame();
    });
}

double BytesToSeconds(HSTREAM handle, std::uint64_t bytes) {
    return WithStream(handle, -1.0, [&](Stream& s) {
        return static_cast<double>(bytes) /
               (static_cast<double>(s.rate) * static_cast<double>(s.BytesPerFrame()));
    });
}

bool SeekStream(HSTREAM handle, std::uint64_t position, std::uint32_t mode) {
    if (mode != POS_BYTE) return false;
    return WithStream(handle, false, [&](Stream& s) {
        const std::uint64_t frame = position / s.BytesPerFrame();
        if (frame > static_cast<std::uint64_t>(s.frames)) return false;
        const auto target = static_cast<std::int64_t>(frame);
        if (s.decodeOnly) {
            if (!s.SeekSource(target)) return false;
            s.samplesDelivered = target * s.channels;
            s.pendingCount = s.pendingOffset = 0;
            return true;
        }
        return s.MoveTo(target);
    });
}

bool SetStreamTempo(HSTREAM handle, double tempo) {
    if (!IsPlayableTempo(tempo)) return false;
    return WithStream(handle, false, [&](Stream& s) {
        if (s.decodeOnly) return false;
        s.SetTempo(tempo);
        return true;
    });
}

double StreamTempo(HSTREAM handle) {
    return WithStream(handle, 0.0, [&](Stream& s) { return s.decodeOnly ? 0.0 : s.tempo; });
}

bool SetStreamVoice(HSTREAM handle, const VoiceSettings& voice) {
    if (static_cast<unsigned>(voice.channel) > static_cast<unsigned>(VoiceChannel::Mix) ||
        static_cast<unsigned>(voice.noise) > static_cast<unsigned>(VoiceNoise::Strong))
        return false;
    return WithStream(handle, false, [&](Stream& s) {
        if (s.decodeOnly) return false;
        s.SetVoice(voice);
        return true;
    });
}

bool StreamVoice(HSTREAM handle, VoiceSettings* voice) {
    if (!voice) return false;
    return WithStream(handle, false, [&](Stream& s) {
        if (s.decodeOnly) return false;
        *voice = s.voice;
        return true;
    });
}

bool ResetStreamEffects(HSTREAM stream) {
    return TheEngine().ResetEffects(stream);
}

HFX AddStreamEffect(HSTREAM stream, std::uint32_t type, int priority) {
    if (type != FX_PARAMEQ) return 0;
    return TheEngine().AddEffect(stream, priority);
}

bool SetEffectParameters(HFX effect, const void* parameters) {
    return TheEngine().SetEffect(effect, static_cast<const ParamEqParams*>(parameters));
}

bool StreamInfo(HSTREAM handle, StreamInfoRecord* info) {
    if (!info) return false;
    return WithStream(handle, false, [&](Stream& s) {
        info->freq = static_cast<std::uint32_t>(s.rate);
        info->chans = static_cast<std::uint32_t>(s.channels);
        info->flags = s.flags;
        return true;
    });
}

std::uint32_t ReadDecodedData(HSTREAM handle, void* buffer, std::uint32_t length) {
    if (!buffer) return BAD_READ;
    return WithStream(handle, BAD_READ, [&](Stream& s) -> std::uint32_t {
        if (!s.decodeOnly) return BAD_READ;
        const std::size_t bytes = length & kLengthMask;
        const std::size_t samples = bytes / static_cast<std::size_t>(s.BytesPerSample());
        const std::size_t got = s.ReadDecoded(static_cast<unsigned char*>(buffer), samples);
        return static_cast<std::uint32_t>(got * static_cast<std::size_t>(s.BytesPerSample()));
    });
}

bool OpenManualOutput(std::uint32_t freq) {
    return TheEngine().Open(OutputKind::Manual, freq);
}

std::size_t AdvanceManualOutput(std::size_t frames, std::vector<float>* mix) {
    return TheEngine().Advance(frames, mix);
}

void CloseDevice() {
    TheEngine().Close();
}

bool RetryDefaultDevice() {
    return TheEngine().RetryDefaultDevice();
}

std::uint32_t OutputLosses() {
    return TheEngine().Losses();
}

bool OutputReconnecting() {
    return TheEngine().Reconnecting();
}

}  // namespace audio
