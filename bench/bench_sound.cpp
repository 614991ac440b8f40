// The sound card through a real sound server: a private PulseAudio with a null sink whose
// monitor is recorded (the program runs itself through scripts/with-pulse when no such
// server is there). Figures: pause to silence at the monitor, the first sound after idle,
// the reported position against what is heard, gaps while two busy processes hold both
// cores, the CPU while playing, the CPU and wake-ups of an idle program, and the time to resume
// after the server is killed and started again.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "audio/tests/monitor.h"
#include "bench/bench_common.h"

namespace {

using namespace std::chrono_literals;
using audio_test::Clock;
using audio_test::MonitorRecorder;

constexpr std::int64_t kRate = 44100;

double Median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// When each recorded frame arrived (per chunk), to find when a change reached the ear.
class Arrivals {
  public:
    MonitorRecorder::ChunkHook Hook() {
        return [this](const std::vector<std::int16_t>& rec, std::size_t, Clock::time_point at) {
            std::lock_guard lock(mutex_);
            chunks_.push_back({rec.size() / 2, at});
        };
    }
    // The arrival of the chunk holding frame `frame`.
    Clock::time_point At(std::size_t frame) {
        std::lock_guard lock(mutex_);
        for (const auto& c : chunks_)
            if (c.endFrame > frame) return c.at;
        return chunks_.empty() ? Clock::now() : chunks_.back().at;
    }

  private:
    struct Chunk {
        std::size_t endFrame;
        Clock::time_point at;
    };
    std::mutex mutex_;
    std::vector<Chunk> chunks_;
};

std::int64_t IndexAt(const std::vector<std::int16_t>& rec, std::size_t frame) {
    return audio_test::FrameIndex(rec[2 * frame], rec[2 * frame + 1]);
}

// Pause to silence and idle to first sound, each the median of several tries.
void KeyToSilence(const std::string& path, int tries) {
    std::vector<double> silence, sound;
    for (int i = 0; i < tries; ++i) {
        Arrivals arrivals;
        MonitorRecorder rec(arrivals.Hook());
        const audio::HSTREAM s = audio::OpenFileStream(false, path, 0, 0, audio::STREAM_PRESCAN);
        // Idle long enough for the card to be stopped, then the first sound.
        std::this_thread::sleep_for(1500ms);
        const auto played = Clock::now();
        audio::PlayStream(s, false);
        std::this_thread::sleep_for(600ms);
        const auto paused = Clock::now();
        audio::PauseStream(s);
        std::this_thread::sleep_for(300ms);
        const std::vector<std::int16_t> heard = rec.Stop();
        audio::FreeStream(s);
        const std::size_t frames = heard.size() / 2;
        std::size_t first = 0;
        while (first < frames && IndexAt(heard, first) < 0) ++first;
        // The last frame heard before the pause fell silent.
        std::size_t last = frames - 1;
        while (last > first && IndexAt(heard, last) < 0) --last;
        if (first >= frames) continue;
        sound.push_back(
            std::chrono::duration<double, std::milli>(arrivals.At(first) - played).count());
        silence.push_back(
            std::chrono::duration<double, std::milli>(arrivals.At(last + 1) - paused).count());
    }
    bench::Print("key_to_silence_ms", Median(silence), "ms");
    bench::Print("first_sound_after_idle_ms", Median(sound), "ms");
}

void HeardPositionError(const std::string& path, double seconds) {
    std::mutex mutex;
    std::vector<double> errors;
    std::atomic<audio::HSTREAM> watched{0};
    MonitorRecorder rec([&](const std::vector<std::int16_t>& r, std::size_t, Clock::time_point) {
        const audio::HSTREAM s = watched.load();
        if (s == 0 || r.size() < 2) return;
        const std::int64_t heard = audio_test::FrameIndex(r[r.size() - 2], r.back());
        if (heard < kRate / 10) return;
        const std::uint64_t pos = audio::StreamPosition(s, audio::POS_BYTE);
        if (pos == audio::BAD_POSITION || audio::StreamActivity(s) != audio::ACTIVE_PLAYING) return;
        std::lock_guard lock(mutex);
        errors.push_back(std::abs(static_cast<double>(pos / 4) - static_cast<double>(heard)) *
                         1000.0 / kRate);
    });
    const audio::HSTREAM s = audio::OpenFileStream(false, path, 0, 0, audio::STREAM_PRESCAN);
    watched = s;
    audio::PlayStream(s, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
    watched = 0;
    audio::StopStream(s);
    rec.Stop();
    audio::FreeStream(s);
    std::lock_guard lock(mutex);
    bench::Print("heard_position_error_ms", Median(errors), "ms");
}

void GapsUnderLoad(const std::string& dir, double seconds) {
    const std::string path = dir + "/load.wav";
    audio_test::WriteIndexWav(path, static_cast<std::int64_t>(seconds * kRate));
    // The sound still on its way from the measurement before (a stop is heard some 35 ms
    // later) must not be counted as this run's.
    std::this_thread::sleep_for(300ms);
    audio_test::BusyLoad load(2);
    MonitorRecorder rec;
    const audio::HSTREAM s = audio::OpenFileStream(false, path, 0, 0, audio::STREAM_PRESCAN);
    audio::PlayStream(s, false);
    const auto until =
        Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000) + 3000);
    while (audio::StreamActivity(s) == audio::ACTIVE_PLAYING && Clock::now() < until)
        std::this_thread::sleep_for(20ms);
    std::this_thread::sleep_for(300ms);
    const auto runs = audio_test::IndexRuns(rec.Stop());
    audio::FreeStream(s);
    double gaps = runs.empty() ? 1 : static_cast<double>(runs.size() - 1);
    if (!runs.empty() && (runs.front().first != 0 ||
                          runs.back().last != static_cast<std::int64_t>(seconds * kRate) - 1))
        gaps += 1;
    bench::Print("gaps_under_load", gaps, "gaps");
}

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Context switches of every thread of this process: each is a wake-up or a preemption.
long Switches() {
    long total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream status(task.path() / "status");
        std::string key;
        long value = 0;
        while (status >> key) {
            if (key == "voluntary_ctxt_switches:" || key == "nonvoluntary_ctxt_switches:") {
                status >> value;
                total += value;
            }
        }
    }
    return total;
}

void Idle(const std::string& path, double seconds) {
    // A recording opened, played a moment and paused: then nothing plays.
    const audio::HSTREAM s = audio::OpenFileStream(false, path, 0, 0, audio::STREAM_PRESCAN);
    audio::PlayStream(s, false);
    std::this_thread::sleep_for(300ms);
    audio::PauseStream(s);
    std::this_thread::sleep_for(1500ms);
    const double cpu0 = ProcessCpuSeconds();
    const long sw0 = Switches();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = ProcessCpuSeconds() - cpu0;
    // This thread's own sleep is one switch; the rest is the engine's.
    const long switches = Switches() - sw0 - 1;
    audio::FreeStream(s);
    bench::Print("idle_cpu_percent", cpu / wall * 100.0, "%");
    bench::Print("idle_wakeups_per_s", static_cast<double>(switches) / wall, "/s");
}

// The whole program's CPU while one recording plays through the sound server: mixing,
// the render thread's wake-ups and the sound library's own threads.
void Playing(const std::string& path, double seconds) {
    const audio::HSTREAM s = audio::OpenFileStream(false, path, 0, 0, audio::STREAM_PRESCAN);
    audio::PlayStream(s, false);
    std::this_thread::sleep_for(500ms);
    const double cpu0 = ProcessCpuSeconds();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = ProcessCpuSeconds() - cpu0;
    audio::FreeStream(s);
    bench::Print("playing_cpu_percent", cpu / wall * 100.0, "%");
}

void Reconnect(const std::string& path) {
    const audio::HSTREAM s = audio::OpenFileStream(false, path, 0, 0, audio::STREAM_PRESCAN);
    audio::PlayStream(s, false);
    std::this_thread::sleep_for(1000ms);
    if (!audio_test::KillSoundServer()) return;
    std::this_thread::sleep_for(1000ms);
    const std::uint64_t halted = audio::StreamPosition(s, audio::POS_BYTE);
    if (!audio_test::StartSoundServer()) return;
    const auto restarted = Clock::now();
    MonitorRecorder keeper;
    while (audio::StreamPosition(s, audio::POS_BYTE) == halted && Clock::now() - restarted < 10s)
        std::this_thread::sleep_for(5ms);
    bench::Print("reconnect_s", std::chrono::duration<double>(Clock::now() - restarted).count(),
                 "s");
    audio::FreeStream(s);
}

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    if (!audio_test::SoundServerAvailable()) {
        // Run again under a private sound server of our own; without one there are no
        // figures to give, which is no failure of the program.
        if (std::getenv("NUVTOLVEK_SOUND_BENCH_INNER")) return 0;
        setenv("NUVTOLVEK_SOUND_BENCH_INNER", "1", 1);
        std::string command = std::string("'") + NUVTOLVEK_SOURCE_DIR + "/scripts/with-pulse' '" +
                              argv[0] + "'" + (smoke ? " --smoke" : "");
        std::system(command.c_str());
        return 0;
    }
    if (!audio::OpenDevice(audio::DEVICE_DEFAULT, 44100, 0, nullptr, nullptr)) return 0;
    const std::filesystem::path dir = bench::CacheDir();
    const std::string path = (dir / "index-20s.wav").string();
    if (!std::filesystem::exists(path)) audio_test::WriteIndexWav(path, 20 * kRate);
    KeyToSilence(path, smoke ? 1 : 5);
    HeardPositionError(path, smoke ? 1.0 : 5.0);
    GapsUnderLoad(dir.string(), smoke ? 3.0 : 30.0);
    Playing(path, smoke ? 2.0 : 10.0);
    Idle(path, smoke ? 2.0 : 5.0);
    Reconnect(path);  // last: the server it leaves is stopped by scripts/with-pulse
    audio::CloseDevice();
    return 0;
}
