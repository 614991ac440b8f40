// Playback speed with the pitch kept, through the manual output: pitch, the recording's
// advance per second of output, seeks, positions, the end, and normal speed untouched.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>
#include <thread>

#include "audio/audio.h"
#include "audio/tests/manual_output.h"
#include "audio/tests/sound_files.h"

namespace {

using namespace audio;
using audio_test::LargestStep;
using audio_test::Signal;

constexpr int kRate = audio_test::kManualOutputRate;

// Frequency of the left channel of interleaved stereo `mix` over frames [from, to), from
// the interpolated times of its upward zero crossings.
double MeasureFrequency(const std::vector<float>& mix, std::size_t from, std::size_t to) {
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        const float a = mix[2 * (i - 1)], b = mix[2 * i];
        if (a < 0.0f && b >= 0.0f) {
            const double t = static_cast<double>(i - 1) + a / (a - b);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    if (crossings < 2) return 0.0;
    return (crossings - 1) * kRate / (last - first);
}

// A tone whose frequency rises by 40 Hz per second from 200 Hz: its frequency tells which
// second of the recording is heard.
constexpr double kChirpStart = 200.0, kChirpSlope = 40.0;
Signal Chirp(double seconds) {
    Signal s{kRate, 2, {}};
    const auto frames = static_cast<std::size_t>(seconds * kRate);
    s.samples.resize(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double phase = 2 * std::numbers::pi * (kChirpStart * t + kChirpSlope * t * t / 2);
        s.samples[2 * i] = s.samples[2 * i + 1] = static_cast<float>(0.3 * std::sin(phase));
    }
    return s;
}
double ChirpSecond(double frequency) {
    return (frequency - kChirpStart) / kChirpSlope;
}

double PositionSeconds(HSTREAM s) {
    return BytesToSeconds(s, StreamPosition(s, POS_BYTE));
}

class Tempo : public audio_test::ManualOutputTest {};

TEST_F(Tempo, ToneKeepsItsPitchAndRecordingAdvancesByTheTempo) {
    const HSTREAM tone = Open("tone.wav", audio_test::Sine(kRate, 2, 10.0, 440, 0.3));
    for (double tempo : {0.5, 0.75, 1.5, 2.0}) {
        SCOPED_TRACE(tempo);
        ASSERT_TRUE(SeekStream(tone, 0, POS_BYTE));
        ASSERT_TRUE(SetStreamTempo(tone, tempo));
        EXPECT_EQ(StreamTempo(tone), tempo);
        ASSERT_TRUE(PlayStream(tone, false));
        std::vector<float> mix;
        AdvanceManualOutput(kRate / 4);  // past the stretcher's start
        const double before = PositionSeconds(tone);
        AdvanceManualOutput(2 * kRate, &mix);
        const double advanced = PositionSeconds(tone) - before;
        EXPECT_NEAR(advanced / 2.0, tempo, 0.01 * tempo);
        EXPECT_NEAR(MeasureFrequency(mix, 0, mix.size() / 2), 440.0, 4.4);
        // The splices of the stretcher leave no clicks in a pure tone.
        const float toneStep = static_cast<float>(0.3 * 2 * std::numbers::pi * 440 / kRate);
        EXPECT_LT(LargestStep(mix), 1.5f * toneStep);
        StopStream(tone);
    }
}

TEST_F(Tempo, HeardRecordingFollowsThePositionAtHalfAndDoubleSpeed) {
    const HSTREAM s = Open("chirp.wav", Chirp(12.0));
    for (double tempo : {0.5, 2.0}) {
        SCOPED_TRACE(tempo);
        ASSERT_TRUE(SeekStream(s, 0, POS_BYTE));
        ASSERT_TRUE(SetStreamTempo(s, tempo));
        ASSERT_TRUE(PlayStream(s, false));
        const std::size_t window = kRate / 20;  // 50 ms of output
        std::vector<double> heard, position;
        for (int second = 0; second < 5; ++second) {
            std::vector<float> mix;
            AdvanceManualOutput(kRate - window);
            AdvanceManualOutput(window, &mix);
            // The recording heard in the window against the position reported at its end.
            heard.push_back(ChirpSecond(MeasureFrequency(mix, 0, window)));
            position.push_back(PositionSeconds(s));
        }
        // Per second of output the heard recording advances by the tempo ...
        const double perSecond = (heard.back() - heard[1]) / (heard.size() - 2);
        EXPECT_NEAR(perSecond, tempo, 0.01 * tempo);
        // ... and the position is where the heard sound is, latency counted in.
        for (std::size_t i = 1; i < heard.size(); ++i)
            EXPECT_NEAR(position[i] - 0.025 * tempo, heard[i], 0.03) << i;
        StopStream(s);
    }
}

TEST_F(Tempo, SeekWhileStretchedLandsExactly) {
    const HSTREAM s = Open("chirp.wav", Chirp(8.0));
    ASSERT_TRUE(SetStreamTempo(s, 0.5));
    ASSERT_TRUE(PlayStream(s, false));
    AdvanceManualOutput(kRate);
    const std::uint64_t target = 3 * kRate * 4 + 4 * 123;  // 3 s and 123 frames
    ASSERT_TRUE(SeekStream(s, target, POS_BYTE));
    EXPECT_EQ(StreamPosition(s, POS_BYTE), target);
    std::vector<float> mix;
    AdvanceManualOutput(kRate / 20, &mix);
    // The first 50 ms after the seek are the recording from the target on.
    const double start = ChirpSecond(MeasureFrequency(mix, 0, mix.size() / 2));
    EXPECT_NEAR(start, 3.0 + 123.0 / kRate + 0.0125, 0.02);
    // The position counts on from the target at half speed.
    AdvanceManualOutput(kRate - kRate / 20);
    EXPECT_NEAR(PositionSeconds(s), 3.0 + 123.0 / kRate + 0.5, 0.5 * 0.001);
    // A seek back to the start while stretched, also from a paused stream.
    ASSERT_TRUE(PauseStream(s));
    ASSERT_TRUE(SeekStream(s, 0, POS_BYTE));
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 0u);
    ASSERT_TRUE(PlayStream(s, false));
    mix.clear();
    AdvanceManualOutput(kRate / 20, &mix);
    EXPECT_NEAR(ChirpSecond(MeasureFrequency(mix, 0, mix.size() / 2)), 0.0125, 0.02);
}

TEST_F(Tempo, NormalSpeedGivesTheSamplesOfAStreamWithoutTempo) {
    const Signal speech = audio_test::SpeechLike(kRate, 2, 3.0, 11);
    const HSTREAM plain = Open("plain.wav", speech);
    const HSTREAM changed = Open("changed.wav", speech);
    const HSTREAM back = Open("back.wav", speech);
    // Asked for another speed and back before a sound was made: the stretcher stays out.
    ASSERT_TRUE(SetStreamTempo(changed, 1.5));
    ASSERT_TRUE(SetStreamTempo(changed, 1.0));
    // Played stretched, then back to 1.0 and moved: normal speed from the move on.
    ASSERT_TRUE(SetStreamTempo(back, 0.5));
    ASSERT_TRUE(PlayStream(back, false));
    AdvanceManualOutput(kRate / 2);
    StopStream(back);
    ASSERT_TRUE(SetStreamTempo(back, 1.0));
    ASSERT_TRUE(SeekStream(back, 0, POS_BYTE));

    std::vector<std::vector<float>> outputs;
    for (HSTREAM s : {plain, changed, back}) {
        ASSERT_TRUE(PlayStream(s, false));
        std::vector<float> mix;
        AdvanceManualOutput(2 * kRate, &mix);
        StopStream(s);
        EXPECT_EQ(StreamPosition(s, POS_BYTE), 2u * kRate * 4);
        outputs.push_back(std::move(mix));
    }
    for (std::size_t i = 0; i < outputs[0].size(); ++i)
        ASSERT_EQ(outputs[0][i], speech.samples[i]) << i;
    EXPECT_EQ(outputs[1], outputs[0]);
    EXPECT_EQ(outputs[2], outputs[0]);
}

TEST_F(Tempo, ChangesWhilePlayingAreSmoothAndKeepTheRecordingContinuous) {
    const HSTREAM s = Open("tone.wav", audio_test::Sine(kRate, 2, 10.0, 440, 0.3));
    ASSERT_TRUE(PlayStream(s, false));
    std::vector<float> mix;
    double expected = 0.0;  // seconds of the recording, summed per stretch of output
    double tempo = 1.0;
    for (double next : {1.0, 0.5, 2.0, 0.75, 1.0, 1.25}) {
        ASSERT_TRUE(SetStreamTempo(s, next));
        tempo = next;
        AdvanceManualOutput(kRate / 2, &mix);
        expected += 0.5 * tempo;
    }
    // Every change is spliced like the stretcher's own splices: no click anywhere.
    const float toneStep = static_cast<float>(0.3 * 2 * std::numbers::pi * 440 / kRate);
    EXPECT_LT(LargestStep(mix), 1.5f * toneStep);
    EXPECT_NEAR(MeasureFrequency(mix, 0, mix.size() / 2), 440.0, 4.4);
    EXPECT_NEAR(PositionSeconds(s), expected, 0.03);
}

TEST_F(Tempo, BackToNormalSpeedWhilePlayingIsThePlainRecordingAfterTheFade) {
    const Signal speech = audio_test::SpeechLike(kRate, 2, 3.0, 3);
    const HSTREAM s = Open("speech.wav", speech);
    ASSERT_TRUE(SetStreamTempo(s, 0.5));
    ASSERT_TRUE(PlayStream(s, false));
    AdvanceManualOutput(kRate / 3 + 77);
    const std::uint64_t at = StreamPosition(s, POS_BYTE) / 4;
    ASSERT_TRUE(SetStreamTempo(s, 1.0));
    std::vector<float> mix;
    AdvanceManualOutput(kRate, &mix);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), (at + kRate) * 4);
    const std::size_t fade = 256;
    for (std::size_t i = 2 * fade; i < mix.size(); ++i)
        ASSERT_EQ(mix[i], speech.samples[2 * at + i]) << i;
}

TEST_F(Tempo, ChangeIsHeardWithinFiftyMilliseconds) {
    // The same playing twice, with and without the change: the first frame that differs.
    const Signal speech = audio_test::SpeechLike(kRate, 2, 4.0, 9);
    const std::pair<double, double> changes[] = {{1.0, 0.6}, {0.6, 0.65}, {2.0, 0.5}, {0.8, 1.0}};
    for (const auto& [from, to] : changes) {
        SCOPED_TRACE(::testing::Message() << from << " to " << to);
        std::vector<float> outputs[2];
        for (int change = 0; change < 2; ++change) {
            const HSTREAM s = Open("s" + std::to_string(change) + ".wav", speech);
            ASSERT_TRUE(SetStreamTempo(s, from));
            ASSERT_TRUE(PlayStream(s, false));
            AdvanceManualOutput(kRate / 2 + 333);
            if (change) {
                ASSERT_TRUE(SetStreamTempo(s, to));
            }
            AdvanceManualOutput(kRate / 5, &outputs[change]);
            FreeStream(s);
        }
        std::size_t frame = 0;
        while (frame < outputs[0].size() / 2 && outputs[0][2 * frame] == outputs[1][2 * frame])
            ++frame;
        EXPECT_LT(frame, kRate / 20u);
    }
}

TEST_F(Tempo, EndOfTheRecordingWhileStretched) {
    const HSTREAM s = Open("tone.wav", audio_test::Sine(kRate, 1, 1.0, 440, 0.3));
    for (double tempo : {0.5, 2.0}) {
        SCOPED_TRACE(tempo);
        ASSERT_TRUE(SetStreamTempo(s, tempo));
        ASSERT_TRUE(PlayStream(s, true));
        std::vector<float> mix;
        AdvanceManualOutput(static_cast<std::size_t>(3 * kRate), &mix);
        EXPECT_EQ(StreamActivity(s), ACTIVE_STOPPED);
        EXPECT_EQ(StreamPosition(s, POS_BYTE), StreamLength(s, POS_BYTE));
        // Sound for the recording's length over the tempo, then silence (no padding).
        std::size_t last = 0;
        for (std::size_t i = 0; i < mix.size() / 2; ++i)
            if (std::abs(mix[2 * i]) > 1e-4f) last = i;
        EXPECT_NEAR(static_cast<double>(last) / kRate, 1.0 / tempo, 0.01 / tempo);
        EXPECT_FALSE(PauseStream(s));  // ended: stays stopped, so the player sees the end
    }
}

TEST_F(Tempo, RefusesWhatItCannotPlay) {
    const Signal tone = audio_test::Sine(kRate, 2, 0.5, 440, 0.3);
    const HSTREAM s = Open("tone.wav", tone);
    ASSERT_TRUE(SetStreamTempo(s, 0.8));
    for (double bad : {0.49, 2.01, 0.0, -1.0, std::nan(""), double{INFINITY}}) {
        EXPECT_FALSE(SetStreamTempo(s, bad)) << bad;
        EXPECT_EQ(StreamTempo(s), 0.8);
    }
    EXPECT_TRUE(SetStreamTempo(s, 0.5));
    EXPECT_TRUE(SetStreamTempo(s, 2.0));
    EXPECT_FALSE(SetStreamTempo(0, 1.0));
    EXPECT_EQ(StreamTempo(0), 0.0);
    const HSTREAM decode =
        OpenFileStream(false, dir.Path("tone.wav"), 0, 0, STREAM_DECODE | SAMPLE_FLOAT);
    ASSERT_NE(decode, 0u);
    EXPECT_FALSE(SetStreamTempo(decode, 0.5));
    FreeStream(s);
    EXPECT_FALSE(SetStreamTempo(s, 1.0));
}

TEST_F(Tempo, OtherFileRatesAreStretchedAfterResampling) {
    Signal tone = audio_test::Sine(22050, 1, 4.0, 440, 0.3);
    const HSTREAM s = Open("low.wav", tone);
    ASSERT_TRUE(SetStreamTempo(s, 0.5));
    ASSERT_TRUE(PlayStream(s, false));
    AdvanceManualOutput(kRate / 4);
    const double before = PositionSeconds(s);
    std::vector<float> mix;
    AdvanceManualOutput(2 * kRate, &mix);
    EXPECT_NEAR(PositionSeconds(s) - before, 1.0, 0.01);
    EXPECT_NEAR(MeasureFrequency(mix, 0, mix.size() / 2), 440.0, 4.4);
}

TEST(TempoThreads, ChangingTheTempoWhileTheNullOutputPlays) {
    audio_test::TempFolder dir;
    const std::string path = dir.Path("s.wav");
    ASSERT_TRUE(audio_test::WriteWav16(path, audio_test::SpeechLike(kRate, 2, 3.0, 5)));
    ASSERT_TRUE(OpenDevice(DEVICE_NULL, kRate, 0, nullptr, nullptr));
    const HSTREAM s = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    ASSERT_TRUE(PlayStream(s, false));
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            StreamPosition(s, POS_BYTE);
            StreamTempo(s);
        }
    });
    const double tempos[] = {0.5, 1.0, 2.0, 0.75};
    for (int i = 0; i < 40; ++i) {
        EXPECT_TRUE(SetStreamTempo(s, tempos[i % 4]));
        if (i % 10 == 0) SeekStream(s, 0, POS_BYTE);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    done = true;
    reader.join();
    EXPECT_EQ(StreamActivity(s), ACTIVE_PLAYING);
    CloseDevice();
}

}  // namespace
