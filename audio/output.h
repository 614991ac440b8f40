// Output sinks: where the render thread's mixed blocks go. Internal to the engine.
//
// Threads: a sink is opened by OpenDevice, or by the render thread when it finds the
// sound card again; it is closed (destroyed) by the render thread when the card is lost,
// or by CloseDevice once the render thread has ended. Push, Room, WaitForRoom, DropQueued,
// Suspend, Resume and Failed are called from the render thread only; Wake and HeardFrames
// from any thread, under the engine's sink lock, which keeps the sink alive meanwhile. The
// PortAudio callback runs on PortAudio's thread and only reads the lock-free ring and publishes
// counters; the PulseAudio client's thread only wakes the render thread and publishes the
// playback clock.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace audio {

// Whole frames in `ns` nanoseconds at `rate` Hz, and back: exact, and without the
// overflow of a plain product (ns × rate passes 2^63 after some 58 hours).
constexpr std::int64_t FramesIn(std::int64_t ns, int rate) {
    constexpr std::int64_t kSecond = 1'000'000'000;
    return ns / kSecond * rate + ns % kSecond * rate / kSecond;
}
constexpr std::int64_t NanosecondsOf(std::int64_t frames, int rate) {
    constexpr std::int64_t kSecond = 1'000'000'000;
    return frames / rate * kSecond + frames % rate * kSecond / rate;
}

// The render thread hands a sink no fewer frames than this at a time.
constexpr std::size_t kMinTopUp = 64;

class SoundCardSink {
  public:
    virtual ~SoundCardSink() = default;
    // Interleaved stereo frames the sink can take now without exceeding its latency. The
    // amount kept ahead follows the largest callback the device has asked for.
    virtual std::size_t Room() const = 0;
    // Hands over interleaved stereo frames (at most Room()).
    virtual void Push(const float* frames, std::size_t count) = 0;
    // Sleeps until the device has taken enough to want more, Wake() is called, or the
    // timeout passes.
    virtual void WaitForRoom(std::chrono::milliseconds timeout) = 0;
    virtual void Wake() = 0;
    // Frames of those pushed that have reached the ear by now: the device's own latency
    // is taken off what the callback has consumed.
    virtual std::int64_t HeardFrames() const = 0;
    // Frames pushed but not yet taken by the device.
    virtual std::size_t Queued() const = 0;
    // Lets go of what was handed over and not yet played (a sound server's queue included;
    // a sound card's own buffer plays on), so that a pause is heard sooner. Returns the
    // frames dropped and sets `from` to the count of frames before them, all of which are
    // heard; 0 when nothing was dropped (nothing queued, or the device did not answer
    // within `timeout`).
    virtual std::int64_t DropQueued(std::int64_t* from, std::chrono::milliseconds timeout) = 0;
    // Stops and restarts the device while nothing plays, so that idle costs nothing.
    virtual bool Suspend() = 0;
    virtual bool Resume() = 0;
    virtual bool Suspended() const = 0;
    // True when the device is gone: it reported an error, or a running stream has not
    // called back for longer than `silence`.
    virtual bool Failed(std::chrono::milliseconds silence) const = 0;
};

// Opens the system's default output at `rate` Hz stereo: the PulseAudio server when one is
// reachable, PortAudio's default device otherwise (or always, with NUVTOLVEK_OUTPUT=portaudio).
// Null when there is neither or NUVTOLVEK_AUDIO=null; prints nothing either way.
std::unique_ptr<SoundCardSink> OpenSoundCardSink(int rate);

// The PulseAudio server's default sink, or null when no server answers.
std::unique_ptr<SoundCardSink> OpenPulseSink(int rate);

// True when NUVTOLVEK_AUDIO=null keeps the program off every sound card.
bool SoundCardsDisabled();

// Raises the calling thread to real-time scheduling if the system grants it, directly or
// through RealtimeKit; keeps the ordinary priority quietly otherwise.
void RaiseToRealTime();

}  // namespace audio
