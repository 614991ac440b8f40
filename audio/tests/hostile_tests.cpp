// Hostile files: missing, empty, not audio, lying, truncated or damaged. Each either
// fails to open (0) or plays and decodes what it holds, ending in bounded time.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>

#include "audio/audio.h"
#include "audio/tests/sound_files.h"

namespace {

using namespace audio;

std::vector<unsigned char> RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<unsigned char> bytes(size);
    for (auto& b : bytes) b = static_cast<unsigned char>(random());
    return bytes;
}

// Opens `path` both ways; whatever opens must decode and play to its end.
void ExpectSafe(const std::string& path, bool mustFail) {
    SCOPED_TRACE(path);
    const auto start = std::chrono::steady_clock::now();
    const HSTREAM d =
        OpenFileStream(false, path, 0, 0, STREAM_DECODE | STREAM_PRESCAN | SAMPLE_FLOAT);
    const HSTREAM p = OpenFileStream(false, path, 0, 0, STREAM_PRESCAN);
    if (mustFail) {
        EXPECT_EQ(d, 0u);
        EXPECT_EQ(p, 0u);
    }
    EXPECT_EQ(d == 0, p == 0);
    if (d != 0) {
        const std::uint64_t length = StreamLength(d, POS_BYTE);
        EXPECT_GT(length, 0u);
        std::vector<float> block(65536);
        std::uint64_t total = 0;
        for (;;) {
            const std::uint32_t got = ReadDecodedData(d, block.data(), 65536 * 4 | DATA_FLOAT);
            ASSERT_NE(got, BAD_READ);
            if (got == 0) break;
            total += got;
            ASSERT_LE(total, length);
        }
        EXPECT_EQ(total, length);  // exactly the length it claimed, never more
        EXPECT_TRUE(FreeStream(d));
    }
    if (p != 0) {
        StreamInfoRecord info;
        ASSERT_TRUE(StreamInfo(p, &info));
        const double seconds = BytesToSeconds(p, StreamLength(p, POS_BYTE));
        ASSERT_LT(seconds, 600.0);
        EXPECT_TRUE(PlayStream(p, false));
        const auto limit = static_cast<std::size_t>(seconds * 44100) + 44100;
        std::size_t rendered = 0;
        while (StreamActivity(p) == ACTIVE_PLAYING && rendered < limit)
            rendered += AdvanceManualOutput(8192);
        EXPECT_EQ(StreamActivity(p), ACTIVE_STOPPED);
        EXPECT_EQ(StreamPosition(p, POS_BYTE), StreamLength(p, POS_BYTE));
        EXPECT_TRUE(FreeStream(p));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

class Hostile : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(OpenManualOutput(44100)); }
    void TearDown() override { CloseDevice(); }
    audio_test::TempFolder dir;
};

TEST_F(Hostile, NothingToReadFails) {
    ExpectSafe(dir.Path("missing.wav"), true);
    ExpectSafe(dir.Path(""), true);  // the folder itself
    for (const char* name : {"empty.wav", "empty.mp3", "empty.ogg"}) {
        audio_test::WriteBytes(dir.Path(name), {});
        ExpectSafe(dir.Path(name), true);
    }
    const std::string text = "Это не звук, а текст.\r\n";
    audio_test::WriteBytes(dir.Path("text.wav"), {text.begin(), text.end()});
    ExpectSafe(dir.Path("text.wav"), true);
    const std::string heads[] = {std::string("RIFF\x24\0\0\0WAVE", 12), std::string("OggS", 4),
                                 std::string("ID3\x03\0\0\0\0\0\x10", 10), std::string("fLaC", 4)};
    for (const std::string& head : heads) {
        audio_test::WriteBytes(dir.Path("head-only"), {head.begin(), head.end()});
        ExpectSafe(dir.Path("head-only"), true);
    }
}

TEST_F(Hostile, RandomBytesWithSoundFileNames) {
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        for (const char* name : {"noise.mp3", "noise.ogg", "noise.wav"}) {
            audio_test::WriteBytes(dir.Path(name), RandomBytes(seed * 7919, seed));
            ExpectSafe(dir.Path(name), false);
        }
    }
    // Random bytes behind real headers.
    std::vector<unsigned char> fake = RandomBytes(40000, 99);
    std::memcpy(fake.data(), "ID3\x03\0\0\0\0\0\0", 10);
    audio_test::WriteBytes(dir.Path("id3-noise.mp3"), fake);
    ExpectSafe(dir.Path("id3-noise.mp3"), false);
    std::memcpy(fake.data(), "OggS", 4);
    audio_test::WriteBytes(dir.Path("ogg-noise.ogg"), fake);
    ExpectSafe(dir.Path("ogg-noise.ogg"), false);
}

TEST_F(Hostile, WavHeaderThatLiesAboutItsLength) {
    const std::string path = dir.Path("liar.wav");
    ASSERT_TRUE(audio_test::WriteWav16(path, audio_test::Sine(44100, 2, 1.0, 440, 0.3)));
    std::vector<unsigned char> bytes = audio_test::ReadBytes(path);
    // Find the data chunk and claim ten times the data it holds.
    for (std::size_t i = 12; i + 8 <= bytes.size(); ++i) {
        if (std::memcmp(&bytes[i], "data", 4) == 0) {
            const std::uint32_t claimed = 44100 * 4 * 10;
            std::memcpy(&bytes[i + 4], &claimed, 4);
            break;
        }
    }
    audio_test::WriteBytes(path, bytes);
    ExpectSafe(path, false);
    // And one that claims far less than it holds, and one cut in the middle of a frame.
    const std::string shorter = dir.Path("short.wav");
    ASSERT_TRUE(audio_test::WriteWav16(shorter, audio_test::Sine(44100, 2, 1.0, 440, 0.3)));
    bytes = audio_test::ReadBytes(shorter);
    bytes.resize(bytes.size() / 2 + 1);
    audio_test::WriteBytes(shorter, bytes);
    ExpectSafe(shorter, false);
}

TEST_F(Hostile, TruncatedAndDamagedCompressedFiles) {
    const audio_test::Signal signal = audio_test::SpeechLike(44100, 2, 2.0, 11);
    ASSERT_TRUE(audio_test::WriteOgg(dir.Path("whole.ogg"), signal));
    ASSERT_TRUE(audio_test::WriteMp3(dir.Path("whole.mp3"), signal));
    ASSERT_TRUE(audio_test::WriteWav16(dir.Path("whole.wav"), signal));
    ASSERT_TRUE(audio_test::LameEncode(dir.Path("whole.wav"), dir.Path("vbr.mp3"), "-V5 -t"));
    for (const char* name : {"whole.ogg", "whole.mp3", "vbr.mp3"}) {
        const std::vector<unsigned char> whole = audio_test::ReadBytes(dir.Path(name));
        const std::string ext = std::filesystem::path(name).extension().string();
        for (double cut : {0.5, 0.9, 0.02}) {
            std::vector<unsigned char> bytes(
                whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() * cut));
            audio_test::WriteBytes(dir.Path("cut" + ext), bytes);
            ExpectSafe(dir.Path("cut" + ext), false);
        }
        // Garbage over the middle third.
        std::vector<unsigned char> damaged = whole;
        const std::vector<unsigned char> noise = RandomBytes(whole.size() / 3, 5);
        std::copy(noise.begin(), noise.end(),
                  damaged.begin() + static_cast<std::ptrdiff_t>(whole.size() / 3));
        audio_test::WriteBytes(dir.Path("damaged" + ext), damaged);
        ExpectSafe(dir.Path("damaged" + ext), false);
    }
    // A truncated OGG still opens and plays what it holds.
    const std::vector<unsigned char> whole = audio_test::ReadBytes(dir.Path("whole.ogg"));
    audio_test::WriteBytes(
        dir.Path("half.ogg"),
        {whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)});
    const HSTREAM half = OpenFileStream(false, dir.Path("half.ogg"), 0, 0, STREAM_PRESCAN);
    ASSERT_NE(half, 0u);
    const double seconds = BytesToSeconds(half, StreamLength(half, POS_BYTE));
    EXPECT_GT(seconds, 0.5);
    EXPECT_LT(seconds, 1.5);
}

}  // namespace
