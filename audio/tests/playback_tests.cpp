// Playback streams through the manual output: positions, activity, seeking, volume,
// and the output's own rules.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>
#include <thread>

#include "audio/audio.h"
#include "audio/tests/sound_files.h"

namespace {

using namespace audio;
using audio_test::Signal;

class Playback : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(OpenManualOutput(44100)); }
    void TearDown() override { CloseDevice(); }

    // A 16-bit WAV; `signals` keeps what libsndfile reads back from it.
    std::string MakeWav(const std::string& name, int rate, int channels, double seconds) {
        const std::string path = dir.Path(name);
        EXPECT_TRUE(
            audio_test::WriteWav16(path, audio_test::SpeechLike(rate, channels, seconds, 7)));
        const audio_test::Decoded d = audio_test::DecodeWithSndfile(path);
        signals[path] = Signal{d.rate, d.channels, d.samples};
        return path;
    }

    audio_test::TempFolder dir;
    std::map<std::string, Signal> signals;
};

TEST_F(Playback, OutputAlreadyOpenStaysAsItIs) {
    EXPECT_FALSE(OpenDevice(DEVICE_NULL, 44100, 0, nullptr, nullptr));
    EXPECT_FALSE(OpenDevice(DEVICE_DEFAULT, 44100, 0, nullptr, nullptr));
    EXPECT_FALSE(OpenManualOutput(44100));
    EXPECT_TRUE(StartOutput());
    // Still the manual output: it renders on request.
    EXPECT_EQ(AdvanceManualOutput(100), 100u);
}

TEST(Output, DefaultDeviceFailsQuietlyWithNullEnvironment) {
    setenv("NUVTOLVEK_AUDIO", "null", 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(OpenDevice(DEVICE_DEFAULT, 44100, 0, nullptr, nullptr));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_FALSE(StartOutput());
    EXPECT_EQ(AdvanceManualOutput(10), 0u);  // no manual output either
    EXPECT_FALSE(OpenDevice(5, 44100, 0, nullptr, nullptr));
}

TEST(Output, NullDeviceConsumesSoundInRealTime) {
    audio_test::TempFolder dir;
    const std::string path = dir.Path("a.wav");
    ASSERT_TRUE(audio_test::WriteWav16(path, audio_test::Sine(44100, 2, 5.0, 440, 0.3)));
    ASSERT_TRUE(OpenDevice(DEVICE_NULL, 44100, 0, nullptr, nullptr));
    EXPECT_TRUE(StartOutput());
    EXPECT_EQ(AdvanceManualOutput(10), 0u);  // the null output is not advanced by hand
    const HSTREAM s = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    ASSERT_NE(s, 0u);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(PlayStream(s, false));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double heard = BytesToSeconds(s, StreamPosition(s, POS_BYTE));
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_NEAR(heard, elapsed, 0.08);
    EXPECT_EQ(StreamActivity(s), ACTIVE_PLAYING);
    CloseDevice();
    EXPECT_EQ(StreamActivity(s), ACTIVE_STOPPED);  // closing freed it
    EXPECT_FALSE(FreeStream(s));
}

TEST_F(Playback, PositionCountsRenderedFramesInTheStreamsOwnBytes) {
    const std::string stereo = MakeWav("stereo.wav", 44100, 2, 2.0);
    const std::string mono = MakeWav("mono.wav", 22050, 1, 2.0);
    const HSTREAM a = OpenFileStream(false, stereo, 0, 0, STREAM_PRESCAN);
    const HSTREAM b = OpenFileStream(false, mono, 0, 0, STREAM_PRESCAN);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_EQ(StreamLength(a, POS_BYTE), 88200u * 2 * 2);
    EXPECT_EQ(StreamLength(b, POS_BYTE), 44100u * 1 * 2);
    EXPECT_DOUBLE_EQ(BytesToSeconds(a, 176400), 1.0);
    EXPECT_DOUBLE_EQ(BytesToSeconds(b, 44100), 1.0);
    EXPECT_EQ(StreamPosition(a, POS_BYTE), 0u);
    ASSERT_TRUE(PlayStream(a, false));
    ASSERT_TRUE(PlayStream(b, false));
    AdvanceManualOutput(1000);
    EXPECT_EQ(StreamPosition(a, POS_BYTE), 1000u * 4);
    EXPECT_EQ(StreamPosition(b, POS_BYTE), 500u * 2);
    AdvanceManualOutput(44100 - 1000);
    EXPECT_EQ(StreamPosition(a, POS_BYTE), 44100u * 4);
    EXPECT_EQ(StreamPosition(b, POS_BYTE), 22050u * 2);
    EXPECT_DOUBLE_EQ(BytesToSeconds(b, StreamPosition(b, POS_BYTE)), 1.0);
}

TEST_F(Playback, ActivityThroughOpenPlayPauseStopPlayAndEnd) {
    const std::string path = MakeWav("a.wav", 44100, 2, 1.0);
    const HSTREAM s = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(StreamActivity(s), ACTIVE_STOPPED);
    EXPECT_FALSE(PauseStream(s));  // nothing plays: stays stopped
    EXPECT_EQ(StreamActivity(s), ACTIVE_STOPPED);
    ASSERT_TRUE(PlayStream(s, false));
    EXPECT_EQ(StreamActivity(s), ACTIVE_PLAYING);
    AdvanceManualOutput(4410);
    EXPECT_TRUE(PauseStream(s));
    EXPECT_EQ(StreamActivity(s), ACTIVE_PAUSED);
    AdvanceManualOutput(4410);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 4410u * 4);  // a paused stream does not move
    EXPECT_TRUE(PlayStream(s, false));
    EXPECT_EQ(StreamActivity(s), ACTIVE_PLAYING);
    AdvanceManualOutput(4410);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 8820u * 4);
    EXPECT_TRUE(StopStream(s));
    EXPECT_EQ(StreamActivity(s), ACTIVE_STOPPED);
    AdvanceManualOutput(4410);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 8820u * 4);  // stop keeps the position
    EXPECT_TRUE(PlayStream(s, false));                  // and play resumes there
    AdvanceManualOutput(100);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 8920u * 4);
    AdvanceManualOutput(44100);  // past the end
    EXPECT_EQ(StreamActivity(s), ACTIVE_STOPPED);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), StreamLength(s, POS_BYTE));
    EXPECT_FALSE(PauseStream(s));  // an ended stream stays stopped, so the end is seen
    EXPECT_EQ(StreamActivity(s), ACTIVE_STOPPED);
    EXPECT_TRUE(PlayStream(s, false));  // nothing left: still stopped
    AdvanceManualOutput(100);
    EXPECT_EQ(StreamActivity(s), ACTIVE_STOPPED);
    EXPECT_TRUE(PlayStream(s, true));  // restart from the beginning
    EXPECT_EQ(StreamActivity(s), ACTIVE_PLAYING);
    AdvanceManualOutput(10);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 40u);
}

TEST_F(Playback, EndIsReachedExactlyAtTheLastFrame) {
    const std::string path = MakeWav("a.wav", 44100, 1, 0.5);  // 22050 frames
    const HSTREAM s = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    ASSERT_TRUE(PlayStream(s, false));
    AdvanceManualOutput(22049);
    EXPECT_EQ(StreamActivity(s), ACTIVE_PLAYING);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 22049u * 2);
    AdvanceManualOutput(1);
    EXPECT_EQ(StreamActivity(s), ACTIVE_STOPPED);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 22050u * 2);
}

TEST_F(Playback, RenderedSoundIsTheFilesSamples) {
    const std::string path = MakeWav("a.wav", 44100, 2, 1.0);
    const Signal& original = signals[path];
    const HSTREAM s = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    ASSERT_TRUE(PlayStream(s, false));
    std::vector<float> mix;
    AdvanceManualOutput(50000, &mix);  // more than the file: silence after its end
    ASSERT_EQ(mix.size(), 100000u);
    for (std::size_t i = 0; i < original.samples.size(); ++i)
        ASSERT_EQ(mix[i], original.samples[i]) << i;
    for (std::size_t i = original.samples.size(); i < mix.size(); ++i) ASSERT_EQ(mix[i], 0.0f);
}

TEST_F(Playback, MonoIsHeardOnBothSidesAndMoreChannelsAreMixedToStereo) {
    Signal mono = audio_test::Sine(44100, 1, 0.1, 500, 0.5);
    ASSERT_TRUE(audio_test::WriteSound(dir.Path("m.wav"), mono, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    Signal four{44100, 4, std::vector<float>(4410 * 4)};
    for (std::size_t i = 0; i < 4410; ++i) {
        four.samples[i * 4 + 0] = 0.1f;
        four.samples[i * 4 + 1] = 0.2f;
        four.samples[i * 4 + 2] = 0.3f;
        four.samples[i * 4 + 3] = 0.4f;
    }
    ASSERT_TRUE(audio_test::WriteSound(dir.Path("q.wav"), four, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    const HSTREAM m = OpenFileStream(false, dir.Path("m.wav"), 0, 0, 0);
    ASSERT_TRUE(PlayStream(m, false));
    std::vector<float> mix;
    AdvanceManualOutput(4410, &mix);
    for (std::size_t i = 0; i < 4410; ++i) {
        ASSERT_EQ(mix[2 * i], mono.samples[i]);
        ASSERT_EQ(mix[2 * i + 1], mono.samples[i]);
    }
    FreeStream(m);
    const HSTREAM q = OpenFileStream(false, dir.Path("q.wav"), 0, 0, 0);
    StreamInfoRecord info;
    ASSERT_TRUE(StreamInfo(q, &info));
    EXPECT_EQ(info.chans, 2u);
    EXPECT_EQ(StreamLength(q, POS_BYTE), 4410u * 2 * 2);
    ASSERT_TRUE(PlayStream(q, false));
    mix.clear();
    AdvanceManualOutput(100, &mix);
    EXPECT_NEAR(mix[0], 0.2f, 1e-6);  // (0.1 + 0.3) / 2
    EXPECT_NEAR(mix[1], 0.3f, 1e-6);  // (0.2 + 0.4) / 2
}

TEST_F(Playback, SeekMovesPlayingAndStoppedStreamsToTheExactFrame) {
    const std::string path = MakeWav("a.wav", 44100, 2, 2.0);
    const Signal& original = signals[path];
    const HSTREAM s = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    // Stopped: the position moves, play starts there.
    ASSERT_TRUE(SeekStream(s, 12345 * 4, POS_BYTE));
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 12345u * 4);
    EXPECT_EQ(StreamActivity(s), ACTIVE_STOPPED);
    ASSERT_TRUE(PlayStream(s, false));
    std::vector<float> mix;
    AdvanceManualOutput(300, &mix);
    for (std::size_t i = 0; i < 600; ++i) ASSERT_EQ(mix[i], original.samples[12345 * 2 + i]);
    // Playing: the next block comes from the new place.
    ASSERT_TRUE(SeekStream(s, 50001 * 4 + 3, POS_BYTE));  // inside a frame: that frame
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 50001u * 4);
    mix.clear();
    AdvanceManualOutput(300, &mix);
    for (std::size_t i = 0; i < 600; ++i) ASSERT_EQ(mix[i], original.samples[50001 * 2 + i]);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 50301u * 4);
    // Backwards, to the start, to the end; beyond the end fails and changes nothing.
    ASSERT_TRUE(SeekStream(s, 0, POS_BYTE));
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 0u);
    EXPECT_FALSE(SeekStream(s, StreamLength(s, POS_BYTE) + 4, POS_BYTE));
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 0u);
    ASSERT_TRUE(SeekStream(s, StreamLength(s, POS_BYTE), POS_BYTE));
    EXPECT_EQ(StreamPosition(s, POS_BYTE), StreamLength(s, POS_BYTE));
    AdvanceManualOutput(10);
    EXPECT_EQ(StreamActivity(s), ACTIVE_STOPPED);
    // After the end: a seek back and play go on from there.
    ASSERT_TRUE(SeekStream(s, 4000, POS_BYTE));
    ASSERT_TRUE(PlayStream(s, false));
    EXPECT_EQ(StreamActivity(s), ACTIVE_PLAYING);
    AdvanceManualOutput(10);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 4040u);
}

TEST_F(Playback, MasterVolumeScalesTheMix) {
    const std::string path = MakeWav("a.wav", 44100, 2, 1.0);
    const Signal& original = signals[path];
    const HSTREAM s = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    ASSERT_TRUE(PlayStream(s, false));
    ASSERT_TRUE(SetMasterVolume(0.0f));
    std::vector<float> mix;
    AdvanceManualOutput(1000, &mix);
    for (float v : mix) ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 4000u);  // silence, but the stream runs on
    ASSERT_TRUE(SetMasterVolume(0.5f));
    mix.clear();
    AdvanceManualOutput(1000, &mix);
    for (std::size_t i = 0; i < 2000; ++i) ASSERT_EQ(mix[i], 0.5f * original.samples[2000 + i]);
    EXPECT_FALSE(SetMasterVolume(1.5f));
    EXPECT_FALSE(SetMasterVolume(-0.1f));
    EXPECT_FALSE(SetMasterVolume(std::nanf("")));
    EXPECT_TRUE(SetMasterVolume(1.0f));
}

TEST_F(Playback, ResampledStreamKeepsPitchAndLength) {
    // 1 kHz at 22050 Hz played at 44100 Hz: still 1 kHz, twice as many output frames.
    ASSERT_TRUE(audio_test::WriteSound(dir.Path("s.wav"),
                                       audio_test::Sine(22050, 1, 1.0, 1000, 0.5),
                                       SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    const HSTREAM s = OpenFileStream(false, dir.Path("s.wav"), 0, 0, STREAM_PRESCAN);
    ASSERT_TRUE(PlayStream(s, false));
    std::vector<float> mix;
    AdvanceManualOutput(44100 - 1000, &mix);
    EXPECT_EQ(StreamActivity(s), ACTIVE_PLAYING);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), (44100u - 1000) / 2 * 2);
    // Correlate with a 1 kHz sine in the middle of the rendered sound.
    double re = 0, im = 0, energy = 0;
    for (std::size_t i = 4410; i < 4410 + 44100 / 2; ++i) {
        const double t = 2 * M_PI * 1000 * static_cast<double>(i) / 44100;
        re += mix[2 * i] * std::cos(t);
        im += mix[2 * i] * std::sin(t);
        energy += mix[2 * i] * mix[2 * i];
    }
    const double amplitude = 2 * std::hypot(re, im) / (44100 / 2);
    EXPECT_NEAR(amplitude, 0.5, 0.005);
    EXPECT_NEAR(std::sqrt(energy / (44100 / 2)), 0.5 / std::sqrt(2.0), 0.005);
    AdvanceManualOutput(3000);
    EXPECT_EQ(StreamActivity(s), ACTIVE_STOPPED);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), StreamLength(s, POS_BYTE));
    // A seek restarts the resampler at the new place.
    ASSERT_TRUE(SeekStream(s, 11025 * 2, POS_BYTE));
    ASSERT_TRUE(PlayStream(s, false));
    AdvanceManualOutput(2000);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), (11025u + 1000) * 2);
}

TEST_F(Playback, BadHandlesFail) {
    const std::string path = MakeWav("a.wav", 44100, 2, 0.2);
    const HSTREAM s = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    ASSERT_NE(s, 0u);
    const HFX fx = AddStreamEffect(s, FX_PARAMEQ, 1);
    ASSERT_NE(fx, 0u);
    ASSERT_TRUE(FreeStream(s));
    for (HSTREAM h : {HSTREAM{0}, s, HSTREAM{12345678}}) {
        EXPECT_FALSE(FreeStream(h));
        EXPECT_FALSE(PlayStream(h, false));
        EXPECT_FALSE(StopStream(h));
        EXPECT_FALSE(PauseStream(h));
        EXPECT_EQ(StreamActivity(h), ACTIVE_STOPPED);
        EXPECT_EQ(StreamLength(h, POS_BYTE), BAD_POSITION);
        EXPECT_EQ(StreamPosition(h, POS_BYTE), BAD_POSITION);
        EXPECT_LT(BytesToSeconds(h, 100), 0.0);
        EXPECT_FALSE(SeekStream(h, 0, POS_BYTE));
        EXPECT_FALSE(ResetStreamEffects(h));
        EXPECT_EQ(AddStreamEffect(h, FX_PARAMEQ, 1), 0u);
        StreamInfoRecord info;
        EXPECT_FALSE(StreamInfo(h, &info));
        float buffer[16];
        EXPECT_EQ(ReadDecodedData(h, buffer, sizeof buffer | DATA_FLOAT), BAD_READ);
    }
    const ParamEqParams band{1000, 10, 6};
    EXPECT_FALSE(SetEffectParameters(fx, &band));  // freed with its stream
    EXPECT_FALSE(SetEffectParameters(0, &band));
    // Wrong arguments on a good stream.
    const HSTREAM t = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    EXPECT_EQ(AddStreamEffect(t, 3, 1), 0u);
    EXPECT_EQ(StreamLength(t, 1), BAD_POSITION);
    EXPECT_EQ(ReadDecodedData(t, nullptr, 0), BAD_READ);
    float buffer[16];
    EXPECT_EQ(ReadDecodedData(t, buffer, sizeof buffer), BAD_READ);  // not a decoding stream
    EXPECT_EQ(OpenFileStream(true, path, 0, 0, 0), 0u);
    EXPECT_EQ(OpenFileStream(false, "", 0, 0, 0), 0u);
}

TEST_F(Playback, FreeingAndClosingReleaseEverything) {
    const std::string path = MakeWav("a.wav", 44100, 2, 0.5);
    const HSTREAM a = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    const HSTREAM b = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    ASSERT_NE(a, b);
    ASSERT_TRUE(PlayStream(a, false));
    ASSERT_TRUE(PlayStream(b, false));
    ASSERT_TRUE(FreeStream(a));
    std::vector<float> mix;
    AdvanceManualOutput(100, &mix);
    EXPECT_EQ(mix[0], signals[path].samples[0]);  // only b is heard
    const HSTREAM c = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    EXPECT_NE(c, a);  // handles are not reused
    CloseDevice();
    EXPECT_EQ(StreamActivity(b), ACTIVE_STOPPED);
    EXPECT_EQ(StreamLength(c, POS_BYTE), BAD_POSITION);
    ASSERT_TRUE(OpenManualOutput(44100));
}

}  // namespace
