// One playback or decoding stream: the file's decoder and the pipeline that turns its
// frames into output blocks (read → mix down to stereo → resample → effects). Internal to
// the engine; the engine keeps the handles, the mixer and the outputs.
//
// Threads: every member is used under `mutex`, by the caller's thread for the control
// calls and by the render thread (or the manual output's caller) for Render.
#pragma once

#include <soxr.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/audio.h"
#include "audio/decoder.h"
#include "audio/equalizer.h"

namespace audio {

constexpr std::size_t kMaxBlock = 1024;       // frames the mixer renders at once
constexpr std::size_t kResampleChunk = 4096;  // source frames fed to soxr at once

struct SoxrDeleter {
    void operator()(soxr_t s) const { soxr_delete(s); }
};

struct Effect {
    HFX handle;
    int priority;
    PeakingBand band;
};

class Stream {
  public:
    std::mutex mutex;
    bool alive = true;  // false once freed; the mixer may still hold a reference
    bool decodeOnly = false;
    bool floatSamples = false;
    std::uint32_t flags = 0;
    std::unique_ptr<Decoder> decoder;
    int rate = 0;
    int sourceChannels = 0;
    int channels = 0;  // after mixing more than two channels down to stereo
    std::int64_t frames = 0;

    // Source reading, exact to the frame: `readFrame` is where the decoder is.
    std::int64_t readFrame = 0;
    std::vector<float> mixdownScratch;

    // Playback.
    std::uint32_t activity = ACTIVE_STOPPED;
    bool ended = false;
    std::int64_t baseFrame = 0;       // source frame where rendering last (re)started
    std::int64_t renderedFrames = 0;  // output frames rendered since then
    int outputRate = 0;               // rate the resampler was made for
    std::unique_ptr<struct soxr, SoxrDeleter> resampler;
    std::vector<float> resampleInput;
    std::vector<float> block;
    std::vector<Effect> effects;

    // Decoding streams: samples delivered, and the rest of a frame cut by a read.
    std::int64_t samplesDelivered = 0;
    float pendingFrame[2] = {0, 0};
    int pendingCount = 0;
    int pendingOffset = 0;

    int BytesPerSample() const { return decodeOnly && floatSamples ? 4 : 2; }
    std::uint64_t BytesPerFrame() const {
        return static_cast<std::uint64_t>(channels) * static_cast<std::uint64_t>(BytesPerSample());
    }

    // Reads up to `count` frames of `channels` channels at `readFrame`; exactly `frames`
    // frames in all, padding with silence when the decoder gives out early.
    std::size_t ReadSource(float* out, std::size_t count);
    bool SeekSource(std::int64_t frame);
    // The source frame of what has been rendered so far.
    std::int64_t PlaybackFrame() const;
    // Restarts rendering at source frame `frame`.
    bool MoveTo(std::int64_t frame);
    bool PrepareResampler(int outRate);
    // Adds `count` (≤ kMaxBlock) frames of this stream to the stereo `mix` at `outRate`.
    void Render(float* mix, std::size_t count, int outRate);
    // Decoding streams: delivers up to `samples` interleaved samples as floats or 16-bit.
    std::size_t ReadDecoded(unsigned char* out, std::size_t samples);

  private:
    static std::size_t ResamplerInput(void* state, soxr_cbuf_t* data, std::size_t requested);
};

}  // namespace audio
