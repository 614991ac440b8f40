// The peaking equalizer band of effect type 7 (a DirectX 8 style parametric equalizer):
// an RBJ peaking biquad, centre in Hz, bandwidth in semitones, gain in dB.
//
// Threads: a band belongs to one stream and is used under that stream's lock.
#pragma once

#include <cstddef>

namespace audio {

struct BiquadCoefficients {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;  // normalised, a0 = 1
};

// Coefficients of a peaking band at sample rate `rate`. The bandwidth in semitones is
// converted to octaves and used as the RBJ cookbook's BW (between the half-gain points).
BiquadCoefficients PeakingCoefficients(double rate, double centre, double bandwidthSemitones,
                                       double gainDb);

// Limits of the parameters that SetEffectParameters accepts (those of DirectX 8).
constexpr float kEqMinCentre = 80.0f, kEqMaxCentre = 16000.0f;
constexpr float kEqMinBandwidth = 1.0f, kEqMaxBandwidth = 36.0f;
constexpr float kEqMinGain = -15.0f, kEqMaxGain = 15.0f;

// How long a change of a band that is being heard takes to arrive: a jump of the gain
// under a sounding signal would be heard as a click.
constexpr double kEqGlideSeconds = 0.02;

class PeakingBand {
  public:
    // A new band is flat (0 dB) until parameters are set, as a fresh DirectX effect is.
    PeakingBand() = default;
    // Before the band has filtered any sound the parameters apply at once; after that
    // the coefficients glide to the new ones over kEqGlideSeconds.
    void SetParameters(float centre, float bandwidth, float gain);
    // Filters `frames` interleaved frames of `channels` (1 or 2) channels in place at
    // sample rate `rate`.
    void Process(float* data, std::size_t frames, int channels, double rate);
    // Forgets the filter's history (the sound jumps anyway): a glide under way ends at
    // its goal.
    void ResetState();
    // Flat, not on its way anywhere and nothing left ringing: the identity.
    bool IsFlat() const;

  private:
    void FilterSteady(float* data, std::size_t frames, int channels);
    void FilterGliding(float* data, std::size_t frames, int channels);

    float centre_ = 8000.0f, bandwidth_ = 12.0f, gain_ = 0.0f;
    double designedRate_ = 0;  // the rate the coefficients were made for
    bool stale_ = false;       // parameters changed since the goal was designed
    bool sounded_ = false;     // has had sound through it: changes glide from now on
    BiquadCoefficients c_;     // applied now
    BiquadCoefficients goal_;  // where a glide ends
    BiquadCoefficients step_;  // per frame while gliding
    std::size_t glideLeft_ = 0;
    double z1_[2] = {0, 0}, z2_[2] = {0, 0};  // transposed direct form II state per channel
};

}  // namespace audio
