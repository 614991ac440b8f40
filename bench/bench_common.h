// What the benchmarks share: long sound files, generated once into a cache folder
// ($NUVTOLVEK_BENCH_CACHE, default ~/.cache/nuvtolvek-bench) and reused by later runs.
//
// The signal is speech-like: noise bursts and a voiced hum under syllable envelopes of
// 80–300 ms with short gaps, 44.1 kHz stereo, the same for every run. WAV and OGG are
// written with libsndfile, MP3 with the lame command at 128 kbps CBR.
#pragma once

#include <sndfile.h>
#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "bench/bench_smoke.h"

namespace bench {

inline std::filesystem::path CacheDir() {
    const char* env = std::getenv("NUVTOLVEK_BENCH_CACHE");
    const char* home = std::getenv("HOME");
    std::filesystem::path dir =
        env && *env ? std::filesystem::path(env)
                    : std::filesystem::path(home ? home : "/tmp") / ".cache" / "nuvtolvek-bench";
    std::filesystem::create_directories(dir);
    return dir;
}

// Streams the speech-like signal block by block, so an hour never sits in memory.
class SpeechLikeSource {
  public:
    explicit SpeechLikeSource(std::uint32_t seed = 1) : random_(seed) {}
    // Fills `frames` interleaved stereo frames.
    void Fill(float* out, std::size_t frames) {
        for (std::size_t i = 0; i < frames; ++i) {
            if (left_ == 0) NextSegment();
            --left_;
            float v;
            if (voiced_) {
                const double env = std::sin(std::numbers::pi * static_cast<double>(position_++) /
                                            static_cast<double>(length_));
                low_ += 0.3f * (Noise() - low_);
                lower_ += 0.3f * (low_ - lower_);
                phase_ += 2 * std::numbers::pi * pitch_ / 44100.0;
                if (phase_ > 2 * std::numbers::pi) phase_ -= 2 * std::numbers::pi;
                v = static_cast<float>(env * loud_ * (1.8 * lower_ + 0.4 * std::sin(phase_)));
            } else {
                v = 0.01f * Noise();
            }
            out[2 * i] = v;
            out[2 * i + 1] = 0.8f * v + 0.02f * Noise();
        }
    }

  private:
    float Noise() { return static_cast<float>(random_() >> 8) / 8388608.0f - 1.0f; }
    void NextSegment() {
        voiced_ = !voiced_;
        const double seconds = voiced_ ? 0.08 + 0.22 * (random_() % 1000) / 1000.0
                                       : 0.02 + 0.15 * (random_() % 1000) / 1000.0;
        length_ = left_ = static_cast<std::size_t>(seconds * 44100) + 1;
        position_ = 0;
        pitch_ = 90 + random_() % 160;
        loud_ = 0.2 + 0.4 * (random_() % 1000) / 1000.0;
    }
    std::mt19937 random_;
    bool voiced_ = false;
    std::size_t left_ = 0, length_ = 1, position_ = 0;
    double pitch_ = 120, loud_ = 0.3, phase_ = 0;
    float low_ = 0, lower_ = 0;
};

// Makes `target` with `make(partialPath)` unless it exists; a run that is interrupted
// leaves only a ".part" file, never a half-made target.
inline std::string EnsureFile(const std::filesystem::path& target,
                              const std::function<bool(const std::string&)>& make) {
    if (std::filesystem::exists(target)) return target.string();
    const std::string partial = target.string() + ".part";
    std::fprintf(stderr, "bench: generating %s (once)\n", target.c_str());
    if (!make(partial)) {
        std::filesystem::remove(partial);
        return {};
    }
    std::filesystem::rename(partial, target);
    return target.string();
}

inline bool WriteSpeechLike(const std::string& path, int format, int minutes) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    SpeechLikeSource source;
    std::vector<float> block(44100 * 2);
    bool ok = true;
    for (int second = 0; second < minutes * 60 && ok; ++second) {
        source.Fill(block.data(), 44100);
        ok = sf_writef_float(f, block.data(), 44100) == 44100;
    }
    sf_close(f);
    return ok;
}

// `minutes` of the signal as 16-bit WAV.
inline std::string LongWav(int minutes) {
    return EnsureFile(CacheDir() / ("speech-" + std::to_string(minutes) + "min.wav"),
                      [&](const std::string& part) {
                          return WriteSpeechLike(part, SF_FORMAT_WAV | SF_FORMAT_PCM_16, minutes);
                      });
}

// The same as Ogg Vorbis (libsndfile's encoder at its default quality).
inline std::string LongOgg(int minutes) {
    return EnsureFile(CacheDir() / ("speech-" + std::to_string(minutes) + "min.ogg"),
                      [&](const std::string& part) {
                          return WriteSpeechLike(part, SF_FORMAT_OGG | SF_FORMAT_VORBIS, minutes);
                      });
}

// The same as 128 kbps CBR stereo MP3 through lame (with its usual info tag).
inline std::string LongMp3(int minutes) {
    const std::string wav = LongWav(minutes);
    if (wav.empty()) return {};
    return EnsureFile(CacheDir() / ("speech-" + std::to_string(minutes) + "min-128k.mp3"),
                      [&](const std::string& part) {
                          const std::string command =
                              "lame --quiet -b 128 -m j -q 5 '" + wav + "' '" + part + "'";
                          return std::system(command.c_str()) == 0;
                      });
}

// The three hour-long files, made in parallel the first time (lame beside the Ogg encoder).
struct LongFiles {
    std::string wav, mp3, ogg;
};
inline LongFiles MakeLongFiles(int minutes) {
    LongFiles files;
    files.wav = LongWav(minutes);
    std::thread mp3([&] { files.mp3 = LongMp3(minutes); });
    files.ogg = LongOgg(minutes);
    mp3.join();
    return files;
}

inline void Print(const char* name, double value, const char* unit) {
    std::printf("BENCH %s %.4g %s\n", name, value, unit);
    std::fflush(stdout);
}

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// CPU time of the calling thread, so that other processes on the machine do not count.
inline double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A full float decode through the engine, like the envelope worker: blocks of one minute of
// 44.1 kHz stereo floats. Returns the thread's CPU seconds (-1 when the file does not open).
inline double EngineDecodeSeconds(const std::string& path, std::uint64_t* samples) {
    const double start = ThreadCpuSeconds();
    const audio::HSTREAM s = audio::OpenFileStream(
        false, path, 0, 0, audio::STREAM_DECODE | audio::STREAM_PRESCAN | audio::SAMPLE_FLOAT);
    if (s == 0) return -1;
    std::vector<float> block(5'292'000);
    std::uint64_t total = 0;
    for (;;) {
        const std::uint32_t got = audio::ReadDecodedData(
            s, block.data(), static_cast<std::uint32_t>(block.size() * 4) | audio::DATA_FLOAT);
        if (got == 0 || got == audio::BAD_READ) break;
        total += got / 4;
    }
    audio::FreeStream(s);
    *samples = total;
    return ThreadCpuSeconds() - start;
}

}  // namespace bench
