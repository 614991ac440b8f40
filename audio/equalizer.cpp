#include "audio/equalizer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace audio {

BiquadCoefficients PeakingCoefficients(double rate, double centre, double bandwidthSemitones,
                                       double gainDb) {
    // Keep the centre below Nyquist whatever the output rate, so the filter stays stable.
    centre = std::clamp(centre, 1.0, 0.49 * rate);
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w0 = 2.0 * std::numbers::pi * centre / rate;
    const double octaves = bandwidthSemitones / 12.0;
    const double sinW0 = std::sin(w0);
    const double alpha = sinW0 * std::sinh(std::numbers::ln2 / 2.0 * octaves * w0 / sinW0);
    const double cosW0 = std::cos(w0);
    const double a0 = 1.0 + alpha / a;
    BiquadCoefficients c;
    c.b0 = (1.0 + alpha * a) / a0;
    c.b1 = (-2.0 * cosW0) / a0;
    c.b2 = (1.0 - alpha * a) / a0;
    c.a1 = (-2.0 * cosW0) / a0;
    c.a2 = (1.0 - alpha / a) / a0;
    return c;
}

void PeakingBand::SetParameters(float centre, float bandwidth, float gain) {
    centre_ = centre;
    bandwidth_ = bandwidth;
    gain_ = gain;
    designedRate_ = 0;
}

void PeakingBand::ResetState() {
    z1_[0] = z1_[1] = z2_[0] = z2_[1] = 0;
}

void PeakingBand::Process(float* data, std::size_t frames, int channels, double rate) {
    if (gain_ == 0.0f) {
        // A flat band is the identity; its history restarts when it is next used.
        ResetState();
        return;
    }
    if (designedRate_ != rate) {
        c_ = PeakingCoefficients(rate, centre_, bandwidth_, gain_);
        designedRate_ = rate;
    }
    const BiquadCoefficients c = c_;
    for (int ch = 0; ch < channels; ++ch) {
        double z1 = z1_[ch], z2 = z2_[ch];
        float* p = data + ch;
        for (std::size_t i = 0; i < frames; ++i, p += channels) {
            const double x = *p;
            const double y = c.b0 * x + z1;
            z1 = c.b1 * x - c.a1 * y + z2;
            z2 = c.b2 * x - c.a2 * y;
            *p = static_cast<float>(y);
        }
        // Flush denormals so a silent tail does not slow the filter down.
        if (std::abs(z1) < 1e-30) z1 = 0;
        if (std::abs(z2) < 1e-30) z2 = 0;
        z1_[ch] = z1;
        z2_[ch] = z2;
    }
}

}  // namespace audio
