#include "audio/voice.h"

#include <speex/speex_preprocess.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace audio {
namespace {

std::size_t GlideFrames(int rate) {
    return std::max<std::size_t>(1,
                                 static_cast<std::size_t>(std::lround(rate * kVoiceGlideSeconds)));
}

// One-pole smoothing coefficient for a time constant, updated every `every` frames.
double Coefficient(int rate, double seconds, double every = 1.0) {
    return 1.0 - std::exp(-every / (seconds * rate));
}

// Noise attenuation of each strength, in dB (speexdsp's suppression limit).
int SuppressionDb(VoiceNoise strength) {
    switch (strength) {
        case VoiceNoise::Light:
            return -12;
        case VoiceNoise::Medium:
            return -20;
        case VoiceNoise::Strong:
            return -30;
        case VoiceNoise::Off:
            break;
    }
    return 0;
}

// Levelling: speech toward −20 dBFS, gains −12 … +20 dB; what is quieter than −50 dBFS or
// 30 dB under the speaker's level is a pause and leaves the level alone, so pauses are not
// pulled up. The level rises in 0.1 s and falls in 0.8 s: a new loud speaker is caught at
// once, a quieter one within about a second and a half, and syllables do not pump.
constexpr double kTargetDb = -20, kMinGainDb = -12, kMaxGainDb = 20;
constexpr double kGateDb = -50, kPauseBelowDb = 30;
constexpr double kFastSeconds = 0.02, kRiseSeconds = 0.1, kFallSeconds = 0.8;
constexpr double kGainSeconds = 0.05;
constexpr std::size_t kGoalEvery = 32;  // frames between updates of the level
constexpr float kCeiling = 0.98f;       // the peak guard keeps levelled samples under it

}  // namespace

void Ramp::Go(float target, std::size_t frames) {
    target_ = target;
    step_ = (target_ - value_) / static_cast<float>(std::max<std::size_t>(frames, 1));
}

float Ramp::Next() {
    if (value_ != target_) {
        value_ += step_;
        if ((step_ > 0 && value_ >= target_) || (step_ < 0 && value_ <= target_) || step_ == 0)
            value_ = target_;
    }
    return value_;
}

// ---- channel ----

ChannelStage::ChannelStage(int rate) : glideFrames_(GlideFrames(rate)) {}

void ChannelStage::Set(VoiceChannel channel) {
    if (channel == channel_) return;
    channel_ = channel;
    static constexpr float kMatrices[4][4] = {
        {1, 0, 0, 1}, {1, 0, 1, 0}, {0, 1, 0, 1}, {0.5f, 0.5f, 0.5f, 0.5f}};
    std::memcpy(goal_, kMatrices[static_cast<int>(channel)], sizeof goal_);
    for (int i = 0; i < 4; ++i) step_[i] = (goal_[i] - m_[i]) / static_cast<float>(glideFrames_);
    glideLeft_ = glideFrames_;
}

bool ChannelStage::IsIdentity() const {
    return channel_ == VoiceChannel::Both && glideLeft_ == 0;
}

void ChannelStage::Finish() {
    std::memcpy(m_, goal_, sizeof m_);
    glideLeft_ = 0;
}

void ChannelStage::Process(float* data, std::size_t frames, int channels) {
    if (channels != 2) {
        glideLeft_ = 0;  // a mono stream plays as it is
        std::memcpy(m_, goal_, sizeof m_);
        return;
    }
    if (IsIdentity()) return;
    for (std::size_t i = 0; i < frames; ++i) {
        if (glideLeft_ > 0) {
            if (--glideLeft_ == 0)
                std::memcpy(m_, goal_, sizeof m_);
            else
                for (int k = 0; k < 4; ++k) m_[k] += step_[k];
        }
        const float l = data[2 * i], r = data[2 * i + 1];
        data[2 * i] = m_[0] * l + m_[1] * r;
        data[2 * i + 1] = m_[2] * l + m_[3] * r;
    }
}

// ---- noise ----

void NoiseStage::StateDeleter::operator()(SpeexPreprocessState_* s) const {
    speex_preprocess_state_destroy(s);
}

NoiseStage::NoiseStage(int rate, int channels)
    : channels_(channels),
      // Short frames follow the pauses between words closely: measured on speech with
      // white noise, 3 ms frames took 4 dB more noise out of the pauses than 10 ms ones,
      // and cost less (a power-of-two transform).
      frame_(rate >= 32000 ? 128 : 64),
      glideFrames_(GlideFrames(rate)) {
    const auto samples = frame_ * static_cast<std::size_t>(channels);
    in_.assign(samples, 0.0f);
    mid_.assign(samples, 0.0f);
    dry_.assign(samples, 0.0f);
    wet_.assign(samples, 0.0f);
    pcm_.assign(frame_, 0);
    for (int c = 0; c < channels; ++c) {
        states_[c].reset(speex_preprocess_state_init(static_cast<int>(frame_), rate));
        int on = 1;
        speex_preprocess_ctl(states_[c].get(), SPEEX_PREPROCESS_SET_DENOISE, &on);
    }
}

NoiseStage::~NoiseStage() = default;

void NoiseStage::SetStrength(VoiceNoise strength) {
    if (strength == strength_) return;
    if (strength != VoiceNoise::Off) {
        int db = SuppressionDb(strength);
        for (int c = 0; c < channels_; ++c)
            speex_preprocess_ctl(states_[c].get(), SPEEX_PREPROCESS_SET_NOISE_SUPPRESS, &db);
    }
    strength_ = strength;
    // The crossfade starts at the next frame boundary, where the denoised frame is fresh.
}

void NoiseStage::Clear() {
    std::fill(in_.begin(), in_.end(), 0.0f);
    std::fill(mid_.begin(), mid_.end(), 0.0f);
    std::fill(dry_.begin(), dry_.end(), 0.0f);
    std::fill(wet_.begin(), wet_.end(), 0.0f);
    pos_ = 0;
    mix_.Go(strength_ == VoiceNoise::Off ? 0.0f : 1.0f, 1);
    mix_.Jump();
    wetFresh_ = false;
}

void NoiseStage::RunFrame() {
    // speexdsp gives back the frame before the one it is given: the dry path waits as long.
    std::swap(dry_, mid_);
    std::swap(mid_, in_);
    const float target = strength_ == VoiceNoise::Off ? 0.0f : 1.0f;
    if (target != mix_.Target()) mix_.Go(target, glideFrames_);
    wetFresh_ = mix_.Value() > 0 || mix_.Target() > 0;
    if (!wetFresh_) return;
    const auto ch = static_cast<std::size_t>(channels_);
    // Sides made equal by the channel stage are denoised once.
    bool same = ch == 2;
    for (std::size_t i = 0; same && i < frame_; ++i) same = mid_[2 * i] == mid_[2 * i + 1];
    const std::size_t runs = same ? 1 : ch;
    for (std::size_t c = 0; c < runs; ++c) {
        for (std::size_t i = 0; i < frame_; ++i) {
            const float v = mid_[i * ch + c] * 32768.0f;
            pcm_[i] = static_cast<short>(std::lrintf(std::clamp(v, -32768.0f, 32767.0f)));
        }
        speex_preprocess_run(states_[c].get(), pcm_.data());
        for (std::size_t i = 0; i < frame_; ++i) {
            const float v = static_cast<float>(pcm_[i]) / 32768.0f;
            wet_[i * ch + c] = v;
            if (same) wet_[i * ch + 1] = v;
        }
    }
}

void NoiseStage::Process(float* data, std::size_t frames) {
    const auto ch = static_cast<std::size_t>(channels_);
    for (std::size_t i = 0; i < frames; ++i) {
        float* frame = data + i * ch;
        const std::size_t at = pos_ * ch;
        const float g = wetFresh_ ? mix_.Next() : 0.0f;
        for (std::size_t c = 0; c < ch; ++c) {
            in_[at + c] = frame[c];
            const float dry = dry_[at + c];
            frame[c] = g == 0.0f ? dry : dry + g * (wet_[at + c] - dry);
        }
        if (++pos_ == frame_) {
            pos_ = 0;
            RunFrame();
        }
    }
}

// ---- levelling ----

LevelStage::LevelStage(int rate, int channels)
    : channels_(channels),
      lookahead_(static_cast<std::size_t>(rate / 100)),
      glideFrames_(GlideFrames(rate)),
      fastCoef_(Coefficient(rate, kFastSeconds)),
      riseCoef_(Coefficient(rate, kRiseSeconds, kGoalEvery)),
      fallCoef_(Coefficient(rate, kFallSeconds, kGoalEvery)),
      gainCoef_(Coefficient(rate, kGainSeconds)) {
    delay_.assign(lookahead_ * static_cast<std::size_t>(channels), 0.0f);
}

void LevelStage::SetOn(bool on) {
    if (on == on_) return;
    on_ = on;
    mix_.Go(on ? 1.0f : 0.0f, glideFrames_);
}

void LevelStage::Clear() {
    std::fill(delay_.begin(), delay_.end(), 0.0f);
    pos_ = 0;
    holdLeft_ = 0;
    mix_.Jump();
}

void LevelStage::UpdateGoal() {
    if (!std::isfinite(fast_)) fast_ = 0;  // nothing that came in may stick
    const double db = 10.0 * std::log10(fast_ + 1e-20);
    if (db > kGateDb && (!levelKnown_ || db > levelDb_ - kPauseBelowDb)) {
        if (!levelKnown_) {
            levelDb_ = db;
            levelKnown_ = true;
        } else {
            levelDb_ += (db > levelDb_ ? riseCoef_ : fallCoef_) * (db - levelDb_);
        }
    }
    if (levelKnown_)
        goal_ = std::pow(10.0, std::clamp(kTargetDb - levelDb_, kMinGainDb, kMaxGainDb) / 20.0);
}

void LevelStage::Process(float* data, std::size_t frames) {
    const auto ch = static_cast<std::size_t>(channels_);
    for (std::size_t i = 0; i < frames; ++i) {
        float* frame = data + i * ch;
        float power = 0, peak = 0;
        for (std::size_t c = 0; c < ch; ++c) {
            power = std::max(power, frame[c] * frame[c]);
            peak = std::max(peak, std::abs(frame[c]));
        }
        fast_ += fastCoef_ * (static_cast<double>(power) - fast_);
        if (++sinceGoal_ == kGoalEvery) {
            sinceGoal_ = 0;
            UpdateGoal();
        }
        if (holdLeft_ > 0)
            --holdLeft_;
        else
            gain_ += gainCoef_ * (goal_ - gain_);
        // The frame coming in leaves after the lookahead: lower the gain before it does.
        if (peak * gain_ > kCeiling) {
            gain_ = kCeiling / peak;
            holdLeft_ = lookahead_;
        }
        const float m = mix_.Next();
        const float scale = 1.0f + m * static_cast<float>(gain_ - 1.0);
        const std::size_t at = pos_ * ch;
        for (std::size_t c = 0; c < ch; ++c) {
            const float delayed = delay_[at + c];
            delay_[at + c] = frame[c];
            frame[c] = m == 0.0f ? delayed : std::clamp(delayed * scale, -1.0f, 1.0f);
        }
        if (++pos_ == lookahead_) pos_ = 0;
    }
}

// ---- the chain ----

VoiceChain::VoiceChain(int rate, int channels)
    : channels_(channels),
      channel_(rate),
      noise_(rate, channels),
      level_(rate, channels),
      scratch_(Latency() * static_cast<std::size_t>(channels)) {}

void VoiceChain::Set(const VoiceSettings& voice) {
    settings_ = voice;
    channel_.Set(voice.channel);
    noise_.SetStrength(voice.noise);
    level_.SetOn(voice.levelling);
}

void VoiceChain::Reset() {
    // After a jump there is nothing to glide from.
    channel_.Finish();
    noise_.Clear();
    level_.Clear();
    engaged_ = false;
    held_ = 0;
}

void VoiceChain::RunLatency(float* data, std::size_t frames) {
    noise_.Process(data, frames);
    level_.Process(data, frames);
}

std::size_t VoiceChain::Read(float* out, std::size_t count, Pull pull, void* state) {
    const auto ch = static_cast<std::size_t>(channels_);
    std::size_t done = 0;
    if (engaged_ && LatencyIdle()) {
        // Both off: what is held comes out unchanged, then the input goes straight through.
        const std::size_t n = std::min(held_, count);
        std::fill(out, out + n * ch, 0.0f);
        RunLatency(out, n);
        held_ -= n;
        done = n;
        if (held_ == 0) engaged_ = false;
    }
    if (!engaged_ && !LatencyIdle() && done < count) {
        // Read as far ahead as the stages hold back, so frame n out is frame n in.
        noise_.Clear();
        level_.Clear();
        const std::size_t got = pull(state, scratch_.data(), Latency());
        channel_.Process(scratch_.data(), got, channels_);
        RunLatency(scratch_.data(), got);
        held_ = got;
        engaged_ = true;
        if (got == 0) return done;
    }
    const std::size_t want = count - done;
    const std::size_t got = pull(state, out + done * ch, want);
    channel_.Process(out + done * ch, got, channels_);
    if (engaged_) RunLatency(out + done * ch, got);
    done += got;
    if (engaged_ && got < want) {
        // The input has ended: push out what the stages still hold.
        const std::size_t n = std::min(held_, want - got);
        std::fill(out + done * ch, out + (done + n) * ch, 0.0f);
        RunLatency(out + done * ch, n);
        held_ -= n;
        done += n;
    }
    return done;
}

}  // namespace audio
