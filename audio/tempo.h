// Time stretching of a playback stream: its speed from 0.5x to 2.0x with the pitch kept,
// through SoundTouch's WSOLA stretcher with settings for speech (40 ms sequences that
// follow syllables closely). Internal to the engine.
//
// The stage sits between the resampler and the effects and works at the output rate. It
// pulls its input from the stage before it and reports what it consumed nominally: every
// output frame stands for `tempo` input frames, which is what the stream's position
// counts. SoundTouch consumes input at exactly that ratio over time; what it holds in
// between (a sequence or two) is the stage's latency, and the nominal count places the
// position within it (measured: within 20 ms of the recording heard) rather than at its
// edge. SetTempo takes effect from the next sequence on; the stream restarts the stage
// instead when a change must be heard at once.
//
// Threads: a stage belongs to one stream and is used under that stream's lock only, on
// the render thread or a control call. SoundTouch allocates as its buffers grow: while it
// warms up, when a faster tempo needs longer input, at the flush at the end. That is why
// it never runs on the sound card's callback, which only copies from a ring.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace soundtouch {
class SoundTouch;
}

namespace audio {

constexpr double kMinTempo = 0.5;
constexpr double kMaxTempo = 2.0;

// True for a tempo the engine plays: 0.5 … 2.0 (NaN is not one).
bool IsPlayableTempo(double tempo);

class TempoStage {
  public:
    // Gives up to `frames` interleaved frames into `out`; 0 when the input has ended.
    using Pull = std::size_t (*)(void* state, float* out, std::size_t frames);

    TempoStage(int rate, int channels);
    ~TempoStage();
    TempoStage(const TempoStage&) = delete;
    TempoStage& operator=(const TempoStage&) = delete;

    // Takes effect with the next frames processed; what is already stretched stays.
    void SetTempo(double tempo);
    double Tempo() const { return tempo_; }

    // Writes up to `count` stretched frames into `out`, pulling input as needed. Fewer
    // than `count` only when the input has ended and everything it gave is out.
    std::size_t Process(float* out, std::size_t count, Pull pull, void* state);

    // Input frames that the output so far stands for (sum of frames out × tempo).
    double NominalInput() const { return nominalInput_; }

    // Forgets every frame held and starts counting afresh (a seek).
    void Clear();

  private:
    std::unique_ptr<soundtouch::SoundTouch> touch_;
    int channels_;
    double tempo_ = 1.0;
    std::vector<float> input_;
    double fed_ = 0.0;           // input frames handed to SoundTouch since Clear
    double nominalInput_ = 0.0;  // input frames the output stands for since Clear
    bool inputEnded_ = false;
};

}  // namespace audio
