// The sound engine's costs on hour-long files: decoding through a decoding stream against
// the decoding library alone (same file, same run), the exact-length open of an MP3, the
// CPU time of playing with twelve equalizer bands, and a seek with its first block.
#include <mpg123.h>
#include <sndfile.h>
#include <time.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <random>

#include "audio/audio.h"
#include "bench/bench_common.h"

namespace {

using bench::EngineDecodeSeconds;
using bench::ThreadCpuSeconds;

using Clock = std::chrono::steady_clock;
const int kMinutes = bench::Sized(60, 1);

// Decoding is timed in CPU time of the calling thread: the machine may be busy with other
// work, and both sides are measured alike.

double Mpg123Seconds(const std::string& path, std::uint64_t* samples) {
    const double start = ThreadCpuSeconds();
    mpg123_init();
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_FLOAT, 0);
    mpg123_format_none(h);
    mpg123_format(h, 44100, MPG123_STEREO, MPG123_ENC_FLOAT_32);
    std::uint64_t total = 0;
    if (mpg123_open(h, path.c_str()) == MPG123_OK) {
        std::vector<float> block(5'292'000);
        for (;;) {
            std::size_t done = 0;
            const int rc = mpg123_read(h, block.data(), block.size() * 4, &done);
            total += done / 4;
            if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) break;
        }
        mpg123_close(h);
    }
    mpg123_delete(h);
    *samples = total;
    return ThreadCpuSeconds() - start;
}

// vorbisfile hands out one buffer per channel; delivering interleaved floats into the
// worker's block, as any user of the library who wants samples must, is counted with it.
double VorbisfileSeconds(const std::string& path, std::uint64_t* samples) {
    const double start = ThreadCpuSeconds();
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) return -1;
    std::vector<float> block(5'292'000);
    std::size_t at = 0;
    std::uint64_t total = 0;
    for (;;) {
        float** pcm = nullptr;
        int link = 0;
        const int room = static_cast<int>((block.size() - at) / 2);
        const long n = ov_read_float(&vf, &pcm, std::min(room, 4096), &link);
        if (n == OV_HOLE) continue;
        if (n <= 0) break;
        for (long i = 0; i < n; ++i) {
            block[at + 2 * static_cast<std::size_t>(i)] = pcm[0][i];
            block[at + 2 * static_cast<std::size_t>(i) + 1] = pcm[1][i];
        }
        at += static_cast<std::size_t>(n) * 2;
        if (at + 2 > block.size()) at = 0;
        total += static_cast<std::uint64_t>(n) * 2;
    }
    ov_clear(&vf);
    *samples = total;
    return ThreadCpuSeconds() - start;
}

double SndfileSeconds(const std::string& path, std::uint64_t* samples) {
    const double start = ThreadCpuSeconds();
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return -1;
    std::vector<float> block(5'292'000);
    std::uint64_t total = 0;
    sf_count_t n;
    while ((n = sf_read_float(f, block.data(), static_cast<sf_count_t>(block.size()))) > 0)
        total += static_cast<std::uint64_t>(n);
    sf_close(f);
    *samples = total;
    return ThreadCpuSeconds() - start;
}

// Best of three alternating runs each, so both sides see the same cache and machine state.
void DecodeRatio(const char* kind, const std::string& path,
                 double (*library)(const std::string&, std::uint64_t*), double* engineSeconds) {
    double bestEngine = 1e9, bestLibrary = 1e9;
    std::uint64_t engineSamples = 0, librarySamples = 0;
    for (int round = 0; round < bench::Sized(3, 1); ++round) {
        bestLibrary = std::min(bestLibrary, library(path, &librarySamples));
        bestEngine = std::min(bestEngine, EngineDecodeSeconds(path, &engineSamples));
    }
    if (engineSamples != librarySamples)
        std::fprintf(stderr, "bench: %s: engine %llu samples, library %llu\n", kind,
                     static_cast<unsigned long long>(engineSamples),
                     static_cast<unsigned long long>(librarySamples));
    const std::string name = std::string("decode_ratio_") + kind;
    bench::Print(name.c_str(), bestEngine / bestLibrary, "x");
    if (engineSeconds) *engineSeconds = bestEngine;
}

// One MP3 playing with the player's twelve bands, rendered through the manual output.
double RenderCpuMsPerSecond(const std::string& mp3, std::uint32_t outputRate) {
    audio::OpenManualOutput(outputRate);
    const audio::HSTREAM s = audio::OpenFileStream(false, mp3, 0, 0, audio::STREAM_PRESCAN);
    audio::ResetStreamEffects(s);
    const float centres[12] = {80, 100, 250, 500, 750, 1000, 1500, 2500, 4000, 8000, 12000, 16000};
    for (int b = 0; b < 12; ++b) {
        const audio::HFX fx = audio::AddStreamEffect(s, audio::FX_PARAMEQ, 1);
        const audio::ParamEqParams p{centres[b], 10.0f, static_cast<float>(b % 2 ? 6 - b : b - 8)};
        audio::SetEffectParameters(fx, &p);
    }
    // Ten minutes in (the middle of a smoke run's short file).
    const std::uint64_t start = kMinutes >= 20 ? 600 : kMinutes * 30;
    audio::SeekStream(s, 44100ull * 4 * start, audio::POS_BYTE);
    audio::PlayStream(s, false);
    audio::SetMasterVolume(0.8f);
    const int seconds = bench::Sized(120, 5);
    std::vector<float> mix;
    mix.reserve(static_cast<std::size_t>(outputRate) * 2);
    const double cpu = ThreadCpuSeconds();
    for (int i = 0; i < seconds; ++i) {
        mix.clear();
        audio::AdvanceManualOutput(outputRate, &mix);
    }
    const double used = ThreadCpuSeconds() - cpu;
    audio::CloseDevice();
    return used * 1000 / seconds;
}

// A random seek plus the first block rendered, averaged over many seeks.
double SeekMs(const std::string& path) {
    audio::OpenManualOutput(44100);
    const audio::HSTREAM s = audio::OpenFileStream(false, path, 0, 0, audio::STREAM_PRESCAN);
    audio::PlayStream(s, false);
    const std::uint64_t length = audio::StreamLength(s, audio::POS_BYTE);
    std::mt19937_64 random(5);
    std::vector<float> mix;
    mix.reserve(2048);
    const int seeks = bench::Sized(200, 20);
    double total = 0;
    for (int i = 0; i < seeks; ++i) {
        const std::uint64_t target = random() % length / 4 * 4;
        const auto start = Clock::now();
        audio::SeekStream(s, target, audio::POS_BYTE);
        mix.clear();
        audio::AdvanceManualOutput(1024, &mix);
        total += bench::SecondsSince(start);
    }
    audio::CloseDevice();
    return total * 1000 / seeks;
}

}  // namespace

int main() {
    const bench::LongFiles files = bench::MakeLongFiles(kMinutes);
    if (files.wav.empty() || files.mp3.empty() || files.ogg.empty()) {
        std::fprintf(stderr, "bench_audio: could not make the sound files\n");
        return 1;
    }

    // Warm the page cache and the decoders' first use out of the figures.
    std::uint64_t ignored = 0;
    SndfileSeconds(files.wav, &ignored);

    // Open with the exact-length pre-scan: median of five.
    std::vector<double> opens;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        const audio::HSTREAM s =
            audio::OpenFileStream(false, files.mp3, 0, 0, audio::STREAM_PRESCAN);
        opens.push_back(bench::SecondsSince(start) * 1000);
        audio::FreeStream(s);
    }
    std::sort(opens.begin(), opens.end());
    bench::Print("open_prescan_mp3_ms", opens[2], "ms");

    bench::Print("seek_ms", SeekMs(files.mp3), "ms");
    bench::Print("seek_ms_ogg", SeekMs(files.ogg), "ms");
    bench::Print("render_cpu_ms_per_s", RenderCpuMsPerSecond(files.mp3, 44100), "ms");
    // The same through the resampler: a 48 kHz output.
    bench::Print("render_cpu_ms_per_s_resampled", RenderCpuMsPerSecond(files.mp3, 48000), "ms");

    double mp3Seconds = 0;
    DecodeRatio("mp3", files.mp3, &Mpg123Seconds, &mp3Seconds);
    bench::Print("decode_xrealtime_mp3", kMinutes * 60.0 / mp3Seconds, "x");
    DecodeRatio("ogg", files.ogg, &VorbisfileSeconds, nullptr);
    DecodeRatio("wav", files.wav, &SndfileSeconds, nullptr);
    return 0;
}
