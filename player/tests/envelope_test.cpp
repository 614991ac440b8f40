// The envelope worker over generated recordings: column counts, column values, the
// hand-over between the worker and the readers, and stopping while a pass runs.
#include "player/envelope.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

#include "player/tests/sound_files.h"

namespace {

struct Columns {
    std::vector<int> min;
    std::vector<int> max;
};

Columns Snapshot(const EnvelopeState& state) {
    const EnvelopeReader reader(state);
    Columns out;
    for (std::int32_t c = 0; c < reader.Count(); ++c) {
        out.min.push_back(reader.Min(c));
        out.max.push_back(reader.Max(c));
    }
    return out;
}

class EnvelopeTest : public ::testing::Test {
  protected:
    std::string Path(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }
    // Computes the envelope of one file and returns its columns.
    Columns Envelope(const std::string& path) {
        worker_.Request(path);
        worker_.WaitIdle();
        return Snapshot(state_);
    }

    QTemporaryDir dir_;
    EnvelopeState state_;
    ENVELOPE worker_{state_};
};

TEST_F(EnvelopeTest, ColumnCountFollowsTheLengthAtThirtyPerSecond) {
    const std::string ten = Path("ten.wav");
    ASSERT_TRUE(WriteSoundFile(ten, 44100, 1, 441000, [](long f, int) {
        return static_cast<float>(0.5 * std::sin(f * 0.05));
    }));
    EXPECT_EQ(Envelope(ten).max.size(), 300u);

    const std::string odd = Path("odd.wav");  // 22050 Hz, 2.5 s, stereo
    ASSERT_TRUE(WriteSoundFile(odd, 22050, 2, 55125, [](long, int) { return 0.1f; }));
    EXPECT_EQ(Envelope(odd).max.size(), 75u);

    // Shorter than one column: no envelope at all.
    const std::string tiny = Path("tiny.wav");
    ASSERT_TRUE(WriteSoundFile(tiny, 44100, 1, 1000, [](long, int) { return 0.9f; }));
    EXPECT_EQ(Envelope(tiny).max.size(), 0u);
    EXPECT_EQ(state_.Count(), 0);
}

TEST_F(EnvelopeTest, KnownSignalsGiveKnownColumns) {
    // Full-scale square wave, 441 Hz: every column holds both extremes.
    const std::string square = Path("square.wav");
    ASSERT_TRUE(WriteSoundFile(square, 44100, 1, 44100,
                               [](long f, int) { return (f / 50) % 2 == 0 ? 1.0f : -1.0f; }));
    Columns c = Envelope(square);
    ASSERT_EQ(c.max.size(), 30u);
    for (std::size_t i = 0; i < c.max.size(); ++i) {
        EXPECT_EQ(c.max[i], 127) << i;
        EXPECT_EQ(c.min[i], -127) << i;
    }

    const std::string silence = Path("silence.wav");
    ASSERT_TRUE(WriteSoundFile(silence, 44100, 2, 88200, [](long, int) { return 0.0f; }));
    c = Envelope(silence);
    ASSERT_EQ(c.max.size(), 60u);
    for (std::size_t i = 0; i < c.max.size(); ++i) {
        EXPECT_EQ(c.max[i], 0);
        EXPECT_EQ(c.min[i], 0);
    }

    // Channels that differ: the column takes both. trunc(0.5 x 127) = 63,
    // trunc(-0.25 x 127) = trunc(-31.75) = -31.
    const std::string stereo = Path("stereo.wav");
    ASSERT_TRUE(WriteSoundFile(stereo, 44100, 2, 44100,
                               [](long, int ch) { return ch == 0 ? 0.5f : -0.25f; }));
    c = Envelope(stereo);
    ASSERT_EQ(c.max.size(), 30u);
    for (std::size_t i = 0; i < c.max.size(); ++i) {
        EXPECT_EQ(c.max[i], 63);
        EXPECT_EQ(c.min[i], -31);
    }

    // Beyond full scale (float data does not clip): held at +-127.
    const std::string loud = Path("loud.wav");
    ASSERT_TRUE(
        WriteSoundFile(loud, 8000, 1, 8000, [](long f, int) { return f % 2 == 0 ? 3.0f : -2.0f; }));
    c = Envelope(loud);
    ASSERT_EQ(c.max.size(), 30u);
    EXPECT_EQ(c.max[5], 127);
    EXPECT_EQ(c.min[5], -127);

    // Samples that are not numbers are passed over; the rest of the column still counts.
    const std::string odd = Path("nan.wav");
    ASSERT_TRUE(WriteSoundFile(odd, 8000, 1, 8000, [](long f, int) {
        if (f % 267 < 20) return NAN;
        return f % 2 ? 0.5f : -0.75f;
    }));
    c = Envelope(odd);
    ASSERT_EQ(c.max.size(), 30u);
    for (std::size_t i = 0; i < c.max.size(); ++i) {
        EXPECT_EQ(c.max[i], 63) << i;
        EXPECT_EQ(c.min[i], -95) << i;
    }
}

TEST_F(EnvelopeTest, ColumnBoundariesFollowTheFrameRule) {
    // At 8000 Hz a column is 266 2/3 frames: frame 266 belongs to column 0
    // (266 x 30 / 8000 = 0.9975), frame 267 to column 1, frame 533 to column 1 and
    // frame 534 to column 2. Spikes sit on the right channel only.
    const std::string path = Path("spikes.wav");
    ASSERT_TRUE(WriteSoundFile(path, 8000, 2, 8000, [](long f, int ch) {
        if (ch == 0) return 0.0f;
        if (f == 266) return 0.5f;
        if (f == 267) return -0.5f;
        if (f == 533) return 0.75f;
        if (f == 534) return -1.0f;
        return 0.0f;
    }));
    const Columns c = Envelope(path);
    ASSERT_EQ(c.max.size(), 30u);
    EXPECT_EQ(c.max[0], 63);
    EXPECT_EQ(c.min[0], 0);
    EXPECT_EQ(c.max[1], 95);  // trunc(0.75 x 127) = trunc(95.25)
    EXPECT_EQ(c.min[1], -63);
    EXPECT_EQ(c.max[2], 0);
    EXPECT_EQ(c.min[2], -127);
    EXPECT_EQ(c.max[3], 0);
    EXPECT_EQ(c.min[3], 0);
}

TEST_F(EnvelopeTest, OggRecordingsAreMeasuredAsWell) {
    const std::string path = Path("tone.ogg");
    ASSERT_TRUE(WriteSoundFile(
        path, 44100, 2, 441000,
        [](long f, int) { return static_cast<float>(0.8 * std::sin(f * 0.03)); },
        SF_FORMAT_OGG | SF_FORMAT_VORBIS));
    const Columns c = Envelope(path);
    ASSERT_EQ(c.max.size(), 300u);
    // A lossy tone of amplitude 0.8 peaks near trunc(0.8 x 127) = 101.
    EXPECT_NEAR(c.max[150], 101, 8);
    EXPECT_NEAR(c.min[150], -101, 8);
}

TEST_F(EnvelopeTest, BadFilesGiveNoEnvelopeAndLaterRequestsAreServed) {
    const std::string good = Path("good.wav");
    ASSERT_TRUE(WriteSoundFile(good, 44100, 1, 44100, [](long, int) { return 0.5f; }));
    ASSERT_EQ(Envelope(good).max.size(), 30u);

    // The previous envelope is withdrawn even when the next file yields none.
    const std::string junk = Path("junk.wav");
    {
        std::ofstream out(junk, std::ios::binary);
        out << "RIFF\x10\x00\x00\x00WAVEjunk that is not a sound file";
    }
    EXPECT_EQ(Envelope(junk).max.size(), 0u);
    EXPECT_EQ(Envelope(Path("missing.wav")).max.size(), 0u);
    const std::string empty = Path("empty.mp3");
    std::ofstream(empty).close();
    EXPECT_EQ(Envelope(empty).max.size(), 0u);

    EXPECT_EQ(Envelope(good).max.size(), 30u);
}

// ---- concurrency ----

// Holds the worker inside its first read of a pass until released, and counts passes.
class PassGate {
  public:
    void Attach(ENVELOPE& worker) {
        worker.SetProgressObserver([this](std::int64_t done) { OnRead(done); });
    }
    void WaitUntilHeld() {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return held_; });
    }
    void Release() {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            released_ = true;
        }
        cv_.notify_all();
    }
    int Reads() const { return reads_.load(); }

  private:
    void OnRead(std::int64_t) {
        reads_.fetch_add(1);
        std::unique_lock<std::mutex> lock(mutex_);
        if (!held_) {
            held_ = true;
            cv_.notify_all();
            cv_.wait(lock, [this] { return released_; });
        }
    }
    std::mutex mutex_;
    std::condition_variable cv_;
    bool held_ = false;
    bool released_ = false;
    std::atomic<int> reads_{0};
};

TEST_F(EnvelopeTest, ANewRecordingRequestedDuringAPassWins) {
    const std::string a = Path("a.wav");  // 2 s: 60 columns at +-0.25
    const std::string b = Path("b.wav");  // 1 s: 30 columns at +-0.5
    ASSERT_TRUE(
        WriteSoundFile(a, 8000, 1, 16000, [](long f, int) { return f % 2 ? 0.25f : -0.25f; }));
    ASSERT_TRUE(WriteSoundFile(b, 8000, 1, 8000, [](long f, int) { return f % 2 ? 0.5f : -0.5f; }));
    PassGate gate;
    gate.Attach(worker_);
    worker_.Request(a);
    gate.WaitUntilHeld();  // the pass over a is running
    EXPECT_EQ(state_.Count(), 60);
    worker_.Request(b);
    gate.Release();
    worker_.WaitIdle();
    const Columns c = Snapshot(state_);
    ASSERT_EQ(c.max.size(), 30u);
    EXPECT_EQ(c.max[10], 63);
    EXPECT_EQ(c.min[10], -63);
}

TEST_F(EnvelopeTest, RepeatingTheRunningRequestStartsNoSecondPass) {
    const std::string a = Path("a.wav");  // one read per pass
    ASSERT_TRUE(WriteSoundFile(a, 8000, 1, 8000, [](long, int) { return 0.5f; }));
    PassGate gate;
    gate.Attach(worker_);
    worker_.Request(a);
    gate.WaitUntilHeld();
    worker_.Request(a);
    gate.Release();
    worker_.WaitIdle();
    EXPECT_EQ(gate.Reads(), 1);
    EXPECT_EQ(state_.Count(), 30);

    // Once the pass is over, a request is a new pass.
    worker_.Request(a);
    worker_.WaitIdle();
    EXPECT_EQ(gate.Reads(), 2);
}

TEST(EnvelopeWorker, StopsPromptlyWhileAPassRuns) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("long.wav").toStdString();
    // 3 minutes at 8 kHz: several reads.
    ASSERT_TRUE(WriteSoundFile(
        path, 8000, 1, 8000 * 180, [](long, int) { return 0.5f; },
        SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    EnvelopeState state;
    std::atomic<int> reads{0};
    {
        ENVELOPE worker(state);
        std::atomic<bool> running{false};
        worker.SetProgressObserver([&](std::int64_t) {
            reads.fetch_add(1);
            running.store(true);
            // Keep the pass alive until the stop is requested.
            while (!worker.StopRequested())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        worker.Request(path);
        while (!running.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }  // the destructor requests the stop, wakes and joins
    EXPECT_EQ(reads.load(), 1);
    // A worker that never received a request also stops.
    ENVELOPE idle(state);
    idle.Stop();
    idle.Stop();
}

TEST_F(EnvelopeTest, ReadersSeeAConsistentEnvelopeWhilePassesRun) {
    std::vector<std::string> files;
    const int lengths[] = {40, 25, 60};  // seconds at 8 kHz stereo
    for (int i = 0; i < 3; ++i) {
        files.push_back(Path("r" + std::to_string(i) + ".wav"));
        const float level = 0.2f * static_cast<float>(i + 1);
        ASSERT_TRUE(WriteSoundFile(
            files.back(), 8000, 2, 8000L * lengths[i],
            [level](long f, int ch) { return (f + ch) % 2 ? level : -level; },
            SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    }
    // Slow the worker a little so the readers overlap the passes.
    worker_.SetProgressObserver(
        [](std::int64_t) { std::this_thread::sleep_for(std::chrono::microseconds(200)); });

    std::atomic<bool> done{false};
    std::atomic<long> checks{0};
    std::thread reader([&] {
        while (!done.load()) {
            const EnvelopeReader r(state_);
            const std::int32_t n = r.Count();
            EXPECT_TRUE(n == 0 || n == 1200 || n == 750 || n == 1800) << n;
            for (std::int32_t c = 0; c < n; c += 7) {
                EXPECT_LE(r.Min(c), 0);
                EXPECT_GE(r.Max(c), 0);
                EXPECT_GE(r.Min(c), -127);
                EXPECT_LE(r.Max(c), 127);
            }
            checks.fetch_add(1);
        }
    });
    for (int round = 0; round < 4; ++round) {
        for (const auto& f : files) worker_.Request(f);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        worker_.Request(files[round % 3]);
    }
    worker_.WaitIdle();
    done.store(true);
    reader.join();
    EXPECT_GT(checks.load(), 0);
    // The last request is the envelope that stays: file 0 (round 3 % 3), level 0.2 -> 25.
    const Columns c = Snapshot(state_);
    ASSERT_EQ(c.max.size(), 1200u);
    EXPECT_EQ(c.max[600], 25);
    EXPECT_EQ(c.min[600], -25);
}

}  // namespace
