#include "audio/tempo.h"

#include <soundtouch/SoundTouch.h>

#include <algorithm>
#include <cmath>

namespace audio {
namespace {

constexpr std::size_t kPullChunk = 256;  // input frames fed at once: keeps the backlog short
// Speech: sequences of 40 ms follow syllables closely and cost little; a 15 ms search
// finds the pitch period of any voice.
constexpr int kSequenceMs = 40;
constexpr int kSeekWindowMs = 15;
constexpr int kOverlapMs = 8;

}  // namespace

bool IsPlayableTempo(double tempo) {
    return tempo >= kMinTempo && tempo <= kMaxTempo;
}

TempoStage::TempoStage(int rate, int channels)
    : touch_(std::make_unique<soundtouch::SoundTouch>()), channels_(channels) {
    touch_->setSampleRate(static_cast<unsigned>(rate));
    touch_->setChannels(static_cast<unsigned>(channels));
    touch_->setSetting(SETTING_SEQUENCE_MS, kSequenceMs);
    touch_->setSetting(SETTING_SEEKWINDOW_MS, kSeekWindowMs);
    touch_->setSetting(SETTING_OVERLAP_MS, kOverlapMs);
    touch_->setTempo(tempo_);
    input_.resize(kPullChunk * static_cast<std::size_t>(channels));
}

TempoStage::~TempoStage() = default;

void TempoStage::SetTempo(double tempo) {
    if (!IsPlayableTempo(tempo) || tempo == tempo_) return;
    tempo_ = tempo;
    touch_->setTempo(tempo);
}

std::size_t TempoStage::Process(float* out, std::size_t count, Pull pull, void* state) {
    std::size_t done = 0;
    while (done < count) {
        if (touch_->numSamples() == 0) {
            if (inputEnded_) break;
            const std::size_t got = pull(state, input_.data(), kPullChunk);
            if (got == 0) {
                // Pushes the last frames through; SoundTouch pads them with silence,
                // which the nominal count below cuts off again.
                inputEnded_ = true;
                touch_->flush();
            } else {
                touch_->putSamples(input_.data(), static_cast<unsigned>(got));
                fed_ += static_cast<double>(got);
            }
            continue;
        }
        std::size_t want = count - done;
        if (inputEnded_) {
            // After the end only what the input stands for, not the padding.
            const double left = (fed_ - nominalInput_) / tempo_;
            want = std::min(want, left > 0.0 ? static_cast<std::size_t>(std::ceil(left)) : 0);
            if (want == 0) break;
        }
        const std::size_t got = touch_->receiveSamples(
            out + done * static_cast<std::size_t>(channels_), static_cast<unsigned>(want));
        nominalInput_ += static_cast<double>(got) * tempo_;
        done += got;
    }
    return done;
}

void TempoStage::Clear() {
    touch_->clear();
    fed_ = 0.0;
    nominalInput_ = 0.0;
    inputEnded_ = false;
}

}  // namespace audio
