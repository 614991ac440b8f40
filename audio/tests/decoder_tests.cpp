// Decoding streams and the three decoders.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstring>

#include "audio/audio.h"
#include "audio/decoder.h"
#include "audio/tests/sound_files.h"

namespace {

using namespace audio;

constexpr std::uint32_t kDecodeFlags = STREAM_DECODE | STREAM_PRESCAN | SAMPLE_FLOAT;

// Reads a whole decoding stream in blocks of `blockBytes`.
std::vector<float> ReadAll(HSTREAM s, std::uint32_t blockBytes) {
    std::vector<float> all;
    std::vector<unsigned char> block(blockBytes);
    for (;;) {
        const std::uint32_t got = ReadDecodedData(s, block.data(), blockBytes | DATA_FLOAT);
        if (got == 0 || got == BAD_READ) break;
        const std::size_t at = all.size();
        all.resize(at + got / 4);
        std::memcpy(all.data() + at, block.data(), got);
    }
    return all;
}

TEST(DecodingStream, WavFloatDataInfoLengthAndPosition) {
    audio_test::TempFolder dir;
    const std::string path = dir.Path("a.wav");
    ASSERT_TRUE(audio_test::WriteWav16(path, audio_test::SpeechLike(22050, 2, 1.5)));
    const HSTREAM s = OpenFileStream(false, path, 0, 0, kDecodeFlags);
    ASSERT_NE(s, 0u);
    StreamInfoRecord info;
    ASSERT_TRUE(StreamInfo(s, &info));
    EXPECT_EQ(info.freq, 22050u);
    EXPECT_EQ(info.chans, 2u);
    EXPECT_EQ(info.flags, kDecodeFlags);
    EXPECT_EQ(StreamLength(s, POS_BYTE), 33075u * 2 * 4);
    EXPECT_DOUBLE_EQ(BytesToSeconds(s, StreamLength(s, POS_BYTE)), 1.5);
    EXPECT_EQ(StreamActivity(s), ACTIVE_PLAYING);
    EXPECT_FALSE(PlayStream(s, false));  // decoding streams are never played
    // An odd block size cuts frames in two: the data still comes out whole and in order.
    const std::vector<float> data = ReadAll(s, 4 * 1001);
    const audio_test::Decoded reference = audio_test::DecodeWithSndfile(path);
    ASSERT_EQ(data.size(), reference.samples.size());
    EXPECT_EQ(data, reference.samples);
    EXPECT_EQ(StreamPosition(s, POS_BYTE), StreamLength(s, POS_BYTE));
    EXPECT_EQ(StreamActivity(s), ACTIVE_STOPPED);
    EXPECT_EQ(ReadDecodedData(s, nullptr, 0), BAD_READ);
    float tail[4];
    EXPECT_EQ(ReadDecodedData(s, tail, sizeof tail | DATA_FLOAT), 0u);
    // Seek back and read again.
    ASSERT_TRUE(SeekStream(s, 1000 * 8, POS_BYTE));
    EXPECT_EQ(StreamPosition(s, POS_BYTE), 8000u);
    float two[4];
    ASSERT_EQ(ReadDecodedData(s, two, sizeof two | DATA_FLOAT), 16u);
    EXPECT_EQ(two[0], reference.samples[2000]);
    EXPECT_EQ(two[3], reference.samples[2003]);
    EXPECT_TRUE(FreeStream(s));
}

TEST(DecodingStream, SixteenBitWhenNotAskedForFloat) {
    audio_test::TempFolder dir;
    const std::string path = dir.Path("a.wav");
    audio_test::Signal s{44100, 1, {0.5f, -0.25f, 0.0f, 1.0f / 32768}};
    ASSERT_TRUE(audio_test::WriteWav16(path, s));
    const HSTREAM h = OpenFileStream(false, path, 0, 0, STREAM_DECODE);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(StreamLength(h, POS_BYTE), 8u);
    std::int16_t out[8] = {};
    ASSERT_EQ(ReadDecodedData(h, out, sizeof out), 8u);
    EXPECT_EQ(out[0], 16384);
    EXPECT_EQ(out[1], -8192);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 1);
    FreeStream(h);
}

}  // namespace
