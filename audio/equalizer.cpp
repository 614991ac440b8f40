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
    if (centre == centre_ && bandwidth == bandwidth_ && gain == gain_) return;
    centre_ = centre;
    bandwidth_ = bandwidth;
    gain_ = gain;
    stale_ = true;
}

bool PeakingBand::IsFlat() const {
    if (gain_ != 0.0f || stale_ || glideLeft_ != 0) return false;
    for (int ch = 0; ch < 2; ++ch)
        if (std::abs(z1_[ch]) > 1e-7 || std::abs(z2_[ch]) > 1e-7) return false;
    return true;
}

void PeakingBand::ResetState() {
    z1_[0] = z1_[1] = z2_[0] = z2_[1] = 0;
    if (glideLeft_ > 0) {
        c_ = goal_;
        glideLeft_ = 0;
    }
}

void PeakingBand::Process(float* data, std::size_t frames, int channels, double rate) {
    if (stale_ || designedRate_ != rate) {
        goal_ = PeakingCoefficients(rate, centre_, bandwidth_, gain_);
        const auto glide = static_cast<std::size_t>(std::lround(rate * kEqGlideSeconds));
        if (sounded_ && designedRate_ == rate && glide > 0) {
            // Linear steps between two stable biquads stay stable: the region of stable
            // (a1, a2) is a triangle, and a triangle is convex.
            const double n = static_cast<double>(glide);
            step_ = {(goal_.b0 - c_.b0) / n, (goal_.b1 - c_.b1) / n, (goal_.b2 - c_.b2) / n,
                     (goal_.a1 - c_.a1) / n, (goal_.a2 - c_.a2) / n};
            glideLeft_ = glide;
        } else {
            c_ = goal_;
            glideLeft_ = 0;
        }
        designedRate_ = rate;
        stale_ = false;
    }
    sounded_ = true;
    if (IsFlat()) {
        // A flat band is the identity once what it held has died away; its history
        // restarts when it is next used.
        z1_[0] = z1_[1] = z2_[0] = z2_[1] = 0;
        return;
    }
    const std::size_t gliding = std::min(frames, glideLeft_);
    if (gliding > 0) FilterGliding(data, gliding, channels);
    if (frames > gliding)
        FilterSteady(data + gliding * static_cast<std::size_t>(channels), frames - gliding,
                     channels);
}

void PeakingBand::FilterGliding(float* data, std::size_t frames, int channels) {
    BiquadCoefficients c = c_;
    for (std::size_t i = 0; i < frames; ++i) {
        c.b0 += step_.b0;
        c.b1 += step_.b1;
        c.b2 += step_.b2;
        c.a1 += step_.a1;
        c.a2 += step_.a2;
        for (int ch = 0; ch < channels; ++ch) {
            float* p = data + i * static_cast<std::size_t>(channels) + ch;
            const double x = *p;
            const double y = c.b0 * x + z1_[ch];
            z1_[ch] = c.b1 * x - c.a1 * y + z2_[ch];
            z2_[ch] = c.b2 * x - c.a2 * y;
            *p = static_cast<float>(y);
        }
    }
    glideLeft_ -= frames;
    // The last step lands exactly on the goal, whatever rounding did on the way.
    c_ = glideLeft_ == 0 ? goal_ : c;
}

void PeakingBand::FilterSteady(float* data, std::size_t frames, int channels) {
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
