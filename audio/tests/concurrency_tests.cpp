// The program's use of the engine from several threads: the user-interface thread drives
// the playback stream while the envelope worker reads its own decoding stream, and the
// engine's render thread mixes. Run under ThreadSanitizer too.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "audio/audio.h"
#include "audio/tests/sound_files.h"

namespace {

using namespace audio;

class Threads : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = new audio_test::TempFolder;
        const audio_test::Signal s = audio_test::SpeechLike(44100, 2, 4.0, 21);
        ASSERT_TRUE(audio_test::WriteMp3(dir->Path("a.mp3"), s));
        ASSERT_TRUE(audio_test::WriteOgg(dir->Path("a.ogg"), s));
        ASSERT_TRUE(audio_test::WriteWav16(dir->Path("a.wav"), s));
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    static audio_test::TempFolder* dir;
};
audio_test::TempFolder* Threads::dir = nullptr;

// What the envelope worker does: decode the whole file in blocks, as floats.
std::vector<float> DecodeLikeTheEnvelopeWorker(const std::string& path) {
    const HSTREAM s =
        OpenFileStream(false, path, 0, 0, STREAM_DECODE | STREAM_PRESCAN | SAMPLE_FLOAT);
    if (s == 0) return {};
    StreamInfoRecord info;
    StreamInfo(s, &info);
    const double seconds = BytesToSeconds(s, StreamLength(s, POS_BYTE));
    const auto total = static_cast<std::size_t>(seconds * info.freq * info.chans);
    std::vector<float> out(total);
    std::size_t done = 0;
    const std::size_t block = 44100;  // samples per read
    while (done < total) {
        const std::size_t want = std::min(block, total - done);
        const std::uint32_t got = ReadDecodedData(
            s, out.data() + done, static_cast<std::uint32_t>(want * 4) | DATA_FLOAT);
        if (got == BAD_READ || got == 0) break;
        done += got / 4;
    }
    out.resize(done);
    FreeStream(s);
    return out;
}

// What the user-interface thread does with the playback stream, in 200 ms ticks or faster.
void DriveThePlayer(const std::string& path, std::atomic<bool>& stop, std::atomic<int>& opened) {
    const float centres[12] = {80, 100, 250, 500, 750, 1000, 1500, 2500, 4000, 8000, 12000, 16000};
    int round = 0;
    while (!stop.load()) {
        const HSTREAM s = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
        if (s == 0) return;
        ++opened;
        ResetStreamEffects(s);
        HFX fx[12];
        for (int b = 0; b < 12; ++b) fx[b] = AddStreamEffect(s, FX_PARAMEQ, 1);
        for (int step = 0; step < 40 && !stop.load(); ++step, ++round) {
            StopStream(s);
            for (int b = 0; b < 12; ++b) {
                const ParamEqParams p{centres[b], 10.0f, static_cast<float>((round + b) % 31 - 15)};
                SetEffectParameters(fx[b], &p);
            }
            PlayStream(s, false);
            const std::uint64_t length = StreamLength(s, POS_BYTE);
            const std::uint64_t position = StreamPosition(s, POS_BYTE);
            const double seconds = BytesToSeconds(s, position);
            EXPECT_GE(seconds, 0.0);
            EXPECT_LE(position, length);
            switch (step % 5) {
                case 0:
                    SeekStream(s, length * static_cast<std::uint64_t>(step % 10) / 10 / 4 * 4,
                               POS_BYTE);
                    break;
                case 1:
                    PauseStream(s);
                    break;
                case 2:
                    SetMasterVolume(static_cast<float>(step % 11) / 10.0f);
                    break;
                default:
                    StreamActivity(s);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        StopStream(s);
        FreeStream(s);  // frees its effects, while the render thread may be mixing it
    }
}

TEST_F(Threads, DecodingWhileThePlaybackStreamIsDrivenOnTheNullOutput) {
    ASSERT_TRUE(OpenDevice(DEVICE_NULL, 44100, 0, nullptr, nullptr));
    ASSERT_TRUE(StartOutput());
    for (const char* name : {"a.mp3", "a.ogg", "a.wav"}) {
        SCOPED_TRACE(name);
        const std::string path = dir->Path(name);
        const std::vector<float> alone = DecodeLikeTheEnvelopeWorker(path);
        ASSERT_FALSE(alone.empty());
        std::atomic<bool> stop{false};
        std::atomic<int> opened{0};
        std::thread ui([&] { DriveThePlayer(path, stop, opened); });
        // Two workers at once: the envelope of one file may still run when the next starts.
        std::vector<float> first, second;
        std::thread worker([&] { first = DecodeLikeTheEnvelopeWorker(path); });
        second = DecodeLikeTheEnvelopeWorker(path);
        worker.join();
        while (opened.load() < 2) std::this_thread::yield();  // the player has had its turn
        stop = true;
        ui.join();
        EXPECT_GT(opened, 0);
        EXPECT_TRUE(first == alone);
        EXPECT_TRUE(second == alone);
    }
    CloseDevice();
}

TEST_F(Threads, ManualOutputAdvancedOnOneThreadWhileAnotherControls) {
    ASSERT_TRUE(OpenManualOutput(44100));
    const HSTREAM s = OpenFileStream(false, dir->Path("a.mp3"), 0, 0, STREAM_PRESCAN);
    ASSERT_NE(s, 0u);
    ASSERT_TRUE(PlayStream(s, false));
    std::atomic<bool> stop{false};
    std::thread control([&] {
        int i = 0;
        while (!stop.load()) {
            SeekStream(s, static_cast<std::uint64_t>(i % 100) * 4000, POS_BYTE);
            PlayStream(s, false);
            StreamPosition(s, POS_BYTE);
            if (++i % 7 == 0) PauseStream(s);
            std::this_thread::yield();
        }
    });
    std::vector<float> mix;
    for (int i = 0; i < 300; ++i) {
        mix.clear();
        ASSERT_EQ(AdvanceManualOutput(1000, &mix), 1000u);
    }
    stop = true;
    control.join();
    CloseDevice();
}

TEST_F(Threads, ClosingWhileAWorkerDecodesFailsItsCallsCleanly) {
    ASSERT_TRUE(OpenDevice(DEVICE_NULL, 44100, 0, nullptr, nullptr));
    const HSTREAM s = OpenFileStream(false, dir->Path("a.ogg"), 0, 0,
                                     STREAM_DECODE | STREAM_PRESCAN | SAMPLE_FLOAT);
    ASSERT_NE(s, 0u);
    std::atomic<bool> started{false};
    std::uint32_t last = 0;
    std::thread worker([&] {
        std::vector<float> block(4096);
        for (;;) {
            last = ReadDecodedData(s, block.data(), 4096 * 4 | DATA_FLOAT);
            started = true;
            if (last == 0 || last == BAD_READ) break;
        }
    });
    while (!started.load()) std::this_thread::yield();
    CloseDevice();
    worker.join();
    EXPECT_TRUE(last == BAD_READ || last == 0);
    EXPECT_EQ(StreamLength(s, POS_BYTE), BAD_POSITION);
}

TEST(SoundCard, DefaultDeviceWithoutSoundCardFailsAtOnceAndPrintsNothing) {
    // The real PortAudio path: with no sound card it must fail fast and quietly; with one
    // it opens (and is closed again).
    const char* saved = std::getenv("NUVTOLVEK_AUDIO");
    const std::string savedValue = saved ? saved : "";
    unsetenv("NUVTOLVEK_AUDIO");
    std::fflush(stderr);
    char path[] = "/tmp/nuv-stderr-XXXXXX";
    const int capture = mkstemp(path);
    ASSERT_GE(capture, 0);
    const int original = dup(2);
    dup2(capture, 2);
    const auto start = std::chrono::steady_clock::now();
    const bool opened = OpenDevice(DEVICE_DEFAULT, 44100, 0, nullptr, nullptr);
    const auto took = std::chrono::steady_clock::now() - start;
    if (opened) {
        // A real card: sound runs through the render thread and the ring.
        EXPECT_TRUE(StartOutput());
        CloseDevice();
    }
    std::fflush(stderr);
    dup2(original, 2);
    close(original);
    const off_t printed = lseek(capture, 0, SEEK_END);
    close(capture);
    unlink(path);
    if (saved) setenv("NUVTOLVEK_AUDIO", savedValue.c_str(), 1);
    EXPECT_EQ(printed, 0) << "the sound libraries printed to stderr";
    if (!opened) {
        EXPECT_LT(took, std::chrono::seconds(2));
    }
    // The null output is the fallback and always opens.
    EXPECT_TRUE(OpenDevice(DEVICE_NULL, 44100, 0, nullptr, nullptr));
    CloseDevice();
}

}  // namespace
