// Foot pedals: from a report written to the device's descriptor to the command running on
// the user-interface thread (pedal_to_command_ms, the median of presses and releases), through
// the same reader, socket notifier and pedal actions as the program. The device is a packet
// socket pair standing in for hidraw, found in a sysfs tree of the benchmark's own.
// pedal_to_sound_ms: the middle pedal plays a paused stream; from the report to the first
// frame of that stream in the mix of the manual output, which a thread of its own renders in
// real time, 128 frames (2.9 ms) at a time, as a sound card asks for them.
#include <sndfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

#include "bench/bench_common.h"
#include "bench/bench_timing.h"
#include "input/pedal_manager.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const fs::path hid = root / "sys" / "devices" / "0003:05F3:00FF.0001";
    fs::create_directories(hid);
    fs::create_directories(root / "sys" / "class" / "hidraw" / "hidraw0");
    fs::create_directory_symlink(hid, root / "sys" / "class" / "hidraw" / "hidraw0" / "device");

    int writer = -1;
    input::PedalManager::Environment env;
    env.sysRoot = root / "sys";
    env.devRoot = root / "dev";
    env.open = [&](const input::DeviceNode&) {
        int fds[2];
        input::OpenedNode out;
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds) != 0) return out;
        writer = fds[1];
        out.fd = input::UniqueFd(fds[0]);
        return out;
    };

    std::atomic<Clock::time_point::rep> sentAt{0};
    std::vector<double> delays;
    QEventLoop* waiting = nullptr;
    auto ran = [&](const std::string&) {
        const auto now = Clock::now().time_since_epoch().count();
        delays.push_back((now - sentAt.load()) / 1e6);
        if (waiting) waiting->quit();
    };
    input::PedalActions actions({ran, ran});
    input::PedalManager manager(std::move(env), &actions);
    manager.Rescan();
    if (writer < 0) {
        std::fprintf(stderr, "bench_pedals: the pedal did not open\n");
        return 1;
    }

    const int rounds = smoke ? 20 : 400;
    std::mt19937 random(7);
    for (int i = 0; i < rounds; ++i) {
        const std::uint8_t report = i % 2 == 0 ? 0x02 : 0x00;  // middle pedal down, up
        const auto pause = std::chrono::microseconds(1000 + random() % 3000);
        std::thread foot([&] {
            std::this_thread::sleep_for(pause);
            sentAt = Clock::now().time_since_epoch().count();
            (void)::send(writer, &report, 1, 0);
        });
        QEventLoop loop;
        waiting = &loop;
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        const std::size_t before = delays.size();
        loop.exec();
        waiting = nullptr;
        foot.join();
        if (delays.size() == before) {
            std::fprintf(stderr, "bench_pedals: a pedal report ran no command\n");
            return 1;
        }
    }
    bench::Print("pedal_to_command_ms", bench::Median(delays), "ms");

    // ---- to the sound
    const std::string tone = (root / "tone.wav").string();
    {
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* file = sf_open(tone.c_str(), SFM_WRITE, &info);
        std::vector<float> frames(2 * 44100 * 30, 0.25f);
        sf_writef_float(file, frames.data(), 44100 * 30);
        sf_close(file);
    }
    if (!audio::OpenManualOutput(44100)) return 1;
    const audio::HSTREAM stream = audio::OpenFileStream(false, tone, 0, 0, 0);
    if (stream == 0) return 1;
    std::atomic<bool> playing{false}, stop{false};
    std::atomic<Clock::time_point::rep> heardAt{0};
    std::thread card([&] {
        std::vector<float> mix;
        auto next = Clock::now();
        while (!stop) {
            mix.clear();
            audio::AdvanceManualOutput(128, &mix);
            if (heardAt.load() == 0 &&
                std::any_of(mix.begin(), mix.end(), [](float v) { return v != 0.0f; }))
                heardAt = Clock::now().time_since_epoch().count();
            next += std::chrono::microseconds(2902);
            std::this_thread::sleep_until(next);
        }
    });
    std::vector<double> heard;
    input::PedalActions player({[&](const std::string&) { audio::PlayStream(stream, false); },
                                [&](const std::string&) { audio::PauseStream(stream); }});
    // The same device now drives the player: the middle pedal plays while it is held.
    actions.SetBindings({});
    QObject::connect(&manager, &input::PedalManager::PedalChanged,
                     [&](const QString& device, int pedal, bool down) {
                         player.OnPedal(device.toStdString(), pedal, down);
                     });
    const int sounds = smoke ? 5 : 60;
    for (int i = 0; i < sounds; ++i) {
        heardAt = 0;
        std::this_thread::sleep_for(std::chrono::microseconds(3000 + random() % 3000));
        const std::uint8_t down = 0x02, up = 0x00;
        const auto sent = Clock::now();
        (void)::send(writer, &down, 1, 0);
        QElapsedTimer timer;
        timer.start();
        while (heardAt.load() == 0 && timer.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (heardAt.load() == 0) {
            std::fprintf(stderr, "bench_pedals: the pedal played nothing\n");
            return 1;
        }
        heard.push_back((heardAt.load() - sent.time_since_epoch().count()) / 1e6);
        (void)::send(writer, &up, 1, 0);
        timer.restart();
        while (audio::StreamActivity(stream) == audio::ACTIVE_PLAYING && timer.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));  // the pause is rendered
    }
    stop = true;
    card.join();
    bench::Print("pedal_to_sound_ms", bench::Median(heard), "ms");
    audio::CloseDevice();
    ::close(writer);
    return 0;
}
