// The equalizer command while a recording plays, heard through a real sound server: the
// index signal (every frame carries its own index) must come out as one unbroken run, each
// frame once and unaltered, however often the command runs.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>
#include <thread>

#include "audio/audio.h"
#include "audio/tests/monitor.h"
#include "audio/tests/sound_files.h"
#include "player/equalizer_command.h"

namespace {

using namespace std::chrono_literals;
constexpr std::int64_t kRate = 44100;

TEST(EqualizerCommand, RunEvery300MsWhilePlayingIsHeardAsOneUnbrokenSignal) {
    ASSERT_TRUE(audio_test::SoundServerAvailable()) << "run under scripts/with-pulse";
    ASSERT_TRUE(audio::OpenDevice(audio::DEVICE_DEFAULT, kRate, 0, nullptr, nullptr));
    audio_test::TempFolder dir;
    const std::int64_t n = 12 * kRate;
    const std::string path = dir.Path("index.wav");
    ASSERT_TRUE(audio_test::WriteIndexWav(path, n));
    const audio::HSTREAM s = audio::OpenFileStream(false, path, 0, 0, audio::STREAM_PRESCAN);
    ASSERT_NE(s, 0u);
    // Twelve bands as the player attaches them, at the sliders' middle (0 dB): the
    // samples pass unaltered, so any break in the sound shows in the indices.
    constexpr std::array<int, 12> centres{80,   100,  250,  500,  750,   1000,
                                          1500, 2500, 4000, 8000, 12000, 16000};
    std::array<audio::HFX, 12> effects{};
    std::array<audio::ParamEqParams, 12> bands{};
    for (std::size_t i = 0; i < effects.size(); ++i) {
        effects[i] = audio::AddStreamEffect(s, audio::FX_PARAMEQ, 1);
        ASSERT_NE(effects[i], 0u);
        bands[i] = {static_cast<float>(centres[i]), 10.0f, 0.0f};
    }
    audio_test::MonitorRecorder rec;
    player::ApplyEqualizer(s, effects, bands);  // as opening a file does: it starts playing
    const auto until = audio_test::Clock::now() + 10s;
    int calls = 0;
    while (audio_test::Clock::now() < until) {
        std::this_thread::sleep_for(300ms);
        player::ApplyEqualizer(s, effects, bands);
        ++calls;
        EXPECT_EQ(audio::StreamActivity(s), audio::ACTIVE_PLAYING);
    }
    while (audio::StreamActivity(s) == audio::ACTIVE_PLAYING) std::this_thread::sleep_for(20ms);
    std::this_thread::sleep_for(250ms);
    const auto runs = audio_test::IndexRuns(rec.Stop());
    audio::FreeStream(s);
    audio::CloseDevice();
    EXPECT_GE(calls, 30);
    std::string seen;
    for (const auto& r : runs)
        seen += " " + std::to_string(r.first) + ".." + std::to_string(r.last);
    ASSERT_EQ(runs.size(), 1u) << "broken into" << seen;
    EXPECT_EQ(runs[0].first, 0);
    EXPECT_EQ(runs[0].last, n - 1);
}

}  // namespace
