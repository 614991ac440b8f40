// The zoomed waveform strip: drawing a 1920-pixel strip at the deepest zoom of a three-hour
// recording, computing the peaks of one such screen from the recording, and the memory the
// detail cache holds after a walk through a ten-hour recording.
//
// The three- and ten-hour recordings are WAV files whose data is mostly a hole in the
// file (sparse, so they cost no disk), with speech-like sound where the strip looks.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "bench/bench_common.h"
#include "bench/bench_process.h"
#include "player/detail_peaks.h"
#include "player/envelope.h"
#include "player/strip_picture.h"

namespace fs = std::filesystem;

namespace {

// A 16-bit mono 44.1 kHz WAV of `seconds`, silent (a hole) except `speech` seconds of the
// speech-like signal from `speechAt` seconds.
bool WriteSparseWav(const std::string& path, double seconds, double speechAt, double speech) {
    const std::uint32_t rate = 44100;
    const std::uint64_t frames = static_cast<std::uint64_t>(seconds * rate);
    const std::uint64_t dataBytes = frames * 2;
    if (dataBytes + 36 > 0xFFFFFFFFull) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(static_cast<std::uint32_t>(36 + dataBytes));
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);  // PCM
    u16(1);  // mono
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(static_cast<std::uint32_t>(dataBytes));
    out.seekp(static_cast<std::streamoff>(44 + static_cast<std::uint64_t>(speechAt * rate) * 2));
    bench::SpeechLikeSource source;
    std::vector<float> stereo(2 * rate);
    std::vector<std::int16_t> mono(rate);
    for (int s = 0; s < static_cast<int>(speech); ++s) {
        source.Fill(stereo.data(), rate);
        for (std::uint32_t i = 0; i < rate; ++i)
            mono[i] = static_cast<std::int16_t>(std::clamp(stereo[2 * i], -1.0f, 1.0f) * 32767);
        out.write(reinterpret_cast<const char*>(mono.data()), rate * 2);
    }
    out.close();
    fs::resize_file(path, 44 + dataBytes);
    return static_cast<bool>(out) || fs::file_size(path) == 44 + dataBytes;
}

// The columns of one screen of `width` pixels at the deepest zoom from `seconds`.
StripView DeepestView(double seconds, int width) {
    StripView view{kDeepestPixelsPerSecond, 0, false, 0};
    view.FirstPixel = static_cast<std::int64_t>(seconds * kDeepestPixelsPerSecond) - width / 2;
    return view;
}

void WantView(DetailPeaks& peaks, const StripView& view, int width) {
    std::int64_t first = 0;
    std::int64_t end = 0;
    std::int64_t last = 0;
    DetailPeaks::PixelColumns(view, 0, first, end);
    DetailPeaks::PixelColumns(view, width - 1, last, end);
    peaks.Want(first, end);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path dir = bench::CacheDir();
    const int width = 1920;

    // ---- detail_cache_mb_10h: a walk through ten hours, screen by screen at the deepest
    // zoom, every so many screens; the cache forgets the oldest tiles beyond its bound.
    {
        const std::string tenHours = (dir / "workbench-10h-sparse.wav").string();
        if (!WriteSparseWav(tenHours, 10 * 3600.0, 5 * 3600.0, 60)) {
            std::fprintf(stderr, "cannot write %s\n", tenHours.c_str());
            return 1;
        }
        const long before = bench::StatusKb("VmRSS");
        std::size_t accounted = 0;
        {
            DetailPeaks peaks;
            peaks.SetRecording(tenHours);
            const int screens = bench::Sized(300, 20);
            for (int i = 0; i < screens; ++i) {
                WantView(peaks, DeepestView((i + 0.5) * 36000.0 / screens, width), width);
                peaks.WaitIdle();
            }
            accounted = peaks.CacheBytes();
            const long after = bench::StatusKb("VmRSS");
            std::fprintf(stderr, "detail cache: %zu bytes accounted, RSS +%ld kB\n", accounted,
                         after - before);
            bench::Print("detail_cache_mb_10h",
                         std::max(static_cast<double>(accounted),
                                  static_cast<double>(after - before) * 1024.0) /
                             (1024.0 * 1024.0),
                         "MB");
        }
        fs::remove(tenHours);
    }

    // ---- detail_peaks_ms: one fresh screen at the deepest zoom, from asking to ready.
    {
        const int minutes = bench::Sized(60, 2);
        const std::string wav = bench::LongWav(minutes);
        double best = 1e30;
        double bestCpu = 1e30;
        for (int round = 0; round < bench::Sized(7, 2); ++round) {
            DetailPeaks peaks;
            peaks.SetRecording(wav);
            // Open the recording first (once per recording, like the envelope's pass).
            peaks.Want(0, 1);
            peaks.WaitIdle();
            const double at = 60.0 + round * (minutes * 60.0 - 120.0) / 7;
            const double cpu = bench::ProcessCpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            WantView(peaks, DeepestView(at, width), width);
            peaks.WaitIdle();
            best = std::min(best, bench::SecondsSince(start) * 1000);
            bestCpu = std::min(bestCpu, (bench::ProcessCpuSeconds() - cpu) * 1000);
        }
        bench::Print("detail_peaks_ms", best, "ms");
        // The worker's work alone (the main thread only waits): steadier on a busy machine.
        bench::Print("detail_peaks_cpu_ms", bestCpu, "ms");
    }

    // ---- zoom_draw_ms: the whole workbench strip, 1920 pixels at the deepest zoom of a
    // three-hour recording (envelope of three hours, detail of the screen, fragment, ticks).
    {
        const double length = 3 * 3600.0;
        const double at = 1.5 * 3600.0;
        const std::string threeHours = (dir / "workbench-3h-sparse.wav").string();
        if (!WriteSparseWav(threeHours, length, at - 60, 120)) return 1;
        EnvelopeState envelope;
        const auto columns = static_cast<std::int32_t>(length * kEnvelopeColumnsPerSecond);
        envelope.Publish(columns);
        std::mt19937 random(7);
        for (std::int32_t c = 0; c < columns; ++c) {
            const auto high = static_cast<std::int8_t>(random() % 100);
            envelope.Widen(c, static_cast<std::int8_t>(-high), high);
        }
        DetailPeaks peaks;
        peaks.SetRecording(threeHours);
        StripScene scene;
        scene.View = DeepestView(at, width);
        scene.Position = at;
        scene.Length = length;
        scene.Fragment = {true, at - 2, at + 3.2, at + 2.2};
        for (int i = 0; i < 40; ++i)
            scene.Ticks.push_back({at - 19 + i, i % 3 == 0 ? qRgb(200, 30, 30) : 0u});
        WantView(peaks, scene.View, width);
        peaks.WaitIdle();
        QImage picture(width, 68, QImage::Format_RGB32);
        StripOverview overview;
        PaintStrip(picture, envelope, &peaks, scene, overview);  // warm up
        const int draws = bench::Sized(500, 50);
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < draws; ++i) {
            scene.Position = at + i * 0.002;
            PaintStrip(picture, envelope, &peaks, scene, overview);
        }
        bench::Print("zoom_draw_ms", timer.nsecsElapsed() / 1e6 / draws, "ms");
        fs::remove(threeHours);
    }
    return 0;
}
