// The sound-card output through PortAudio. The callback only copies from a lock-free
// ring that the render thread fills; it never locks, allocates, logs or throws.
#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <portaudio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "audio/output.h"
#include "audio/ring_buffer.h"

namespace audio {
namespace {

// Frames kept ready ahead of the card: with the card's own low latency this keeps the
// whole output latency under 50 ms.
constexpr std::size_t kAheadFrames = 1024;

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
    PortAudioSink() : ring_(kAheadFrames * 2 * 2) {}
    ~PortAudioSink() override {
        if (stream_) {
            Pa_AbortStream(stream_);
            Pa_CloseStream(stream_);
        }
        if (initialised_) Pa_Terminate();
    }
    PortAudioSink(const PortAudioSink&) = delete;
    PortAudioSink& operator=(const PortAudioSink&) = delete;

    bool Open(int rate) {
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
        out.suggestedLatency = std::min(info->defaultLowOutputLatency, 0.02);
        if (Pa_OpenStream(&stream_, nullptr, &out, rate, paFramesPerBufferUnspecified, paClipOff,
                          &PortAudioSink::Callback, this) != paNoError) {
            stream_ = nullptr;
            return false;
        }
        return Pa_StartStream(stream_) == paNoError;
    }

    std::size_t Room() const override {
        const std::size_t queued = (ring_.Capacity() - ring_.FreeSpace()) / 2;
        return queued >= kAheadFrames ? 0 : kAheadFrames - queued;
    }
    void Push(const float* frames, std::size_t count) override { ring_.Write(frames, count * 2); }

  private:
    static int Callback(const void*, void* output, unsigned long frames,
                        const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* self) {
        auto* sink = static_cast<PortAudioSink*>(self);
        auto* out = static_cast<float*>(output);
        const std::size_t wanted = frames * 2;
        const std::size_t got = sink->ring_.Read(out, wanted);
        // An underrun is heard as silence, never waited for.
        for (std::size_t i = got; i < wanted; ++i) out[i] = 0.0f;
        return paContinue;
    }

    SpscRing ring_;
    PaStream* stream_ = nullptr;
    bool initialised_ = false;
};

}  // namespace

std::unique_ptr<SoundCardSink> OpenPortAudioSink(int rate) {
    if (const char* mode = std::getenv("NUVTOLVEK_AUDIO"); mode && std::strcmp(mode, "null") == 0)
        return nullptr;
    static std::once_flag silenced;
    std::call_once(silenced, SilenceSoundLibraries);
    auto sink = std::make_unique<PortAudioSink>();
    if (!sink->Open(rate)) return nullptr;
    return sink;
}

}  // namespace audio
