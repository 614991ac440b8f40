#include "player/detail_peaks.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "audio/audio.h"
#include "player/tests/sound_files.h"

namespace {

// A loudness that changes every few milliseconds, different on each channel.
float Wobble(long frame, int channel) {
    const double t = static_cast<double>(frame);
    return static_cast<float>(std::sin(t * 0.0123 + channel) * std::sin(t * 0.00071) *
                              (0.3 + 0.7 * std::abs(std::sin(t * 0.000037 + channel))));
}

std::int8_t Scale(float s) {
    const double v = std::trunc(static_cast<double>(s) * 127);
    return static_cast<std::int8_t>(std::clamp(v, -127.0, 127.0));
}

// The recording read straight through libsndfile.
struct Straight {
    int rate = 0;
    int channels = 0;
    std::vector<float> samples;
    long Frames() const { return static_cast<long>(samples.size()) / channels; }
    // Peaks of the frames whose detail column lies in [first, end).
    PeakColumn Peaks(std::int64_t first, std::int64_t end) const {
        PeakColumn peak{0, 0, true};
        const auto from = static_cast<long>((first * rate + 199) / 200);
        for (long f = std::max(0L, from); f < Frames(); ++f) {
            if (static_cast<std::int64_t>(f) * 200 / rate >= end) break;
            for (int c = 0; c < channels; ++c) {
                const std::int8_t v = Scale(samples[static_cast<std::size_t>(f * channels + c)]);
                peak.Min = std::min(peak.Min, v);
                peak.Max = std::max(peak.Max, v);
            }
        }
        return peak;
    }
};

Straight ReadStraight(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    Straight s;
    if (file == nullptr) return s;
    s.rate = info.samplerate;
    s.channels = info.channels;
    s.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, s.samples.data(), info.frames);
    sf_close(file);
    return s;
}

class DetailPeaksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        audio::CloseDevice();
    }
    std::string Write(const std::string& name, int rate, int channels, double seconds) {
        const std::string path = folder.filePath(QString::fromStdString(name)).toStdString();
        EXPECT_TRUE(WriteSoundFile(path, rate, channels, std::lround(seconds * rate), Wobble));
        return path;
    }
    QTemporaryDir folder;
};

}  // namespace

TEST_F(DetailPeaksTest, ColumnsEqualPeaksComputedStraightFromTheSamples) {
    struct Case {
        int rate, channels;
        double seconds;
    } cases[] = {{44100, 2, 12.0}, {48000, 1, 6.3}, {11025, 1, 2.0}, {22050, 2, 0.1}};
    for (const Case& c : cases) {
        const std::string path = Write("c.wav", c.rate, c.channels, c.seconds);
        const Straight straight = ReadStraight(path);
        const auto columns =
            static_cast<std::int64_t>(std::ceil(c.seconds * kDetailColumnsPerSecond));
        DetailPeaks peaks;
        peaks.SetRecording(path);
        peaks.Want(0, columns);
        peaks.WaitIdle();
        const auto got = peaks.Columns(0, columns);
        for (std::int64_t i = 0; i < columns; ++i) {
            const PeakColumn want = straight.Peaks(i, i + 1);
            ASSERT_TRUE(got[i].Ready) << c.rate << " column " << i;
            ASSERT_EQ(got[i].Min, want.Min) << c.rate << " column " << i;
            ASSERT_EQ(got[i].Max, want.Max) << c.rate << " column " << i;
        }
    }
}

TEST_F(DetailPeaksTest, PixelsOfAZoomedViewSpanTheirStretchOfSamples) {
    const std::string path = Write("p.wav", 44100, 2, 16.0);
    const Straight straight = ReadStraight(path);
    DetailPeaks peaks;
    peaks.SetRecording(path);
    for (double scale : {50.0, 40.0, 31.0}) {
        const StripView view{scale, 37, false, 0};
        std::vector<PeakColumn> pixels;
        peaks.PixelPeaks(view, 600, pixels);
        std::int64_t first = 0;
        std::int64_t end = 0;
        DetailPeaks::PixelColumns(view, 0, first, end);
        std::int64_t last = 0;
        DetailPeaks::PixelColumns(view, 599, last, end);
        peaks.Want(first, end);
        peaks.WaitIdle();
        peaks.PixelPeaks(view, 600, pixels);
        ASSERT_EQ(pixels.size(), 600u);
        for (int x = 0; x < 600; ++x) {
            DetailPeaks::PixelColumns(view, x, first, end);
            const PeakColumn want = straight.Peaks(first, end);
            ASSERT_TRUE(pixels[x].Ready) << scale << " x " << x;
            ASSERT_EQ(pixels[x].Min, want.Min) << scale << " x " << x;
            ASSERT_EQ(pixels[x].Max, want.Max) << scale << " x " << x;
        }
    }
    // At 50 pixels a second a pixel is exactly four columns.
    std::int64_t first = 0;
    std::int64_t end = 0;
    DetailPeaks::PixelColumns(StripView{50, 10, false, 0}, 3, first, end);
    EXPECT_EQ(first, 52);
    EXPECT_EQ(end, 56);
}

TEST_F(DetailPeaksTest, WhatIsNotComputedIsNotReadyAndANewRecordingForgetsTheOld) {
    const std::string a = Write("a.wav", 44100, 1, 8.0);
    const std::string b = Write("b.wav", 44100, 1, 8.0);
    DetailPeaks peaks;
    peaks.SetRecording(a);
    EXPECT_FALSE(peaks.Columns(0, 1)[0].Ready);  // nothing asked for yet
    peaks.Want(0, 100);
    peaks.WaitIdle();
    const auto columns = peaks.Columns(0, kDetailTileColumns + 1);
    EXPECT_TRUE(columns[0].Ready);
    EXPECT_FALSE(columns[kDetailTileColumns].Ready);  // the next tile was not wanted
    peaks.SetRecording(b);
    EXPECT_FALSE(peaks.Columns(0, 1)[0].Ready);
    EXPECT_EQ(peaks.CacheBytes(), 0u);
}

TEST_F(DetailPeaksTest, TheCacheKeepsOnlyTheNewestTiles) {
    const std::string path = Write("long.wav", 8000, 1, 60.0);  // twelve tiles
    DetailPeaks peaks(4);
    peaks.SetRecording(path);
    std::size_t oneTile = 0;
    for (std::int64_t tile = 0; tile < 12; ++tile) {
        peaks.Want(tile * kDetailTileColumns, (tile + 1) * kDetailTileColumns);
        peaks.WaitIdle();
        if (tile == 0) oneTile = peaks.CacheBytes();
    }
    EXPECT_GT(oneTile, 0u);
    EXPECT_LE(peaks.CacheBytes(), 4 * oneTile);
    EXPECT_TRUE(peaks.Columns(11 * kDetailTileColumns, 1)[0].Ready);
    EXPECT_FALSE(peaks.Columns(0, 1)[0].Ready);
}

TEST_F(DetailPeaksTest, BrokenAndMissingRecordingsGiveSilenceNotAHang) {
    // A file cut in the middle of its data: the header promises ten seconds.
    const std::string cut = Write("cut.wav", 44100, 1, 10.0);
    std::filesystem::resize_file(cut, 44 + 4 * 44100 * 3);
    const std::string garbage = folder.filePath("garbage.wav").toStdString();
    {
        std::FILE* f = std::fopen(garbage.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("RIFF not really a sound file at all", f);
        std::fclose(f);
    }
    for (const std::string& path : {cut, garbage, folder.filePath("missing.wav").toStdString()}) {
        DetailPeaks peaks;
        peaks.SetRecording(path);
        peaks.Want(0, 2000);
        peaks.WaitIdle();
        const auto columns = peaks.Columns(1900, 1);
        EXPECT_TRUE(columns[0].Ready) << path;
        EXPECT_EQ(columns[0].Min, 0) << path;
        EXPECT_EQ(columns[0].Max, 0) << path;
    }
}
