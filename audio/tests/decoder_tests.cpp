// Decoding streams and the three decoders.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstring>
#include <filesystem>
#include <random>

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

namespace {

using namespace audio;

// One file of every kind, made once for the whole suite.
struct Kind {
    std::string name;
    std::string path;
    std::string library;          // which decoder must read it
    std::int64_t originalFrames;  // frames of the signal that was encoded
    bool gapless;                 // whether the file says its exact original length
};

class Kinds : public ::testing::Environment {
  public:
    static audio_test::TempFolder* dir;
    static std::vector<Kind> kinds;
    void SetUp() override {
        dir = new audio_test::TempFolder;
        const audio_test::Signal stereo = audio_test::SpeechLike(44100, 2, 3.0, 3);
        const audio_test::Signal mono = audio_test::SpeechLike(22050, 1, 2.0, 4);
        auto add = [&](std::string name, const std::string& library, std::int64_t frames,
                       bool gapless) {
            kinds.push_back({name, dir->Path(name), library, frames, gapless});
        };
        const std::int64_t n = stereo.Frames();
        ASSERT_TRUE(audio_test::WriteWav16(dir->Path("pcm16.wav"), stereo));
        add("pcm16.wav", "sndfile", n, true);
        ASSERT_TRUE(audio_test::WriteSound(dir->Path("mono.flac"), mono,
                                           SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
        add("mono.flac", "sndfile", mono.Frames(), true);
        ASSERT_TRUE(audio_test::WriteOgg(dir->Path("vorbis.ogg"), stereo));
        add("vorbis.ogg", "vorbisfile", n, true);
        ASSERT_TRUE(audio_test::WriteOgg(dir->Path("mono.ogg"), mono));
        add("mono.ogg", "vorbisfile", mono.Frames(), true);
        ASSERT_TRUE(audio_test::WriteMp3(dir->Path("sndfile.mp3"), stereo));
        add("sndfile.mp3", "mpg123", n, true);
        ASSERT_TRUE(
            audio_test::LameEncode(dir->Path("pcm16.wav"), dir->Path("cbr.mp3"), "-b 128 -t"));
        add("cbr.mp3", "mpg123", n, false);
        ASSERT_TRUE(audio_test::LameEncode(dir->Path("pcm16.wav"), dir->Path("vbr.mp3"), "-V5 -t"));
        add("vbr.mp3", "mpg123", n, false);
        ASSERT_TRUE(audio_test::WriteWav16(dir->Path("mono22.wav"), mono));
        ASSERT_TRUE(audio_test::LameEncode(dir->Path("mono22.wav"), dir->Path("mono.mp3"), "-V2"));
        add("mono.mp3", "mpg123", mono.Frames(), true);
    }
    void TearDown() override {
        delete dir;
        dir = nullptr;
    }
};
audio_test::TempFolder* Kinds::dir = nullptr;
std::vector<Kind> Kinds::kinds;
const auto* const kKindsEnvironment = ::testing::AddGlobalTestEnvironment(new Kinds);

audio_test::Decoded LibraryDecode(const Kind& k) {
    if (k.library == "mpg123") return audio_test::DecodeWithMpg123(k.path);
    if (k.library == "vorbisfile") return audio_test::DecodeWithVorbisfile(k.path);
    return audio_test::DecodeWithSndfile(k.path);
}

class EveryKind : public ::testing::TestWithParam<int> {
  protected:
    const Kind& kind() const { return Kinds::kinds.at(static_cast<std::size_t>(GetParam())); }
};

TEST_P(EveryKind, ChosenByContentWithExactLengthAndTheLibrarysOwnData) {
    const Kind& k = kind();
    auto decoder = OpenDecoder(k.path);
    ASSERT_TRUE(decoder) << k.name;
    EXPECT_STREQ(decoder->Library(), k.library.c_str());
    const audio_test::Decoded reference = LibraryDecode(k);
    ASSERT_GT(reference.channels, 0);
    const auto referenceFrames =
        static_cast<std::int64_t>(reference.samples.size()) / reference.channels;
    EXPECT_EQ(decoder->Frames(), referenceFrames) << k.name;
    if (k.gapless) {
        EXPECT_EQ(referenceFrames, k.originalFrames) << k.name;
    } else {
        // Without a tag the encoder's delay and padding stay in: whole MP3 frames.
        EXPECT_GE(referenceFrames, k.originalFrames);
        EXPECT_LE(referenceFrames, k.originalFrames + 3 * 1152);
        EXPECT_EQ(referenceFrames % 1152, 0);
    }
    decoder.reset();

    const HSTREAM s = OpenFileStream(false, k.path, 0, 0, kDecodeFlags);
    ASSERT_NE(s, 0u);
    StreamInfoRecord info;
    ASSERT_TRUE(StreamInfo(s, &info));
    EXPECT_EQ(static_cast<int>(info.freq), reference.rate);
    EXPECT_EQ(static_cast<int>(info.chans), reference.channels);
    EXPECT_EQ(StreamLength(s, POS_BYTE), reference.samples.size() * 4);
    const std::vector<float> data = ReadAll(s, 4 * 3333);
    ASSERT_EQ(data.size(), reference.samples.size()) << k.name;
    EXPECT_TRUE(data == reference.samples) << k.name;
    FreeStream(s);

    // The playback stream of the same file counts 16-bit bytes of the same frames.
    const HSTREAM p = OpenFileStream(false, k.path, 0, 0, STREAM_PRESCAN);
    ASSERT_NE(p, 0u);
    EXPECT_EQ(StreamLength(p, POS_BYTE), reference.samples.size() * 2);
    EXPECT_DOUBLE_EQ(BytesToSeconds(p, StreamLength(p, POS_BYTE)),
                     static_cast<double>(referenceFrames) / reference.rate);
    FreeStream(p);
}

TEST_P(EveryKind, MonoAskedIsTheMeanOfTheChannelsWhereTheDecoderMixes) {
    const Kind& k = kind();
    const HSTREAM both = OpenFileStream(false, k.path, 0, 0, kDecodeFlags);
    const HSTREAM one = OpenFileStream(false, k.path, 0, 0, kDecodeFlags | STREAM_MONO);
    ASSERT_NE(both, 0u);
    ASSERT_NE(one, 0u);
    StreamInfoRecord bothInfo, oneInfo;
    ASSERT_TRUE(StreamInfo(both, &bothInfo));
    ASSERT_TRUE(StreamInfo(one, &oneInfo));
    EXPECT_EQ(oneInfo.freq, bothInfo.freq);
    // MP3 mixes inside its decoder; the others are left as they are, for the caller.
    EXPECT_EQ(oneInfo.chans, k.library == "mpg123" ? 1u : bothInfo.chans) << k.name;
    const std::vector<float> stereo = ReadAll(both, 4 * 4096);
    const std::vector<float> mono = ReadAll(one, 4 * 4096);
    const std::size_t ch = bothInfo.chans;
    ASSERT_EQ(mono.size() * ch, stereo.size() * oneInfo.chans) << k.name;
    float worst = 0.0f;
    for (std::size_t f = 0; oneInfo.chans == 1 && f < mono.size(); ++f) {
        float mean = 0.0f;
        for (std::size_t c = 0; c < ch; ++c) mean += stereo[f * ch + c];
        worst = std::max(worst, std::abs(mono[f] - mean / float(ch)));
    }
    EXPECT_LT(worst, 1e-5f) << k.name;
    if (oneInfo.chans != 1) {
        EXPECT_TRUE(mono == stereo) << k.name;
    }
    FreeStream(both);
    FreeStream(one);
}

TEST_P(EveryKind, SeekThenReadEqualsReadingStraightThrough) {
    const Kind& k = kind();
    const audio_test::Decoded reference = LibraryDecode(k);
    const auto ch = static_cast<std::size_t>(reference.channels);
    const std::int64_t frames = static_cast<std::int64_t>(reference.samples.size() / ch);
    const HSTREAM s = OpenFileStream(false, k.path, 0, 0, kDecodeFlags);
    ASSERT_NE(s, 0u);
    // mpg123 decodes MPEG-2 files to the last bit only nearly alike after a seek; one
    // sample off would differ by orders of magnitude more.
    const float tolerance = k.library == "mpg123" ? 1e-6f : 0.0f;
    std::mt19937 random(42);
    const std::size_t want = 300;  // frames compared after each seek
    std::vector<float> buffer(want * ch);
    for (int i = 0; i < 300; ++i) {
        std::int64_t frame;
        switch (i % 4) {
            case 0:  // the last MP3 frame / the last Ogg page
                frame = frames - 1 - static_cast<std::int64_t>(random() % 1152);
                break;
            case 1:  // near the start, inside the encoder's delay
                frame = static_cast<std::int64_t>(random() % 3000);
                break;
            default:
                frame = static_cast<std::int64_t>(random() % static_cast<std::uint32_t>(frames));
        }
        ASSERT_TRUE(SeekStream(s, static_cast<std::uint64_t>(frame) * ch * 4, POS_BYTE));
        ASSERT_EQ(StreamPosition(s, POS_BYTE), static_cast<std::uint64_t>(frame) * ch * 4);
        const std::uint32_t got = ReadDecodedData(
            s, buffer.data(), static_cast<std::uint32_t>(buffer.size() * 4) | DATA_FLOAT);
        const std::size_t expected =
            std::min<std::size_t>(want, static_cast<std::size_t>(frames - frame)) * ch;
        ASSERT_EQ(got, expected * 4) << k.name << " frame " << frame;
        for (std::size_t j = 0; j < expected; ++j)
            ASSERT_NEAR(buffer[j], reference.samples[static_cast<std::size_t>(frame) * ch + j],
                        tolerance)
                << k.name << " seek to frame " << frame << " sample " << j;
    }
    FreeStream(s);
}

TEST_P(EveryKind, PlaybackSeeksAreSampleAccurate) {
    const Kind& k = kind();
    const audio_test::Decoded reference = LibraryDecode(k);
    const auto ch = static_cast<std::size_t>(reference.channels);
    const std::int64_t frames = static_cast<std::int64_t>(reference.samples.size() / ch);
    // An output at the file's own rate, so that no resampler stands in between.
    ASSERT_TRUE(OpenManualOutput(static_cast<std::uint32_t>(reference.rate)));
    const HSTREAM s = OpenFileStream(false, k.path, 0, 0, STREAM_PRESCAN);
    ASSERT_TRUE(PlayStream(s, false));
    const float tolerance = k.library == "mpg123" ? 1e-6f : 0.0f;
    std::mt19937 random(7);
    for (int i = 0; i < 20; ++i) {
        const std::int64_t frame =
            static_cast<std::int64_t>(random() % static_cast<std::uint32_t>(frames - 500));
        ASSERT_TRUE(SeekStream(s, static_cast<std::uint64_t>(frame) * ch * 2, POS_BYTE));
        std::vector<float> mix;
        AdvanceManualOutput(400, &mix);
        for (std::size_t j = 0; j < 400; ++j)
            ASSERT_NEAR(mix[2 * j], reference.samples[(static_cast<std::size_t>(frame) + j) * ch],
                        tolerance)
                << k.name;
        EXPECT_EQ(StreamPosition(s, POS_BYTE), static_cast<std::uint64_t>(frame + 400) * ch * 2);
    }
    CloseDevice();
}

std::string KindName(const ::testing::TestParamInfo<int>& info) {
    static const char* const names[] = {"Wav",        "MonoFlac",    "Ogg",         "MonoOgg",
                                        "SndfileMp3", "CbrMp3NoTag", "VbrMp3NoTag", "MonoMp3"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Files, EveryKind, ::testing::Range(0, 8), KindName);

TEST(Decoders, ContentDecidesNotTheName) {
    const std::string mp3AsWav = Kinds::dir->Path("really-mp3.wav");
    const std::string oggAsMp3 = Kinds::dir->Path("really-ogg.mp3");
    const std::string wavAsOgg = Kinds::dir->Path("really-wav.ogg");
    std::filesystem::copy_file(Kinds::dir->Path("vbr.mp3"), mp3AsWav);
    std::filesystem::copy_file(Kinds::dir->Path("vorbis.ogg"), oggAsMp3);
    std::filesystem::copy_file(Kinds::dir->Path("pcm16.wav"), wavAsOgg);
    EXPECT_STREQ(OpenDecoder(mp3AsWav)->Library(), "mpg123");
    EXPECT_STREQ(OpenDecoder(oggAsMp3)->Library(), "vorbisfile");
    EXPECT_STREQ(OpenDecoder(wavAsOgg)->Library(), "sndfile");
    // libsndfile never reads MP3 or Ogg, even when asked directly.
    EXPECT_FALSE(OpenSndfileDecoder(Kinds::dir->Path("vbr.mp3")));
    EXPECT_FALSE(OpenSndfileDecoder(Kinds::dir->Path("sndfile.mp3")));
    EXPECT_FALSE(OpenSndfileDecoder(Kinds::dir->Path("vorbis.ogg")));
}

TEST(Decoders, SniffingTheFirstBytes) {
    auto kind = [](const std::string& bytes) {
        return SniffContainer(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    };
    EXPECT_EQ(kind(std::string("RIFF\x10\0\0\0WAVEfmt ", 16)), ContainerKind::Wave);
    EXPECT_EQ(kind("OggS\0"), ContainerKind::Ogg);
    EXPECT_EQ(kind("ID3\x04"), ContainerKind::Mpeg);
    EXPECT_EQ(kind("\xFF\xFB\x90\x64"), ContainerKind::Mpeg);
    EXPECT_EQ(kind("\xFF\xF3\x90"), ContainerKind::Mpeg);     // MPEG-2 layer 3
    EXPECT_EQ(kind("\xFF\xE1\x90"), ContainerKind::Unknown);  // no layer
    EXPECT_EQ(kind("\xFF\xFB\xF0"), ContainerKind::Unknown);  // bad bit rate
    EXPECT_EQ(kind("fLaC"), ContainerKind::Other);
    EXPECT_EQ(kind("FORM\0\0\0\0AIFF"), ContainerKind::Other);
    EXPECT_EQ(kind("RIFF"), ContainerKind::Unknown);  // too short to say
    EXPECT_EQ(kind("hello"), ContainerKind::Unknown);
}

}  // namespace
