// Output sinks: where the render thread's mixed blocks go. Internal to the engine.
//
// Threads: Open/Close from the engine's control calls (serialised by the engine); Push
// from the render thread only; the PortAudio callback runs on PortAudio's thread and
// only reads the lock-free ring.
#pragma once

#include <cstddef>
#include <memory>

namespace audio {

class SoundCardSink {
  public:
    virtual ~SoundCardSink() = default;
    // Interleaved stereo frames the sink can take now without exceeding its latency.
    virtual std::size_t Room() const = 0;
    // Hands over interleaved stereo frames (at most Room()).
    virtual void Push(const float* frames, std::size_t count) = 0;
};

// Opens the system's default output through PortAudio at `rate` Hz stereo. Null when
// there is no sound card or NUVTOLVEK_AUDIO=null; prints nothing either way.
std::unique_ptr<SoundCardSink> OpenPortAudioSink(int rate);

}  // namespace audio
