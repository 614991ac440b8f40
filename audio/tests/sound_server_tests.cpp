// The engine through a real sound server: PortAudio's default device plays to a private
// PulseAudio whose null sink's monitor is recorded (scripts/with-pulse), and what was heard
// is checked frame by frame: every frame once and in order, across pause, seeks, busy
// cores and a server that dies and comes back, and no click from the equalizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "audio/tests/monitor.h"
#include "audio/tests/sound_files.h"

namespace audio_test {
bool operator==(const IndexRun& a, const IndexRun& b) {
    return a.first == b.first && a.last == b.last;
}
std::ostream& operator<<(std::ostream& os, const IndexRun& r) {
    return os << '[' << r.first << ".." << r.last << ']';
}
}  // namespace audio_test

namespace {

using namespace audio;
using namespace std::chrono_literals;
using audio_test::Clock;
using audio_test::FrameIndex;
using audio_test::IndexRun;
using audio_test::IndexRuns;
using audio_test::MonitorRecorder;
using Recording = std::vector<std::int16_t>;  // interleaved stereo, as the monitor gives it
using Runs = std::vector<IndexRun>;

constexpr std::int64_t kRate = 44100;

constexpr std::int64_t FramesOf(std::chrono::milliseconds ms) {
    return ms.count() * kRate / 1000;
}

std::int64_t Frame(HSTREAM s) {
    const std::uint64_t pos = StreamPosition(s, POS_BYTE);
    return pos == BAD_POSITION ? -1 : static_cast<std::int64_t>(pos / 4);
}

// What the sound server makes of a float sample in its 16-bit sink: scaled by 32768,
// rounded to the nearest (ties to even) and clamped.
std::int16_t ServerS16(float x) {
    return static_cast<std::int16_t>(std::clamp(std::lrintf(x * 32768.0f), -32768L, 32767L));
}

// What is still heard of a stream after it is halted or moved: through PortAudio, the
// device's own buffer (some 35 ms) plays on; straight to the server, its whole queue is
// flushed. Nothing queued beyond that may be heard.
std::int64_t OnItsWayAfterADrop() {
    const char* output = std::getenv("NUVTOLVEK_OUTPUT");
    const bool viaPortAudio = output && std::string(output) == "portaudio";
    return viaPortAudio ? FramesOf(45ms) : FramesOf(15ms);
}

// From the first frame that is not silent to the last, both included.
Recording Sounding(const Recording& r) {
    std::size_t first = 0, end = r.size() / 2;
    while (first < end && r[2 * first] == 0 && r[2 * first + 1] == 0) ++first;
    while (end > first && r[2 * end - 2] == 0 && r[2 * end - 1] == 0) --end;
    return Recording(r.begin() + static_cast<std::ptrdiff_t>(2 * first),
                     r.begin() + static_cast<std::ptrdiff_t>(2 * end));
}

class SoundServer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(audio_test::SoundServerAvailable())
            << "No sound server to play to: run this test through scripts/with-pulse "
               "(e.g. scripts/with-pulse ctest --test-dir build -L sound).";
        ASSERT_TRUE(OpenDevice(DEVICE_DEFAULT, kRate, 0, nullptr, nullptr))
            << "the default device did not open on the sound server";
    }
    void TearDown() override { CloseDevice(); }

    std::string IndexWav(std::int64_t frames) {
        const std::string path = dir.Path("index" + std::to_string(frames) + ".wav");
        EXPECT_TRUE(audio_test::WriteIndexWav(path, frames));
        return path;
    }
    static HSTREAM Open(const std::string& path) {
        const HSTREAM s = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
        EXPECT_NE(s, 0u) << path;
        return s;
    }
    // Waits for the stream's end, then for its last frames to reach the monitor.
    static void AwaitEnd(HSTREAM s, std::chrono::seconds limit) {
        const auto until = Clock::now() + limit;
        while (StreamActivity(s) == ACTIVE_PLAYING && Clock::now() < until)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(StreamActivity(s), ACTIVE_STOPPED) << "the stream did not reach its end";
        std::this_thread::sleep_for(250ms);
    }
    // The whole file played from the start, as recorded.
    static Recording PlayWhole(const std::string& path, std::chrono::seconds limit) {
        const HSTREAM s = Open(path);
        MonitorRecorder rec;
        EXPECT_TRUE(rec.Running());
        EXPECT_TRUE(PlayStream(s, false));
        AwaitEnd(s, limit);
        FreeStream(s);
        return rec.Stop();
    }

    audio_test::TempFolder dir;
};

// Played the moment the device is open, as a file opened and played at once, with no one
// listening but scripts/with-pulse's own reader: the sound goes on. First, as the first
// sound of the process: that is where a start that stalls has been seen.
TEST_F(SoundServer, PlaysOnWhenPlayedRightAfterOpening) {
    const std::string path = IndexWav(3 * kRate);
    CloseDevice();
    ASSERT_TRUE(OpenDevice(DEVICE_DEFAULT, kRate, 0, nullptr, nullptr));
    const std::uint32_t losses = OutputLosses();
    const HSTREAM s = Open(path);
    ASSERT_TRUE(PlayStream(s, false));
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(OutputLosses(), losses) << "the sound card was taken as lost";
    EXPECT_GE(Frame(s), FramesOf(800ms)) << "the sound stopped";
}

TEST_F(SoundServer, EveryFrameIsHeardOnceInOrder) {
    const std::int64_t n = 3 * kRate;
    EXPECT_EQ(IndexRuns(PlayWhole(IndexWav(n), 10s)), (Runs{{0, n - 1}}));
}

TEST_F(SoundServer, ResampledMonoIsHeardExactlyAsTheEngineRendersIt) {
    const std::string path = dir.Path("mono.wav");
    ASSERT_TRUE(audio_test::WriteWav16(path, audio_test::SpeechLike(22050, 1, 2.0, 5)));
    // The engine's own mix of the file, rendered without a sound card.
    CloseDevice();
    ASSERT_TRUE(OpenManualOutput(kRate));
    std::vector<float> mix;
    ASSERT_TRUE(PlayStream(Open(path), false));
    AdvanceManualOutput(3 * kRate, &mix);
    CloseDevice();
    ASSERT_TRUE(OpenDevice(DEVICE_DEFAULT, kRate, 0, nullptr, nullptr));
    Recording rendered(mix.size());
    std::transform(mix.begin(), mix.end(), rendered.begin(), ServerS16);
    const Recording expected = Sounding(rendered);
    ASSERT_GT(expected.size(), 2u * kRate);

    // Aligned at the first sound: the device starts with silence of its own.
    const Recording heard = Sounding(PlayWhole(path, 10s));
    EXPECT_EQ(heard.size(), expected.size());
    const auto diff = std::mismatch(expected.begin(), expected.end(), heard.begin(), heard.end());
    EXPECT_TRUE(diff.first == expected.end() && diff.second == heard.end())
        << "first difference at frame " << (diff.first - expected.begin()) / 2 << ": rendered "
        << (diff.first == expected.end() ? 0 : *diff.first) << ", heard "
        << (diff.second == heard.end() ? 0 : *diff.second);
}

TEST_F(SoundServer, PauseResumeAndSeeksLoseAndRepeatNothing) {
    const std::int64_t n = 6 * kRate, back = kRate / 4, ahead = 4 * kRate;
    const HSTREAM s = Open(IndexWav(n));
    MonitorRecorder rec;
    ASSERT_TRUE(PlayStream(s, false));
    std::this_thread::sleep_for(700ms);
    ASSERT_TRUE(PauseStream(s));
    std::this_thread::sleep_for(100ms);  // what was on its way is heard by now
    std::vector<std::int64_t> paused;
    for (int i = 0; i < 6; ++i, std::this_thread::sleep_for(40ms)) paused.push_back(Frame(s));
    ASSERT_TRUE(PlayStream(s, false));
    std::this_thread::sleep_for(500ms);
    const std::int64_t heardAtSeek = Frame(s);
    ASSERT_TRUE(SeekStream(s, static_cast<std::uint64_t>(back) * 4, POS_BYTE));
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(SeekStream(s, static_cast<std::uint64_t>(ahead) * 4, POS_BYTE));
    AwaitEnd(s, 10s);
    const Runs runs = IndexRuns(rec.Stop());
    // Runs split at silence and at any jump of the index: the pause is the silence
    // between the first two, which must join without a frame lost or repeated.
    ASSERT_EQ(runs.size(), 4u) << ::testing::PrintToString(runs);
    EXPECT_EQ(runs[0].first, 0);
    EXPECT_EQ(runs[1].first, runs[0].last + 1) << "resumed elsewhere than after the pause";
    // A paused stream reports what was heard, and holds still.
    EXPECT_EQ(paused, std::vector<std::int64_t>(paused.size(), runs[0].last + 1));
    EXPECT_EQ(runs[2].first, back);
    EXPECT_GT(runs[1].last, runs[1].first);
    // What was queued from before a seek goes: the new place is heard at once.
    EXPECT_LE(runs[1].last - heardAtSeek, OnItsWayAfterADrop())
        << "heard at the seek: " << heardAtSeek;
    EXPECT_GT(runs[2].last, back);
    EXPECT_EQ(runs[3], (IndexRun{ahead, n - 1}));
}

TEST_F(SoundServer, ReportedPositionIsTheFrameBeingHeard) {
    const HSTREAM s = Open(IndexWav(5 * kRate));
    std::mutex mutex;
    std::vector<double> errorsMs;
    std::atomic<bool> watching{false};
    // The newest frame of each chunk from the monitor is the one heard that moment.
    MonitorRecorder rec([&](const Recording& r, std::size_t, Clock::time_point) {
        const std::int64_t heard = FrameIndex(r[r.size() - 2], r.back());
        if (!watching || heard < FramesOf(100ms)) return;  // past the start
        const std::int64_t reported = Frame(s);
        std::lock_guard lock(mutex);
        errorsMs.push_back(std::abs(static_cast<double>(reported - heard)) * 1000.0 / kRate);
    });
    // What went before must not move the clock: a pause, a while with nothing to play,
    // then another stream. Once this clock ran on through the silence, and the position
    // then stood a whole queue ahead of the ear for about a second.
    const HSTREAM before = Open(IndexWav(5 * kRate));
    std::this_thread::sleep_for(1500ms);
    ASSERT_TRUE(PlayStream(before, false));
    std::this_thread::sleep_for(600ms);
    PauseStream(before);
    std::this_thread::sleep_for(300ms);
    FreeStream(before);
    watching = true;
    ASSERT_TRUE(PlayStream(s, false));
    std::this_thread::sleep_for(2s);
    watching = false;
    rec.Stop();
    std::lock_guard lock(mutex);
    ASSERT_GE(errorsMs.size(), 50u);
    std::sort(errorsMs.begin(), errorsMs.end());
    // The 90th percentile, not the median: a position that is off only now and then is
    // still a cursor that jumps. A few samples may catch a chunk late from the recorder.
    const double p90 = errorsMs[errorsMs.size() * 9 / 10];
    EXPECT_LE(p90, 10.0) << "median " << errorsMs[errorsMs.size() / 2] << " ms, max "
                         << errorsMs.back() << " ms";
}

// Whatever ends a stream, nothing of it is heard once the sound on its way to the ear at
// the call has played out: not its frames left queued when the card starts again for
// another stream, nor anything after the next stream's first frame.
TEST_F(SoundServer, NothingOfAnEndedStreamIsHeardAfterTheCall) {
    const std::int64_t n = 4 * kRate;
    const std::int64_t kOnItsWay = OnItsWayAfterADrop();
    const std::string path = IndexWav(n);
    const struct {
        const char* how;
        bool (*end)(HSTREAM);
        std::chrono::milliseconds idle;  // before the next stream plays
    } cases[] = {
        {"pause, card idle", &PauseStream, 1500ms}, {"stop, card idle", &StopStream, 1500ms},
        {"free, card idle", &FreeStream, 1500ms},   {"pause, at once", &PauseStream, 0ms},
        {"stop, at once", &StopStream, 0ms},        {"free, at once", &FreeStream, 0ms},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        const HSTREAM old = Open(path);
        ASSERT_TRUE(PlayStream(old, false));
        std::this_thread::sleep_for(600ms);
        MonitorRecorder rec;
        std::this_thread::sleep_for(50ms);
        const std::int64_t heardAtCall = Frame(old);
        ASSERT_TRUE(c.end(old));
        std::this_thread::sleep_for(c.idle + 100ms);
        const HSTREAM next = Open(path);
        ASSERT_TRUE(PlayStream(next, false));
        std::this_thread::sleep_for(400ms);
        const Runs runs = IndexRuns(rec.Stop());
        FreeStream(next);
        FreeStream(old);
        // The old stream's run, through the call, then the new one from its first frame.
        ASSERT_EQ(runs.size(), 2u) << ::testing::PrintToString(runs);
        EXPECT_LT(runs[0].first, heardAtCall);
        EXPECT_EQ(runs[1].first, 0) << ::testing::PrintToString(runs);
        EXPECT_LE(runs[0].last - heardAtCall, kOnItsWay)
            << "heard at the call: " << heardAtCall << ", " << ::testing::PrintToString(runs);
    }
}

// The player frees a recording as soon as it has reached its end: what is still on its way
// to the ear is its last sound, heard whole.
TEST_F(SoundServer, AStreamFreedAtItsEndIsHeardToItsLastFrame) {
    const std::int64_t n = kRate / 2;
    const HSTREAM s = Open(IndexWav(n));
    MonitorRecorder rec;
    ASSERT_TRUE(PlayStream(s, false));
    const auto until = Clock::now() + 5s;
    while (StreamActivity(s) == ACTIVE_PLAYING && Clock::now() < until)
        std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(FreeStream(s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(IndexRuns(rec.Stop()), (Runs{{0, n - 1}}));
}

TEST_F(SoundServer, NoGapWhileBothCoresAreBusy) {
    const std::int64_t n = 30 * kRate;
    const std::string path = IndexWav(n);
    for (int run = 1; run <= 3; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        audio_test::BusyLoad load(2);
        EXPECT_EQ(IndexRuns(PlayWhole(path, 40s)), (Runs{{0, n - 1}}));
    }
}

TEST_F(SoundServer, EqualizerChangesUnderATone) {
    // 1 kHz at the band's centre, quiet enough that +15 dB (×5.6) stays below full scale:
    // a clipped crest would change the slopes compared below. A whole number of cycles,
    // so that the tone also ends without a jump.
    const std::string path = dir.Path("tone.wav");
    ASSERT_TRUE(audio_test::WriteWav16(path, audio_test::Sine(kRate, 2, 5.0, 1000, 0.15)));
    const HSTREAM s = Open(path);
    HFX band = AddStreamEffect(s, FX_PARAMEQ, 1);
    ASSERT_NE(band, 0u);
    const auto gain = [&](float db) {
        const ParamEqParams p{1000.0f, 10.0f, db};
        EXPECT_TRUE(SetEffectParameters(band, &p)) << db;
        std::this_thread::sleep_for(20ms);
    };
    MonitorRecorder rec;
    ASSERT_TRUE(PlayStream(s, false));
    std::this_thread::sleep_for(200ms);
    for (int db = 0; db <= 15; ++db) gain(static_cast<float>(db));
    std::this_thread::sleep_for(200ms);  // the last glide and the filter's ringing die away
    const std::int64_t loudFrom = Frame(s);
    std::this_thread::sleep_for(400ms);
    const std::int64_t loudTo = Frame(s);
    for (int db = 15; db >= -15; --db) gain(static_cast<float>(db));
    for (int db = -15; db <= 15; ++db) gain(static_cast<float>(db));
    // Reset at +15 dB, as the player's reset: all bands gone, fresh flat ones added.
    ASSERT_TRUE(ResetStreamEffects(s));
    band = AddStreamEffect(s, FX_PARAMEQ, 1);
    std::this_thread::sleep_for(200ms);
    gain(15.0f);  // one jump from flat
    std::this_thread::sleep_for(200ms);
    gain(0.0f);  // the defaults, in one jump
    AwaitEnd(s, 10s);
    const Recording heard = Sounding(rec.Stop());
    ASSERT_GT(loudTo - loudFrom, FramesOf(300ms));
    ASSERT_GE(static_cast<std::int64_t>(heard.size()), 2 * (loudTo + 1));

    // The tone's first sample is 0, so the first sounding frame is the stream's frame 1.
    const auto largestStep = [&](std::int64_t from, std::int64_t to) {
        int largest = 0;
        for (std::int64_t i = std::max<std::int64_t>(from, 1) * 2; i < to * 2; ++i)
            largest = std::max(largest, std::abs(heard[static_cast<std::size_t>(i)] -
                                                 heard[static_cast<std::size_t>(i - 2)]));
        return largest;
    };
    const int loud = largestStep(loudFrom - 1, loudTo - 1);
    const int anywhere = largestStep(0, static_cast<std::int64_t>(heard.size()) / 2);
    // A sine's steepest step is at its zero crossing; at 1 kHz every sampling phase comes
    // round each 10 cycles, so 300 ms of the loudest steady state holds the steepest step
    // there is, to ±1 LSB of rounding. 5 % leaves room for that and for the slight
    // overshoot of a band gliding between two settings; a click is far above it.
    EXPECT_GT(loud, 2000);  // the band did raise the tone (0.15 × 5.6 at 1 kHz ≈ 3500)
    EXPECT_LE(anywhere, loud * 105 / 100) << "loudest steady step " << loud;
}

// Last: the server it leaves running is a new one, without scripts/with-pulse's reader.
TEST_F(SoundServer, ServerKilledAndRestartedMidPlayback) {
    const HSTREAM s = Open(IndexWav(20 * kRate));
    ASSERT_TRUE(PlayStream(s, false));
    std::this_thread::sleep_for(1s);
    ASSERT_FALSE(OutputReconnecting()) << "the sound card was lost before the server was killed";
    const std::uint32_t losses = OutputLosses();
    const std::int64_t beforeKill = Frame(s);
    ASSERT_TRUE(audio_test::KillSoundServer());
    const auto killed = Clock::now();
    while (!OutputReconnecting() && Clock::now() - killed < 1s) std::this_thread::sleep_for(5ms);
    // What the player's notice shows.
    ASSERT_TRUE(OutputReconnecting()) << "no loss noticed within 1 s";
    EXPECT_EQ(OutputLosses(), losses + 1);

    // While the server is away: every call returns at once, and the position holds still
    // where the sound stopped.
    std::vector<std::int64_t> positions;
    Clock::duration slowest{};
    const auto timed = [&](auto call) {
        const auto t0 = Clock::now();
        call();
        slowest = std::max(slowest, Clock::now() - t0);
    };
    for (int i = 0; i < 20; ++i) {
        timed([&] { positions.push_back(Frame(s)); });
        std::this_thread::sleep_for(20ms);
    }
    timed([&] { EXPECT_TRUE(PauseStream(s)); });
    timed([&] { EXPECT_EQ(Frame(s), positions.back()); });
    timed([&] { EXPECT_TRUE(PlayStream(s, false)); });
    EXPECT_LT(slowest, 200ms);
    const std::int64_t halted = positions.front();
    EXPECT_EQ(std::count(positions.begin(), positions.end(), halted),
              static_cast<std::ptrdiff_t>(positions.size()))
        << "from " << halted << " to " << positions.back();
    EXPECT_GE(halted, beforeKill);
    EXPECT_LE(halted - beforeKill, FramesOf(100ms));

    ASSERT_TRUE(audio_test::StartSoundServer());
    const auto restarted = Clock::now();
    std::atomic<std::int64_t> firstHeard{-1};
    MonitorRecorder rec([&](const Recording& r, std::size_t firstNew, Clock::time_point) {
        for (std::size_t i = firstNew; i + 1 < r.size() && firstHeard < 0; i += 2)
            firstHeard = FrameIndex(r[i], r[i + 1]);
    });
    while (firstHeard < 0 && Clock::now() - restarted < 3s) std::this_thread::sleep_for(10ms);
    ASSERT_GE(firstHeard.load(), 0) << "nothing heard within 3 s of the restart";
    EXPECT_FALSE(OutputReconnecting());
    EXPECT_LE(std::abs(firstHeard - halted), FramesOf(50ms))
        << "halted at " << halted << ", went on from " << firstHeard;
}

}  // namespace
