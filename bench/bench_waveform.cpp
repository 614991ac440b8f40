// The waveform strip's costs: the envelope pass over a one-hour MP3 against decoding the
// same file alone, one drawing of the strip, and the memory a pass over three hours adds.
//
// The MP3 files are generated once into $NUVTOLVEK_BENCH_CACHE (default
// ~/.cache/nuvtolvek-bench) with the lame encoder.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "bench/bench_common.h"
#include "bench/bench_process.h"
#include "player/envelope.h"
#include "player/waveform_view.h"

namespace fs = std::filesystem;

namespace {

// Writes `minutes` of speech-like 44.1 kHz stereo (tones under a syllable-rate envelope,
// with some noise) through lame. No tag frames, so copies can be joined end to end.
bool EncodeMp3(const fs::path& target, int minutes) {
    const fs::path partial = target.string() + ".part";
    const std::string command =
        "lame --quiet -t -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -b 128 -q 7 - '" +
        partial.string() + "'";
    FILE* pipe = popen(command.c_str(), "w");
    if (pipe == nullptr) return false;
    const long frames = 44100L * 60 * minutes;
    std::vector<std::int16_t> block(2 * 44100);
    std::uint32_t noise = 12345;
    for (long start = 0; start < frames; start += 44100) {
        const long n = std::min(44100L, frames - start);
        for (long i = 0; i < n; ++i) {
            const double t = static_cast<double>(start + i) / 44100.0;
            const double syllable = std::max(0.0, std::sin(2 * M_PI * 3.1 * t)) *
                                    (0.5 + 0.5 * std::sin(2 * M_PI * 0.13 * t));
            noise = noise * 1664525u + 1013904223u;
            const double hiss = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.05;
            const double voice = syllable * (0.4 * std::sin(2 * M_PI * 180 * t) +
                                             0.2 * std::sin(2 * M_PI * 720 * t + 0.3) +
                                             0.1 * std::sin(2 * M_PI * 2500 * t));
            block[2 * i] = static_cast<std::int16_t>((voice + hiss) * 32767 * 0.8);
            block[2 * i + 1] = static_cast<std::int16_t>((voice * 0.9 - hiss) * 32767 * 0.8);
        }
        if (std::fwrite(block.data(), sizeof(std::int16_t), 2 * n, pipe) !=
            static_cast<std::size_t>(2 * n)) {
            pclose(pipe);
            return false;
        }
    }
    if (pclose(pipe) != 0) return false;
    fs::rename(partial, target);
    return true;
}

// An hour of speech-like sound; a minute in a smoke run.
const int kMinutes = bench::Sized(60, 1);

fs::path OneHourMp3() {
    const fs::path path =
        bench::CacheDir() / ("waveform_speech_" + std::to_string(kMinutes) + "min.mp3");
    if (!fs::exists(path) && !EncodeMp3(path, kMinutes)) {
        std::fprintf(stderr, "cannot generate %s (is lame installed?)\n", path.c_str());
        std::exit(1);
    }
    return path;
}

fs::path ThreeHourMp3(const fs::path& oneHour) {
    const fs::path path =
        bench::CacheDir() / ("waveform_speech_" + std::to_string(3 * kMinutes) + "min.mp3");
    if (!fs::exists(path)) {
        const fs::path partial = path.string() + ".part";
        {
            std::ofstream out(partial, std::ios::binary);
            for (int i = 0; i < 3; ++i) {
                std::ifstream in(oneHour, std::ios::binary);
                out << in.rdbuf();
            }
        }
        fs::rename(partial, path);
    }
    return path;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Decodes the whole file through a decoding stream, reading as the worker reads.
double DecodeOnly(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    const audio::HSTREAM h = audio::OpenFileStream(
        false, path, 0, 0, audio::STREAM_DECODE | audio::STREAM_PRESCAN | audio::SAMPLE_FLOAT);
    if (h == 0) {
        std::fprintf(stderr, "cannot decode %s\n", path.c_str());
        std::exit(1);
    }
    std::vector<float> buffer(static_cast<std::size_t>(kEnvelopeBlockSamples / 20));
    volatile float sink = 0;
    for (;;) {
        const std::uint32_t bytes = audio::ReadDecodedData(
            h, buffer.data(),
            static_cast<std::uint32_t>(buffer.size() * sizeof(float)) | audio::DATA_FLOAT);
        if (bytes == audio::BAD_READ || bytes == 0) break;
        sink = sink + buffer[0];
    }
    audio::FreeStream(h);
    return Seconds(std::chrono::steady_clock::now() - start);
}

double EnvelopePass(ENVELOPE& worker, const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    worker.Request(path);
    worker.WaitIdle();
    return Seconds(std::chrono::steady_clock::now() - start);
}

// Resets the peak resident size to the current one.
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path oneHour = OneHourMp3();
    const fs::path threeHours = ThreeHourMp3(oneHour);

    EnvelopeState state;
    ENVELOPE worker(state);

    // Memory first, before other phases leave freed memory behind.
    {
        const long before = bench::StatusKb("VmRSS");
        ResetPeak();
        EnvelopePass(worker, threeHours.string());
        const long peak = bench::StatusKb("VmHWM");
        // The encoder's delay and padding add a few hundredths of a second.
        if (std::abs(state.Count() - 3 * kMinutes * 60 * 30) > 30)
            std::fprintf(stderr, "unexpected column count %d\n", state.Count());
        std::printf("BENCH envelope_peak_mb_3h %.2f MB\n", (peak - before) / 1024.0);
    }

    // Best of three alternating rounds, so that a busy moment of the machine hurts neither
    // side. CPU time is reported beside wall time: on a shared machine it is the steadier.
    double decode = 1e30;
    double pass = 1e30;
    double decodeCpu = 1e30;
    double passCpu = 1e30;
    for (int round = 0; round < bench::Sized(3, 1); ++round) {
        double cpu = bench::ProcessCpuSeconds();
        const double d = DecodeOnly(oneHour.string());
        decodeCpu = std::min(decodeCpu, bench::ProcessCpuSeconds() - cpu);
        cpu = bench::ProcessCpuSeconds();
        const double p = EnvelopePass(worker, oneHour.string());
        passCpu = std::min(passCpu, bench::ProcessCpuSeconds() - cpu);
        std::fprintf(stderr, "round %d: decode %.2f s, envelope pass %.2f s\n", round, d, p);
        decode = std::min(decode, d);
        pass = std::min(pass, p);
    }
    if (std::abs(state.Count() - kMinutes * 60 * 30) > 30)
        std::fprintf(stderr, "unexpected column count %d\n", state.Count());
    std::printf("BENCH envelope_decode_only_s_mp3 %.2f s\n", decode);
    std::printf("BENCH envelope_ratio_mp3 %.3f ratio\n", pass / decode);
    std::printf("BENCH envelope_cpu_ratio_mp3 %.3f ratio\n", passCpu / decodeCpu);
    std::printf("BENCH envelope_xrealtime_mp3 %.1f x\n", kMinutes * 60.0 / pass);

    // Drawing the strip over the one-hour envelope just computed, marker mid-way.
    WaveformView view;
    view.resize(649, 68);
    view.ClearView();
    const int draws = bench::Sized(2000, 200);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < draws; ++i)
        view.DrawEnvelope(state, kMinutes * (30.0 + i * 0.2 / 60), kMinutes * 60.0);
    std::printf("BENCH draw_ms %.4f ms\n", timer.nsecsElapsed() / 1e6 / draws);

    worker.Stop();
    return 0;
}
