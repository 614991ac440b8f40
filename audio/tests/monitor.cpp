#include "audio/tests/monitor.h"

#include <fcntl.h>
#include <signal.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

extern char** environ;

namespace audio_test {
namespace {

constexpr std::int64_t kLowSpan = 32767;

pid_t Spawn(const std::vector<std::string>& args, int stdoutFd, int stderrFd = -1) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    if (stderrFd >= 0) posix_spawn_file_actions_adddup2(&actions, stderrFd, STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

std::string ServerDir() {
    const char* dir = std::getenv("NUVTOLVEK_PULSE_DIR");
    return dir ? dir : "";
}

}  // namespace

bool SoundServerAvailable() {
    const char* server = std::getenv("PULSE_SERVER");
    const char* mode = std::getenv("NUVTOLVEK_AUDIO");
    return server && *server && !(mode && std::strcmp(mode, "null") == 0);
}

bool WriteIndexWav(const std::string& path, std::int64_t frames) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    std::vector<short> block(2 * 4096);
    for (std::int64_t at = 0; at < frames; at += 4096) {
        const std::int64_t n = std::min<std::int64_t>(4096, frames - at);
        for (std::int64_t i = 0; i < n; ++i) {
            const std::int64_t index = at + i;
            block[2 * i] = static_cast<short>(index % kLowSpan + 1);
            block[2 * i + 1] = static_cast<short>(-(index / kLowSpan % kLowSpan) - 1);
        }
        sf_writef_short(f, block.data(), n);
    }
    return sf_close(f) == 0;
}

std::int64_t FrameIndex(std::int16_t left, std::int16_t right) {
    if (left <= 0 || right >= 0) return -1;
    return (static_cast<std::int64_t>(-right) - 1) * kLowSpan + (left - 1);
}

MonitorRecorder::MonitorRecorder(ChunkHook onChunk) : onChunk_(std::move(onChunk)) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return;
    pid_ = Spawn({"parec", "--raw", "--format=s16le", "--rate=44100", "--channels=2",
                  "--latency-msec=2", "-d", "nullsink.monitor"},
                 pipeFds[1]);
    close(pipeFds[1]);
    fd_ = pipeFds[0];
    if (pid_ <= 0) {
        close(fd_);
        fd_ = -1;
        return;
    }
    reader_ = std::thread([this] { Read(); });
    // parec takes its time to start on a busy machine: what is played before it listens
    // would be missing from the recording.
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < until) {
        {
            std::lock_guard lock(mutex_);
            if (samples_.size() >= 2 * 441) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

MonitorRecorder::~MonitorRecorder() {
    Stop();
}

void MonitorRecorder::Read() {
    std::vector<unsigned char> bytes(4096);
    std::vector<unsigned char> partial;
    for (;;) {
        const ssize_t n = read(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        const Clock::time_point arrived = Clock::now();
        partial.insert(partial.end(), bytes.begin(), bytes.begin() + n);
        const std::size_t whole = partial.size() / 4 * 4;
        std::lock_guard lock(mutex_);
        const std::size_t firstNew = samples_.size();
        for (std::size_t i = 0; i < whole; i += 2) {
            std::int16_t v;
            std::memcpy(&v, partial.data() + i, 2);
            samples_.push_back(v);
        }
        partial.erase(partial.begin(), partial.begin() + static_cast<std::ptrdiff_t>(whole));
        if (onChunk_ && whole > 0) onChunk_(samples_, firstNew, arrived);
    }
}

std::vector<std::int16_t> MonitorRecorder::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    if (reader_.joinable()) reader_.join();
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    std::lock_guard lock(mutex_);
    return samples_;
}

std::vector<IndexRun> IndexRuns(const std::vector<std::int16_t>& recorded) {
    std::vector<IndexRun> runs;
    bool open = false;
    for (std::size_t i = 0; i + 1 < recorded.size(); i += 2) {
        const std::int64_t index = FrameIndex(recorded[i], recorded[i + 1]);
        if (index < 0) {
            open = false;
            continue;
        }
        if (open && index == runs.back().last + 1) {
            runs.back().last = index;
        } else {
            runs.push_back({index, index});
            open = true;
        }
    }
    return runs;
}

BusyLoad::BusyLoad(int count) {
    for (int i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            volatile unsigned long spin = 0;
            for (;;) spin = spin + 1;
        }
        if (pid > 0) pids_.push_back(pid);
    }
}

BusyLoad::~BusyLoad() {
    for (pid_t pid : pids_) kill(pid, SIGKILL);
    for (pid_t pid : pids_) waitpid(pid, nullptr, 0);
}

bool KillSoundServer() {
    std::ifstream in(ServerDir() + "/pid");
    pid_t pid = 0;
    if (!(in >> pid) || pid <= 0) return false;
    if (kill(pid, SIGKILL) != 0) return false;
    // Gone for good before anyone looks for it again.
    for (int i = 0; i < 200 && kill(pid, 0) == 0; ++i) {
        waitpid(pid, nullptr, WNOHANG);  // one we started ourselves is our child
        usleep(10000);
    }
    return true;
}

bool StartSoundServer() {
    const std::string dir = ServerDir();
    if (dir.empty()) return false;
    unlink((dir + "/native").c_str());
    // Not on our output: a runner (ctest) waits for every holder of that pipe to close
    // it, and the server outlives this process until scripts/with-pulse stops it.
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = Spawn({dir + "/start"}, devNull, devNull);
    if (devNull >= 0) close(devNull);
    if (pid <= 0) return false;
    std::ofstream(dir + "/pid") << pid << "\n";
    for (int i = 0; i < 100; ++i) {
        if (std::system("pactl info >/dev/null 2>&1") == 0) return true;
        usleep(50000);
    }
    return false;
}

}  // namespace audio_test
