// One playback or decoding stream: the file's decoder and the pipeline that turns its
// frames into output blocks (read → mix down to stereo → resample → voice stages →
// time-stretch → effects). Internal to the engine; the engine keeps the handles, the mixer and the
// outputs.
//
// Positions are frames of the recording. The stretcher stays out of the path while the
// tempo is 1.0 (the output is then exactly the resampled recording) and comes in when
// another tempo is asked for. A change while stretching restarts it at the frame heard,
// fading over 6 ms from what the old tempo would have played; a change back to 1.0 does
// the same with the plain path.
//
// Threads: every member is used under `mutex`, by the caller's thread for the control
// calls and by the render thread (or the manual output's caller) for Render.
#pragma once

#include <soxr.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/audio.h"
#include "audio/decoder.h"
#include "audio/equalizer.h"
#include "audio/tempo.h"
#include "audio/voice.h"

namespace audio {

constexpr std::size_t kMaxBlock = 1024;        // frames the mixer renders at once
constexpr std::size_t kResampleChunk = 4096;   // source frames fed to soxr at once
constexpr std::size_t kTempoFadeFrames = 256;  // a tempo change fades in over 6 ms
// The heard clock of an output that has nothing between the mix and the ear.
constexpr std::int64_t kAllHeard = std::numeric_limits<std::int64_t>::max();

struct SoxrDeleter {
    void operator()(soxr_t s) const { soxr_delete(s); }
};

struct Effect {
    HFX handle;
    int priority;
    PeakingBand band;
    ParamEqParams params{8000.0f, 12.0f, 0.0f};  // as last set, for a fade to flat
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
    std::vector<PeakingBand> fading;         // removed bands gliding to flat before they go
    std::int64_t outputFrames = 0;           // output frames given since rendering (re)started
    std::int64_t lastMixEnd = 0;             // output clock after the last block this stream was in
    bool movedWhilePlaying = false;          // what it left queued for the card may go
    double tempo = 1.0;                      // asked for: 0.5 … 2.0
    std::unique_ptr<TempoStage> tempoStage;  // made at the output rate when first needed
    bool stretching = false;                 // the stretcher is in the path
    double stretchedInput = 0.0;             // output-rate frames the stretched output stands for
    std::vector<float> fadeTail;             // the old tempo's frames that a tempo change fades out
    std::size_t fadeCount = 0;
    std::size_t fadeAt = 0;
    VoiceSettings voice;                     // asked for
    std::unique_ptr<VoiceChain> voiceChain;  // made at the output rate when first needed

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
    // The source frame being heard: what has been rendered less what is still on its
    // way to the ear, `heardClock` being the output clock of what is heard now.
    std::int64_t PlaybackFrame(std::int64_t heardClock = kAllHeard) const;
    // Restarts rendering at source frame `frame`.
    bool MoveTo(std::int64_t frame);
    bool PrepareResampler(int outRate);
    // Sets the tempo; it is heard from the next block on.
    void SetTempo(double newTempo);
    // Sets the voice stages; heard from the next block on.
    void SetVoice(const VoiceSettings& newVoice);
    // Adds `count` (≤ kMaxBlock) frames of this stream to the stereo `mix` at `outRate`;
    // `mixEnd` is the output clock at the end of the block. True when it gave sound.
    bool Render(float* mix, std::size_t count, int outRate, std::int64_t mixEnd);
    // Decoding streams: delivers up to `samples` interleaved samples as floats or 16-bit.
    std::size_t ReadDecoded(unsigned char* out, std::size_t samples);

  private:
    static std::size_t ResamplerInput(void* state, soxr_cbuf_t* data, std::size_t requested);
    // The recording at the output rate: up to `count` frames, fewer only at its end.
    std::size_t ReadResampled(float* out, std::size_t count);
    static std::size_t ResampledInput(void* state, float* out, std::size_t frames);
    // The resampled recording through the voice stages, frame for frame.
    std::size_t ReadVoiced(float* out, std::size_t count);
    static std::size_t TempoInput(void* state, float* out, std::size_t frames);
    // A new tempo while the stretcher is in the path: heard at once, without a click.
    void RestartStretch();
};

}  // namespace audio
