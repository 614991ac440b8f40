// The voice stages: channel choice, noise reduction and levelling on their own, and
// through the engine: off untouched, positions and seeks exact, hostile input.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "audio/audio.h"
#include "audio/tests/manual_output.h"
#include "audio/tests/sound_files.h"
#include "audio/voice.h"

namespace {

using namespace audio;
using audio_test::Signal;

constexpr int kRate = audio_test::kManualOutputRate;

// A vowel mix of a 140 Hz voice (formants 700, 1200, 2600 Hz) spoken in 0.8 s stretches,
// 1.7 s apart; `speech` marks the middle of each stretch (1) and of each pause (2).
std::vector<float> Vowels(double seconds, double amplitude, std::vector<int>* speech = nullptr) {
    const auto n = static_cast<std::size_t>(seconds * kRate);
    std::vector<float> out(n);
    if (speech) speech->assign(n, 0);
    double phase = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kRate, cycle = std::fmod(t, 1.7);
        if (speech)
            (*speech)[i] = cycle > 0.1 && cycle < 0.9 ? 1 : cycle > 1.1 && cycle < 1.6 ? 2 : 0;
        if (cycle >= 1.0) continue;
        const double f0 = 140 + 20 * std::sin(2 * std::numbers::pi * 0.7 * t);
        phase += 2 * std::numbers::pi * f0 / kRate;
        double v = 0;
        for (int h = 1; h * f0 < 3800; ++h) {
            const double f = h * f0;
            v += (std::exp(-std::pow((f - 700) / 150, 2)) +
                  0.6 * std::exp(-std::pow((f - 1200) / 200, 2)) +
                  0.3 * std::exp(-std::pow((f - 2600) / 300, 2)) + 0.05) *
                 std::sin(h * phase);
        }
        out[i] = static_cast<float>(amplitude * v * std::sin(std::numbers::pi * cycle) *
                                    (0.6 + 0.4 * std::sin(2 * std::numbers::pi * 4 * t)));
    }
    return out;
}

// Level in dB of the samples whose mark is `mark`, skipping the first `skip` seconds.
double LevelDb(const std::vector<float>& x, const std::vector<int>& marks, int mark,
               double skip = 3) {
    double energy = 0;
    std::size_t count = 0;
    for (std::size_t i = static_cast<std::size_t>(skip * kRate); i < x.size(); ++i)
        if (marks[i] == mark) {
            energy += double{x[i]} * x[i];
            ++count;
        }
    return 10 * std::log10(energy / std::max<std::size_t>(count, 1) + 1e-30);
}

double RmsDb(const float* x, std::size_t n, std::size_t stride = 1) {
    double energy = 0;
    for (std::size_t i = 0; i < n; ++i) energy += double{x[i * stride]} * x[i * stride];
    return 10 * std::log10(energy / static_cast<double>(n) + 1e-30);
}

TEST(NoiseStage, NoiseInPausesDropsAndSpeechStays) {
    std::vector<int> marks;
    std::vector<float> x = Vowels(12, 0.08, &marks);
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.0056f);  // −45 dBFS
    for (float& v : x) v += noise(random);
    const double pauseIn = LevelDb(x, marks, 2), speechIn = LevelDb(x, marks, 1);
    const struct {
        VoiceNoise strength;
        double minDrop;
    } cases[] = {{VoiceNoise::Light, 6}, {VoiceNoise::Medium, 10}, {VoiceNoise::Strong, 15}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.strength));
        NoiseStage stage(kRate, 1);
        stage.SetStrength(c.strength);
        std::vector<float> y = x;
        stage.Process(y.data(), y.size());
        y.erase(y.begin(), y.begin() + static_cast<std::ptrdiff_t>(stage.Latency()));
        EXPECT_GE(pauseIn - LevelDb(y, marks, 2), c.minDrop);
        EXPECT_NEAR(LevelDb(y, marks, 1), speechIn, 3.0);
    }
}

TEST(LevelStage, QuietAndLoudSpeakersComeOutAtOneLevel) {
    // Turns of 3 s: −30 dBFS, then −10 dBFS, four times.
    const std::vector<float> voice = Vowels(3, 1.0);
    const double voiceDb = RmsDb(voice.data(), voice.size());
    std::vector<float> x;
    for (int turn = 0; turn < 8; ++turn) {
        const double gain = std::pow(10.0, ((turn % 2 ? -10 : -30) - voiceDb) / 20);
        for (float v : voice) x.push_back(static_cast<float>(v * gain));
    }
    LevelStage stage(kRate, 1);
    stage.SetOn(true);
    stage.Process(x.data(), x.size());
    const std::size_t turn = voice.size(), lag = stage.Latency();
    double quiet = 0, loud = 0;
    for (int t = 2; t < 8; ++t) {
        // The last 1.5 s of each turn: the level has settled.
        const double db = RmsDb(x.data() + t * turn + turn / 2 + lag, turn / 2 - lag);
        (t % 2 ? loud : quiet) += db / 3;
    }
    EXPECT_LE(std::abs(loud - quiet), 6.0) << loud << " " << quiet;
    EXPECT_NEAR(quiet, -20, 6);
}

class Voice : public audio_test::ManualOutputTest {
  protected:
    std::vector<float> Play(HSTREAM s, std::size_t frames) {
        std::vector<float> mix;
        EXPECT_TRUE(PlayStream(s, false));
        AdvanceManualOutput(frames, &mix);
        return mix;
    }
};

constexpr VoiceSettings kAllOn{VoiceChannel::Mix, VoiceNoise::Strong, true};

Signal LeftTone(int channels) {
    Signal s = audio_test::Sine(kRate, channels, 2.0, 440, 0.3);
    if (channels == 2)
        for (std::size_t i = 1; i < s.samples.size(); i += 2) s.samples[i] = 0;
    return s;
}

TEST_F(Voice, ChannelChoiceOfAToneOnTheLeft) {
    const double tone = RmsDb(LeftTone(1).samples.data(), kRate);
    const double silent = -200;
    const struct {
        int channels;
        VoiceChannel channel;
        double left, right;
    } cases[] = {
        {2, VoiceChannel::Both, tone, silent},    {2, VoiceChannel::Left, tone, tone},
        {2, VoiceChannel::Right, silent, silent}, {2, VoiceChannel::Mix, tone - 6.02, tone - 6.02},
        {1, VoiceChannel::Left, tone, tone},  // a mono file plays as mono
        {1, VoiceChannel::Right, tone, tone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " " << static_cast<int>(c.channel));
        const HSTREAM s = Open("tone.wav", LeftTone(c.channels));
        ASSERT_TRUE(SetStreamVoice(s, {c.channel, VoiceNoise::Off, false}));
        const std::vector<float> mix = Play(s, kRate / 2);
        const std::size_t from = kRate / 10, n = kRate / 2 - from;
        EXPECT_NEAR(std::max(RmsDb(mix.data() + 2 * from, n, 2), silent), c.left, 0.1);
        EXPECT_NEAR(std::max(RmsDb(mix.data() + 2 * from + 1, n, 2), silent), c.right, 0.1);
        FreeStream(s);
    }
}

TEST_F(Voice, OffIsUntouchedAlsoAfterTheStagesWereOn) {
    Signal speech{kRate, 2, {}};
    std::vector<int> marks;
    const std::vector<float> left = Vowels(6, 0.1, &marks), right = Vowels(6, 0.05);
    for (std::size_t i = 0; i < left.size(); ++i) {
        speech.samples.push_back(left[i]);
        speech.samples.push_back(right[(i + 5000) % right.size()]);
    }
    const HSTREAM s = Open("speech.wav", speech);
    VoiceSettings read;
    ASSERT_TRUE(StreamVoice(s, &read));
    EXPECT_TRUE(read.IsOff());
    std::vector<float> mix = Play(s, kRate);
    ASSERT_TRUE(SetStreamVoice(s, kAllOn));
    ASSERT_TRUE(StreamVoice(s, &read));
    EXPECT_EQ(read, kAllOn);
    AdvanceManualOutput(kRate, &mix);
    ASSERT_TRUE(SetStreamVoice(s, {}));
    AdvanceManualOutput(3 * kRate, &mix);
    // The first second as recorded, and again from 50 ms after the stages went off.
    for (std::size_t i = 0; i < 2 * kRate; ++i) ASSERT_EQ(mix[i], speech.samples[i]) << i;
    for (std::size_t i = 2 * (2 * kRate + kRate / 20); i < mix.size(); ++i)
        ASSERT_EQ(mix[i], speech.samples[i]) << i;
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 5ull * kRate * 4);
}

// First frame of the left channel louder than `threshold`.
std::size_t Onset(const std::vector<float>& mix, float threshold) {
    for (std::size_t i = 0; i < mix.size() / 2; ++i)
        if (std::abs(mix[2 * i]) > threshold) return i;
    return mix.size();
}

TEST_F(Voice, SeeksPositionsAndTheEndStayOnTheRecordingsFrames) {
    // Noise, then a loud 1 kHz burst at 2.5 s and at the very end: where they are heard
    // tells which frames are played.
    Signal s{kRate, 2, std::vector<float>(4 * kRate * 2)};
    std::mt19937 random(3);
    std::normal_distribution<float> noise(0.0f, 0.003f);
    for (float& v : s.samples) v = noise(random);
    const std::size_t burst = 5 * kRate / 2;
    auto tone = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            s.samples[2 * i] = s.samples[2 * i + 1] = static_cast<float>(
                0.5 * std::sin(2 * std::numbers::pi * 1000 * (i - from) / kRate));
    };
    tone(burst, burst + kRate / 5);
    tone(4 * kRate - 1000, 4 * kRate);
    const HSTREAM h = Open("burst.wav", s);
    // Each stage that looks ahead on its own, and all of them together.
    for (VoiceSettings v : {VoiceSettings{VoiceChannel::Both, VoiceNoise::Strong, false},
                            VoiceSettings{VoiceChannel::Both, VoiceNoise::Off, true}, kAllOn}) {
        SCOPED_TRACE(testing::Message() << int(v.noise) << " " << v.levelling);
        ASSERT_TRUE(SetStreamVoice(h, v));
        ASSERT_TRUE(SeekStream(h, 0, POS_BYTE));
        const std::size_t straight = Onset(Play(h, 3 * kRate), 0.05f);
        EXPECT_NEAR(static_cast<double>(straight), static_cast<double>(burst), 3);
        for (std::size_t seek : {burst - 1000, burst - kRate}) {
            SCOPED_TRACE(seek);
            ASSERT_TRUE(SeekStream(h, seek * 4, POS_BYTE));
            EXPECT_EQ(StreamPosition(h, POS_BYTE), seek * 4);
            const std::vector<float> mix = Play(h, kRate / 4 + burst - seek);
            EXPECT_NEAR(static_cast<double>(Onset(mix, 0.05f) + seek),
                        static_cast<double>(straight), 2);
            EXPECT_EQ(StreamPosition(h, POS_BYTE), (kRate / 4 + burst) * 4);
        }
    }
    // To the end: every frame of the recording comes out, then the stream stops.
    ASSERT_TRUE(SeekStream(h, (4 * kRate - 1000) * 4, POS_BYTE));
    const std::vector<float> tail = Play(h, 4000);
    EXPECT_EQ(StreamActivity(h), ACTIVE_STOPPED);
    EXPECT_EQ(StreamPosition(h, POS_BYTE), StreamLength(h, POS_BYTE));
    // The last frames, not cut off.
    EXPECT_GT(*std::max_element(tail.begin() + 2 * 950, tail.begin() + 2 * 1000), 0.05f);
    EXPECT_EQ(tail[2 * 1000], 0.0f);
}

TEST_F(Voice, ChangeWhilePlayingIsHeardWithin50MsWithoutAClick) {
    const HSTREAM s = Open("tone.wav", LeftTone(2));
    ASSERT_TRUE(SetStreamVoice(s, {VoiceChannel::Both, VoiceNoise::Medium, true}));
    std::vector<float> mix = Play(s, kRate / 2);
    const double before = RmsDb(mix.data() + kRate / 2, kRate / 4, 2);
    ASSERT_TRUE(SetStreamVoice(s, {VoiceChannel::Right, VoiceNoise::Medium, true}));
    std::vector<float> after;
    AdvanceManualOutput(kRate / 10, &after);
    const std::size_t at50 = kRate / 20;
    EXPECT_LT(RmsDb(after.data() + 2 * at50, kRate / 20, 2), before - 40);
    EXPECT_LT(audio_test::LargestStep(after), 0.1f);
}

TEST_F(Voice, HostileInputStaysFiniteAndInRange) {
    Signal square = audio_test::Sine(kRate, 2, 3.0, 100, 1.0);
    for (float& v : square.samples) v = v >= 0 ? 1.0f : -1.0f;
    Signal six = audio_test::Sine(kRate, 6, 3.0, 300, 0.5);
    const struct {
        const char* name;
        Signal signal;
    } cases[] = {
        {"square.wav", square},
        {"silence.wav", Signal{kRate, 2, std::vector<float>(3 * kRate * 2)}},
        {"call8k.wav", audio_test::Sine(8000, 1, 3.0, 300, 0.5)},
        {"film.wav", six},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const HSTREAM s = Open(c.name, c.signal);
        std::vector<float> mix;
        ASSERT_TRUE(PlayStream(s, false));
        // Switching every 10 ms: a hundred times a second.
        for (int i = 0; i < 200; ++i) {
            const VoiceSettings v{static_cast<VoiceChannel>(i % 4),
                                  static_cast<VoiceNoise>(i / 4 % 4), i % 3 == 0};
            ASSERT_TRUE(SetStreamVoice(s, v));
            AdvanceManualOutput(kRate / 100, &mix);
        }
        AdvanceManualOutput(2 * kRate, &mix);
        // Crossfades may round a full-scale sample a hair past 1; never more.
        for (float v : mix) ASSERT_TRUE(std::isfinite(v) && std::abs(v) <= 1.0001f) << v;
        if (c.name == std::string("silence.wav")) {
            for (float v : mix) ASSERT_EQ(v, 0.0f);
        }
        EXPECT_EQ(StreamActivity(s), ACTIVE_STOPPED);
        EXPECT_EQ(StreamPosition(s, POS_BYTE), StreamLength(s, POS_BYTE));
        FreeStream(s);
    }
    EXPECT_FALSE(SetStreamVoice(0, kAllOn));
    EXPECT_FALSE(SetStreamVoice(1, {static_cast<VoiceChannel>(4), VoiceNoise::Off, false}));
}

}  // namespace
