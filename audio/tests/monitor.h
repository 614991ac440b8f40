// Listening to a real sound server: the sound the engine plays through the default device
// is read back from the private null sink's monitor (scripts/with-pulse), so tests and
// benchmarks can see what was heard, when, and whether anything was lost.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace audio_test {

using Clock = std::chrono::steady_clock;

// True when a private sound server is there to play to (PULSE_SERVER set and the
// environment not forcing the null output).
bool SoundServerAvailable();

// The frame-index signal: every frame carries its own index, so gaps, repeats and seek
// targets in a recording are exact to count. 16-bit stereo at 44 100 Hz.
bool WriteIndexWav(const std::string& path, std::int64_t frames);
// The index a recorded frame carries; -1 for silence or anything else.
std::int64_t FrameIndex(std::int16_t left, std::int16_t right);

// Records the null sink's monitor as raw 16-bit stereo through `parec`, read on a thread
// of its own in small chunks. `onChunk` (optional) runs on that thread as each chunk
// arrives, with the recorded frames so far.
class MonitorRecorder {
  public:
    using ChunkHook = std::function<void(const std::vector<std::int16_t>& recorded,
                                         std::size_t firstNew, Clock::time_point arrived)>;
    explicit MonitorRecorder(ChunkHook onChunk = {});
    ~MonitorRecorder();
    MonitorRecorder(const MonitorRecorder&) = delete;
    MonitorRecorder& operator=(const MonitorRecorder&) = delete;

    bool Running() const { return pid_ > 0; }
    // Ends the recording; returns every frame recorded (interleaved left, right).
    std::vector<std::int16_t> Stop();

  private:
    void Read();

    pid_t pid_ = -1;
    int fd_ = -1;
    ChunkHook onChunk_;
    std::mutex mutex_;
    std::vector<std::int16_t> samples_;
    std::thread reader_;
};

// Contiguous stretches of the index signal in a recording: [first, last] indices.
struct IndexRun {
    std::int64_t first = 0;
    std::int64_t last = 0;
};
std::vector<IndexRun> IndexRuns(const std::vector<std::int16_t>& recorded);

// Two (or `count`) processes that keep the cores busy until the object goes.
class BusyLoad {
  public:
    explicit BusyLoad(int count = 2);
    ~BusyLoad();
    BusyLoad(const BusyLoad&) = delete;
    BusyLoad& operator=(const BusyLoad&) = delete;

  private:
    std::vector<pid_t> pids_;
};

// The private server of scripts/with-pulse: killed, and started again (the new one's id
// goes into the pid file, so the script stops it at the end).
bool KillSoundServer();
bool StartSoundServer();

}  // namespace audio_test
