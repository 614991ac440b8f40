// The containers FFmpeg reads, made by the ffmpeg program from one known signal: exact
// lengths, the decoder's data against the ffmpeg program's own, seeks against straight
// reads, the envelope against the source's; damaged and sound-less files fail cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

#include "audio/audio.h"
#include "audio/decoder.h"
#include "audio/tests/sound_files.h"

namespace {

using namespace audio;

constexpr std::uint32_t kDecodeFlags = STREAM_DECODE | STREAM_PRESCAN | SAMPLE_FLOAT;
constexpr int kRate = 48000;
constexpr double kSeconds = 3.0;
constexpr std::int64_t kSourceFrames = 144000;

struct Fixture {
    const char* name;     // file name; its extension tells ffmpeg the container
    const char* options;  // ffmpeg's options for it
    const char* library;  // which decoder must read it
    int rate, channels;
    std::int64_t frames;    // exact length; -1: as much as the ffmpeg program decodes
    float seekTolerance;    // 0: a seek gives the very samples of a straight read
    int envelopeTolerance;  // columns in 1/127 of full scale; < 0: no source to compare
};

// Opus carries predictor state from frame to frame: after the pre-roll a seek agrees
// with the straight read to a small rounding. AAC's noise substitution (FFmpeg's encoder
// uses it by default) draws its noise from a generator that runs from the first frame:
// after a seek the noise bands get other noise of the same loudness.
constexpr float kFreshNoise = 0.3f;
const Fixture kFixtures[] = {
    {"aac.m4a", "-c:a aac -b:a 128k -aac_pns 0", "ffmpeg", kRate, 2, kSourceFrames, 0.0f, 12},
    {"noise-substitution.m4a", "-c:a aac -b:a 128k", "ffmpeg", kRate, 2, kSourceFrames, kFreshNoise,
     12},
    {"video.mp4",
     "-f lavfi -i testsrc=size=64x48:rate=10:duration=3 -map 1:v -map 0:a -c:v mpeg4 -c:a aac",
     "ffmpeg", kRate, 2, kSourceFrames, kFreshNoise, 12},
    {"phone.3gp", "-ac 1 -ar 16000 -c:a aac -b:a 32k", "ffmpeg", 16000, 1, 48000, kFreshNoise, 24},
    {"dictaphone.wma", "-c:a wmav2 -b:a 128k", "ffmpeg", kRate, 2, -1, 0.0f, 12},
    {"messenger.opus", "-c:a libopus -b:a 64k", "ffmpeg", kRate, 2, kSourceFrames, 2e-3f, 12},
    {"call.webm", "-c:a libopus -b:a 64k", "ffmpeg", kRate, 2, kSourceFrames, 2e-3f, 12},
    {"lossless.flac", "-c:a flac", "sndfile", kRate, 2, kSourceFrames, 0.0f, 1},
    {"lossless.mka", "-c:a flac", "ffmpeg", kRate, 2, kSourceFrames, 0.0f, 1},
    {"speech.amr", "", "ffmpeg", 8000, 1, 150 * 160, 0.0f, -1},
};

class Files : public ::testing::Environment {
  public:
    static audio_test::TempFolder* dir;
    static audio_test::Signal source;
    void SetUp() override {
        dir = new audio_test::TempFolder;
        ASSERT_TRUE(audio_test::WriteWav16(dir->Path("source.wav"),
                                           audio_test::SpeechLike(kRate, 2, kSeconds, 21)));
        // The source as the files hold it: 16-bit.
        source = {kRate, 2, audio_test::DecodeWithSndfile(dir->Path("source.wav")).samples};
        ASSERT_EQ(source.Frames(), kSourceFrames);
        for (const Fixture& f : kFixtures) {
            if (std::string(f.name) == "speech.amr") {
                // No AMR-NB encoder here: a file of valid frames with arbitrary bits.
                audio_test::WriteAmrNb(dir->Path(f.name), 150, 3);
                continue;
            }
            ASSERT_TRUE(
                audio_test::FfmpegEncode(dir->Path("source.wav"), dir->Path(f.name), f.options))
                << f.name;
        }
    }
    void TearDown() override {
        delete dir;
        dir = nullptr;
    }
};
audio_test::TempFolder* Files::dir = nullptr;
audio_test::Signal Files::source;
const auto* const kFilesEnvironment = ::testing::AddGlobalTestEnvironment(new Files);

std::vector<float> ReadDecoder(Decoder& d) {
    std::vector<float> all;
    std::vector<float> block(1000 * static_cast<std::size_t>(d.Channels()));
    for (;;) {
        const std::size_t n = d.Read(block.data(), 1000);
        if (n == 0) break;
        all.insert(all.end(), block.begin(),
                   block.begin() + static_cast<std::ptrdiff_t>(n) * d.Channels());
    }
    return all;
}

class EveryContainer : public ::testing::TestWithParam<int> {
  protected:
    const Fixture& fixture() const { return kFixtures[GetParam()]; }
    std::string path() const { return Files::dir->Path(fixture().name); }
};

TEST_P(EveryContainer, ExactLengthAndTheFfmpegProgramsOwnSamples) {
    const Fixture& f = fixture();
    auto decoder = OpenDecoder(path());
    ASSERT_TRUE(decoder) << f.name;
    EXPECT_STREQ(decoder->Library(), f.library);
    EXPECT_EQ(decoder->Rate(), f.rate);
    EXPECT_EQ(decoder->Channels(), f.channels);
    const std::vector<float> reference = audio_test::DecodeWithFfmpegProgram(path(), f.channels);
    const auto referenceFrames = static_cast<std::int64_t>(reference.size()) / f.channels;
    ASSERT_GT(referenceFrames, 0);
    if (f.frames >= 0) {
        EXPECT_EQ(decoder->Frames(), f.frames) << f.name;
        // An MP4's last AAC frame is decoded whole by the ffmpeg program; its edit list
        // says where the sound ends.
        EXPECT_GE(referenceFrames, f.frames);
        EXPECT_LT(referenceFrames, f.frames + 1024);
    } else {
        EXPECT_EQ(decoder->Frames(), referenceFrames) << f.name;
        // WMA keeps no exact length: within a frame of the source's.
        EXPECT_NEAR(static_cast<double>(referenceFrames), kSourceFrames, 2048);
    }
    const std::vector<float> data = ReadDecoder(*decoder);
    ASSERT_EQ(static_cast<std::int64_t>(data.size()), decoder->Frames() * f.channels);
    for (std::size_t i = 0; i < data.size(); ++i)
        ASSERT_EQ(data[i], reference[i]) << f.name << " sample " << i;
}

TEST_P(EveryContainer, SeekThenReadEqualsReadingStraightThrough) {
    const Fixture& f = fixture();
    auto decoder = OpenDecoder(path());
    ASSERT_TRUE(decoder);
    const std::vector<float> straight = ReadDecoder(*decoder);
    decoder.reset();
    const auto ch = static_cast<std::size_t>(f.channels);
    const auto frames = static_cast<std::int64_t>(straight.size() / ch);

    const HSTREAM s = OpenFileStream(false, path(), 0, 0, kDecodeFlags);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(StreamLength(s, POS_BYTE), straight.size() * 4);
    std::mt19937 random(5);
    const std::size_t want = 700;  // frames compared after each seek
    std::vector<float> buffer(want * ch);
    float worstOfAll = 0;
    for (int i = 0; i < 300; ++i) {
        std::int64_t frame;
        switch (i % 5) {
            case 0:  // the last frames, where padding is cut
                frame = frames - 1 - static_cast<std::int64_t>(random() % 2500);
                break;
            case 1:  // the start, inside the encoder's delay and the first checkpoint
                frame = static_cast<std::int64_t>(random() % 12000);
                break;
            case 2:  // a little ahead of where the last read ended
                frame = std::min<std::int64_t>(
                    frames, static_cast<std::int64_t>(StreamPosition(s, POS_BYTE) / 4 / ch) +
                                static_cast<std::int64_t>(random() % 3000));
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
        ASSERT_EQ(got, expected * 4) << f.name << " frame " << frame;
        float worst = 0;
        for (std::size_t j = 0; j < expected; ++j)
            worst = std::max(
                worst, std::abs(buffer[j] - straight[static_cast<std::size_t>(frame) * ch + j]));
        ASSERT_LE(worst, f.seekTolerance) << f.name << " seek to frame " << frame;
        worstOfAll = std::max(worstOfAll, worst);
    }
    FreeStream(s);
    RecordProperty("worst_difference", std::to_string(worstOfAll));

    // A playback stream counts 16-bit bytes of the same frames.
    const HSTREAM p = OpenFileStream(false, path(), 0, 0, STREAM_PRESCAN);
    ASSERT_NE(p, 0u);
    EXPECT_EQ(StreamLength(p, POS_BYTE), straight.size() * 2);
    FreeStream(p);
}

// Columns of 1/30 s: the highest and lowest sample of both channels, in 1/127 of full
// scale, as the waveform draws them.
std::vector<std::pair<int, int>> Envelope(const std::vector<float>& samples, int rate,
                                          int channels) {
    std::vector<std::pair<int, int>> columns;
    const std::int64_t frames = static_cast<std::int64_t>(samples.size()) / channels;
    for (std::int64_t c = 0; (c + 1) * rate / 30 <= frames; ++c) {
        float lo = 0, hi = 0;
        for (std::int64_t i = c * rate / 30; i < (c + 1) * rate / 30; ++i)
            for (int k = 0; k < channels; ++k) {
                lo = std::min(lo, samples[static_cast<std::size_t>(i * channels + k)]);
                hi = std::max(hi, samples[static_cast<std::size_t>(i * channels + k)]);
            }
        columns.emplace_back(static_cast<int>(lo * 127), static_cast<int>(hi * 127));
    }
    return columns;
}

TEST_P(EveryContainer, EnvelopeCloseToTheSources) {
    const Fixture& f = fixture();
    if (f.envelopeTolerance < 0) GTEST_SKIP() << "no source signal behind " << f.name;
    const HSTREAM s = OpenFileStream(false, path(), 0, 0, kDecodeFlags);
    ASSERT_NE(s, 0u);
    std::vector<float> decoded(StreamLength(s, POS_BYTE) / 4);
    ASSERT_EQ(ReadDecodedData(s, decoded.data(),
                              static_cast<std::uint32_t>(decoded.size() * 4) | DATA_FLOAT),
              decoded.size() * 4);
    FreeStream(s);
    // The source as the file's rate and channels hold it.
    std::vector<float> source = Files::source.samples;
    if (f.channels == 1 || f.rate != kRate) {
        const std::string wav = Files::dir->Path(std::string(f.name) + ".wav");
        ASSERT_TRUE(audio_test::FfmpegEncode(Files::dir->Path("source.wav"), wav,
                                             "-ac " + std::to_string(f.channels) + " -ar " +
                                                 std::to_string(f.rate) + " -c:a pcm_f32le"));
        source = audio_test::DecodeWithSndfile(wav).samples;
    }
    if (f.frames < 0) {
        // WMA's decoder neither keeps nor removes exactly the encoder's delay: align the
        // two by the best shift, up to two frames either way.
        const auto ch = static_cast<std::ptrdiff_t>(f.channels);
        const auto frames =
            static_cast<std::ptrdiff_t>(std::min(decoded.size(), source.size())) / ch;
        std::ptrdiff_t best = 0;
        double bestError = 1e300;
        for (std::ptrdiff_t lag = -4096; lag <= 4096; ++lag) {
            double error = 0;
            for (std::ptrdiff_t i = 4096; i + 4096 < frames; i += 16)
                error += std::abs(decoded[static_cast<std::size_t>((i + lag) * ch)] -
                                  source[static_cast<std::size_t>(i * ch)]);
            if (error < bestError) {
                bestError = error;
                best = lag;
            }
        }
        if (best > 0) decoded.erase(decoded.begin(), decoded.begin() + best * ch);
        if (best < 0) source.erase(source.begin(), source.begin() - best * ch);
    }
    const auto a = Envelope(decoded, f.rate, f.channels);
    const auto b = Envelope(source, f.rate, f.channels);
    // WMA keeps no exact length: its last column may be missing.
    ASSERT_NEAR(static_cast<double>(a.size()), static_cast<double>(b.size()), f.frames < 0 ? 3 : 0)
        << f.name;
    int worst = 0;
    double sum = 0;
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int d =
            std::max(std::abs(a[i].first - b[i].first), std::abs(a[i].second - b[i].second));
        worst = std::max(worst, d);
        sum += d;
    }
    EXPECT_LE(worst, f.envelopeTolerance) << f.name;
    EXPECT_LE(sum / static_cast<double>(n), f.envelopeTolerance / 4.0) << f.name;
}

std::string FixtureName(const ::testing::TestParamInfo<int>& info) {
    std::string name = kFixtures[info.param].name;
    std::replace(name.begin(), name.end(), '.', '_');
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, EveryContainer,
                         ::testing::Range(0, static_cast<int>(std::size(kFixtures))), FixtureName);

TEST(FfmpegDecoder, FlacThroughEitherLibraryIsTheSame) {
    // FLAC stays with libsndfile; FFmpeg reads the same samples.
    const std::string path = Files::dir->Path("lossless.flac");
    auto viaSndfile = OpenDecoder(path);
    auto viaFfmpeg = OpenFfmpegDecoder(path);
    ASSERT_TRUE(viaSndfile && viaFfmpeg);
    EXPECT_EQ(viaSndfile->Frames(), viaFfmpeg->Frames());
    EXPECT_TRUE(ReadDecoder(*viaSndfile) == ReadDecoder(*viaFfmpeg));
    EXPECT_TRUE(ReadDecoder(*viaFfmpeg).empty());  // at its end
    EXPECT_TRUE(viaFfmpeg->Seek(0));
    EXPECT_EQ(ReadDecoder(*viaFfmpeg), Files::source.samples);
}

// Finds the first box of `type` at the top level of an ISO media file.
std::size_t FindBox(const std::vector<unsigned char>& bytes, const char* type) {
    std::size_t at = 0;
    while (at + 8 <= bytes.size()) {
        const std::uint32_t size = (std::uint32_t{bytes[at]} << 24) | (bytes[at + 1] << 16) |
                                   (bytes[at + 2] << 8) | bytes[at + 3];
        if (std::memcmp(&bytes[at + 4], type, 4) == 0) return at;
        if (size < 8) break;
        at += size;
    }
    return std::string::npos;
}

class Damaged : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(OpenManualOutput(44100)); }
    void TearDown() override { CloseDevice(); }
    static void ExpectRefused(const std::string& path) {
        SCOPED_TRACE(path);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(OpenDecoder(path));
        EXPECT_EQ(OpenFileStream(false, path, 0, 0, kDecodeFlags), 0u);
        EXPECT_EQ(OpenFileStream(false, path, 0, 0, STREAM_PRESCAN), 0u);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    }
    audio_test::TempFolder dir;
};

TEST_F(Damaged, M4aWithoutItsIndexOrItsDataFails) {
    const std::string source = Files::dir->Path("source.wav");
    const std::string atEnd = dir.Path("at-end.m4a");
    const std::string atStart = dir.Path("at-start.m4a");
    ASSERT_TRUE(audio_test::FfmpegEncode(source, atEnd, "-c:a aac"));
    ASSERT_TRUE(audio_test::FfmpegEncode(source, atStart, "-c:a aac -movflags +faststart"));
    for (const std::string& whole : {atEnd, atStart}) {
        const std::vector<unsigned char> bytes = audio_test::ReadBytes(whole);
        const std::size_t moov = FindBox(bytes, "moov");
        ASSERT_NE(moov, std::string::npos);
        const std::size_t moovSize = (std::size_t{bytes[moov + 2]} << 8) | bytes[moov + 3];
        // The index cut short: in its first bytes and halfway (with all that follows).
        for (std::size_t keep : {moov + 12, moov + moovSize / 2}) {
            const std::string cut = dir.Path("cut-moov.m4a");
            audio_test::WriteBytes(
                cut, {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep)});
            ExpectRefused(cut);
        }
    }
    // A whole index over an empty data box.
    std::vector<unsigned char> bytes = audio_test::ReadBytes(atStart);
    const std::size_t mdat = FindBox(bytes, "mdat");
    ASSERT_NE(mdat, std::string::npos);
    bytes.resize(mdat + 8);
    bytes[mdat] = bytes[mdat + 1] = bytes[mdat + 2] = 0;
    bytes[mdat + 3] = 8;
    audio_test::WriteBytes(dir.Path("empty-mdat.m4a"), bytes);
    ExpectRefused(dir.Path("empty-mdat.m4a"));
}

TEST_F(Damaged, VideoWithoutSoundFails) {
    const std::string silent = dir.Path("silent.mp4");
    ASSERT_TRUE(audio_test::FfmpegEncode(Files::dir->Path("source.wav"), silent,
                                         "-f lavfi -i testsrc=size=64x48:rate=10:duration=2 "
                                         "-map 1:v -c:v mpeg4"));
    ExpectRefused(silent);
}

TEST_F(Damaged, UnknownContentIsRefusedInsteadOfPlayingSilence) {
    // Not sound at all, under names that promise sound: the MP3 decoder used to take them.
    std::vector<unsigned char> text;
    for (int i = 0; i < 2000; ++i) {
        const std::string line = "Строка протокола " + std::to_string(i) + "\r\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    audio_test::WriteBytes(dir.Path("notes.mp3"), text);
    ExpectRefused(dir.Path("notes.mp3"));
    audio_test::WriteBytes(dir.Path("zeros.m4a"), std::vector<unsigned char>(100000, 0));
    ExpectRefused(dir.Path("zeros.m4a"));
}

TEST_F(Damaged, GarbageInsideTheDataPlaysToItsEndInBoundedTime) {
    for (const char* name : {"aac.m4a", "call.webm", "dictaphone.wma", "messenger.opus"}) {
        SCOPED_TRACE(name);
        std::vector<unsigned char> bytes = audio_test::ReadBytes(Files::dir->Path(name));
        std::mt19937 random(8);
        for (std::size_t i = bytes.size() / 3; i < bytes.size() * 2 / 3; ++i)
            bytes[i] = static_cast<unsigned char>(random());
        const std::string path = dir.Path(std::string("damaged-") + name);
        audio_test::WriteBytes(path, bytes);
        const auto start = std::chrono::steady_clock::now();
        const HSTREAM d = OpenFileStream(false, path, 0, 0, kDecodeFlags);
        if (d == 0) continue;  // refusing is as good as decoding what can be decoded
        const std::uint64_t length = StreamLength(d, POS_BYTE);
        std::vector<float> block(16384);
        std::uint64_t total = 0;
        for (;;) {
            const std::uint32_t got = ReadDecodedData(d, block.data(), 16384 * 4 | DATA_FLOAT);
            ASSERT_NE(got, BAD_READ);
            if (got == 0) break;
            total += got;
        }
        EXPECT_EQ(total, length);
        ASSERT_TRUE(SeekStream(d, length / 2 / 8 * 8, POS_BYTE));
        EXPECT_GT(ReadDecodedData(d, block.data(), 16384 * 4 | DATA_FLOAT), 0u);
        FreeStream(d);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    }
}

// A WMA opens by decoding its head and its last seconds, placing every frame by its time:
// the length, the samples and the seeks must still be a full decode's, at each frame
// length (2048, 1024 and 512 samples at these rates), in a file cut short and in damaged
// ones (the damage in the tail leaves the length to the full scan).
struct LongWma {
    const char* name;
    int rate, channels;
    const char* bitrate;
    double damageFrom, damageTo;  // share of the bytes: replaced by noise, or cut from there
    bool cut;
};
const LongWma kLongWmas[] = {
    {"stereo-44k", 44100, 2, "64k", 0, 0, false},
    {"mono-22k", 22050, 1, "32k", 0, 0, false},
    {"mono-8k", 8000, 1, "24k", 0, 0, false},
    {"cut-short", 44100, 2, "64k", 0.6, 1, true},
    {"noise-inside", 44100, 2, "64k", 0.45, 0.5, false},
    {"noise-in-tail", 22050, 1, "32k", 0.95, 0.98, false},
};

void PrintTo(const LongWma& w, std::ostream* os) {
    *os << w.name;
}

class LongWmaFiles : public ::testing::TestWithParam<LongWma> {};

TEST_P(LongWmaFiles, LengthSamplesAndSeeksOfAFullDecode) {
    const LongWma& w = GetParam();
    audio_test::TempFolder dir;
    const std::string wav = dir.Path("source.wav");
    const std::string wma = dir.Path(std::string(w.name) + ".wma");
    ASSERT_TRUE(audio_test::WriteWav16(wav, audio_test::SpeechLike(w.rate, w.channels, 40, 3)));
    ASSERT_TRUE(audio_test::FfmpegEncode(wav, wma, std::string("-c:a wmav2 -b:a ") + w.bitrate));
    std::vector<unsigned char> bytes = audio_test::ReadBytes(wma);
    const auto from = static_cast<std::size_t>(static_cast<double>(bytes.size()) * w.damageFrom);
    const auto to = static_cast<std::size_t>(static_cast<double>(bytes.size()) * w.damageTo);
    std::mt19937 random(11);
    if (w.cut) bytes.resize(from);
    for (std::size_t i = from; i < to && !w.cut; ++i)
        bytes[i] = static_cast<unsigned char>(random());
    audio_test::WriteBytes(wma, bytes);

    auto decoder = OpenDecoder(wma);
    ASSERT_TRUE(decoder);
    ASSERT_STREQ(decoder->Library(), "ffmpeg");
    const auto ch = static_cast<std::size_t>(w.channels);
    const std::vector<float> straight = ReadDecoder(*decoder);
    const std::int64_t frames = decoder->Frames();
    ASSERT_EQ(static_cast<std::int64_t>(straight.size() / ch), frames);
    if (w.damageTo <= w.damageFrom || w.cut) {
        // What the ffmpeg program decodes, sample for sample (noise it skips otherwise).
        EXPECT_TRUE(straight == audio_test::DecodeWithFfmpegProgram(wma, w.channels));
        EXPECT_NEAR(static_cast<double>(frames), 40.0 * w.rate * (w.cut ? w.damageFrom : 1.0),
                    w.rate * (w.cut ? 2.0 : 0.1));
    }
    // Seeks all across the file, and to its last frames, against the straight read.
    std::vector<float> block(1000 * ch);
    for (int i = 0; i <= 60; ++i) {
        const std::int64_t frame =
            i == 60 ? frames - 1 : frames * i / 60 + static_cast<std::int64_t>(random() % 3000);
        ASSERT_TRUE(decoder->Seek(std::min(frame, frames))) << frame;
        const std::size_t got = decoder->Read(block.data(), 1000);
        ASSERT_EQ(static_cast<std::int64_t>(got), std::min<std::int64_t>(1000, frames - frame));
        for (std::size_t j = 0; j < got * ch; ++j)
            ASSERT_EQ(block[j], straight[static_cast<std::size_t>(frame) * ch + j])
                << w.name << ": seek to " << frame << ", sample " << j;
    }
    EXPECT_FALSE(decoder->Seek(frames + 1));
}

INSTANTIATE_TEST_SUITE_P(Wma, LongWmaFiles, ::testing::ValuesIn(kLongWmas),
                         [](const ::testing::TestParamInfo<LongWma>& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(FfmpegSniffing, ContainersOnlyFfmpegReads) {
    auto kind = [](const std::string& bytes) {
        return SniffContainer(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    };
    EXPECT_EQ(kind(std::string("\0\0\0\x20"
                               "ftypM4A ",
                               12)),
              ContainerKind::Media);
    EXPECT_EQ(kind(std::string("\0\0\0\x18"
                               "ftyp3gp4",
                               12)),
              ContainerKind::Media);
    EXPECT_EQ(kind("\x1A\x45\xDF\xA3\x9F"), ContainerKind::Media);
    EXPECT_EQ(kind("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6"), ContainerKind::Media);
    EXPECT_EQ(kind("#!AMR\n"), ContainerKind::Media);
    EXPECT_EQ(kind("\xFF\xF1\x50\x80"), ContainerKind::Media);  // ADTS AAC
    EXPECT_EQ(kind("\xFF\xFB\x90\x64"), ContainerKind::Mpeg);   // still MP3
    EXPECT_EQ(kind("ftyp"), ContainerKind::Unknown);            // not at its place
}

}  // namespace
