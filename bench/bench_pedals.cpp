// Foot pedals: from a report written to the device's descriptor to the command running on
// the user-interface thread (pedal_to_command_ms, the median of presses and releases), through
// the same reader, socket notifier and pedal actions as the program. The device is a packet
// socket pair standing in for hidraw, found in a sysfs tree of the benchmark's own.
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
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
    ::close(writer);
    return 0;
}
