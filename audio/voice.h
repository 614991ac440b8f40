// The voice stages of a playback stream, between the resampler and the stretcher, at the
// output rate: channel choice, noise reduction (speexdsp's preprocessor, one state per
// channel) and speech levelling (a slow gain toward one loudness with a peak guard).
// Internal to the engine.
//
// Each stage is bypassed when off: its samples are then exactly its input (the latency
// stages delay it by exactly their latency). Switching a stage on or off crossfades
// between its input and its output over kVoiceGlideSeconds, so a change never clicks.
// The chain compensates the latency: it reads that many frames ahead when it engages, so
// frame n out is frame n in, and it gives back the frames it holds at the end or when it
// disengages. A seek (Reset) forgets what it holds.
//
// Threads: a chain belongs to one stream and is used under that stream's lock only. It
// allocates when made, never while processing.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "audio/audio.h"

struct SpeexPreprocessState_;

namespace audio {

constexpr double kVoiceGlideSeconds = 0.02;

// A gain that moves linearly to its target over a given number of frames.
class Ramp {
  public:
    void Go(float target, std::size_t frames);
    void Jump() { value_ = target_; }
    float Next();
    float Value() const { return value_; }
    float Target() const { return target_; }
    bool Moving() const { return value_ != target_; }

  private:
    float value_ = 0, target_ = 0, step_ = 0;
};

class ChannelStage {
  public:
    explicit ChannelStage(int rate);
    void Set(VoiceChannel channel);
    VoiceChannel Channel() const { return channel_; }
    // Both sides as they are and not gliding: the identity.
    bool IsIdentity() const;
    // The goal makes both sides equal (a mono stream counts as such).
    bool MakesMono() const { return channel_ != VoiceChannel::Both; }
    void Process(float* data, std::size_t frames, int channels);
    void Finish();  // a glide under way ends at its goal

  private:
    VoiceChannel channel_ = VoiceChannel::Both;
    std::size_t glideFrames_;
    float m_[4] = {1, 0, 0, 1};  // left out = m0 L + m1 R, right out = m2 L + m3 R
    float goal_[4] = {1, 0, 0, 1};
    float step_[4] = {0, 0, 0, 0};
    std::size_t glideLeft_ = 0;
};

// Frame n out is frame n − Latency() in, denoised in proportion to the crossfade.
class NoiseStage {
  public:
    NoiseStage(int rate, int channels);
    ~NoiseStage();
    NoiseStage(const NoiseStage&) = delete;
    NoiseStage& operator=(const NoiseStage&) = delete;

    void SetStrength(VoiceNoise strength);
    bool Idle() const { return strength_ == VoiceNoise::Off && !mix_.Moving(); }
    // A frame gathered here, and one more inside speexdsp's overlap-add.
    std::size_t Latency() const { return 2 * frame_; }
    void Process(float* data, std::size_t frames);
    void Clear();  // forgets the frames held; a crossfade ends at its goal

  private:
    struct StateDeleter {
        void operator()(SpeexPreprocessState_* s) const;
    };
    void RunFrame();

    int channels_;
    std::size_t frame_;  // speexdsp's frame: 3 ms
    std::size_t glideFrames_;
    std::size_t pos_ = 0;
    std::vector<float> in_, mid_, dry_, wet_;  // gathering, in speexdsp, going out
    std::vector<short> pcm_;
    std::unique_ptr<SpeexPreprocessState_, StateDeleter> states_[2];
    VoiceNoise strength_ = VoiceNoise::Off;
    bool wetFresh_ = false;  // wet_ holds the denoised dry_
    Ramp mix_;
};

// Frame n out is frame n − Latency() in, levelled in proportion to the crossfade.
class LevelStage {
  public:
    LevelStage(int rate, int channels);
    void SetOn(bool on);
    bool Idle() const { return !on_ && !mix_.Moving(); }
    std::size_t Latency() const { return lookahead_; }
    void Process(float* data, std::size_t frames);
    void Clear();

  private:
    void UpdateGoal();

    int channels_;
    std::size_t lookahead_;
    std::size_t glideFrames_;
    std::vector<float> delay_;
    std::size_t pos_ = 0;
    bool on_ = false;
    Ramp mix_;
    double fastCoef_, riseCoef_, fallCoef_, gainCoef_;
    double fast_ = 0;          // short-term power of the incoming frames
    double levelDb_ = -200;    // the speaker's level, slow
    bool levelKnown_ = false;  // some speech has been heard
    double goal_ = 1, gain_ = 1;
    std::size_t sinceGoal_ = 0;
    std::size_t holdLeft_ = 0;  // frames the peak guard keeps the gain down
};

class VoiceChain {
  public:
    // Gives up to `frames` interleaved frames into `out`; fewer only at the end.
    using Pull = std::size_t (*)(void* state, float* out, std::size_t frames);

    VoiceChain(int rate, int channels);
    void Set(const VoiceSettings& voice);
    const VoiceSettings& Settings() const { return settings_; }
    // Exactly the frames of the input, up to `count`; fewer only at the end.
    std::size_t Read(float* out, std::size_t count, Pull pull, void* state);
    void Reset();
    // Input frames read ahead and not given out yet.
    std::size_t Held() const { return held_; }
    // Nothing to do: what it would give is exactly the input.
    bool Bypassed() const { return !engaged_ && channel_.IsIdentity() && LatencyIdle(); }
    std::size_t Latency() const { return noise_.Latency() + level_.Latency(); }

  private:
    bool LatencyIdle() const { return noise_.Idle() && level_.Idle(); }
    void RunLatency(float* data, std::size_t frames);

    int channels_;
    VoiceSettings settings_;
    ChannelStage channel_;
    NoiseStage noise_;
    LevelStage level_;
    bool engaged_ = false;
    std::size_t held_ = 0;
    std::vector<float> scratch_;
};

}  // namespace audio
