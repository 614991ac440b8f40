// Asking RealtimeKit where there is none: a bus without the service answers at once with
// a refusal, and nothing is printed or waited for.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/realtime_kit.h"
#include "audio/tests/sound_files.h"

namespace {

TEST(RealtimeKit, RefusedQuicklyWhereTheBusHasNoRealtimeKit) {
    audio_test::TempFolder dir;
    const std::string socket = dir.Path("bus");
    // A private bus of its own, standing in for a system bus without RealtimeKit.
    const pid_t daemon = fork();
    ASSERT_GE(daemon, 0);
    if (daemon == 0) {
        const std::string address = "--address=unix:path=" + socket;
        freopen("/dev/null", "w", stderr);
        execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile",
               address.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 100 && access(socket.c_str(), F_OK) != 0; ++i) usleep(20'000);
    if (access(socket.c_str(), F_OK) != 0) {
        kill(daemon, SIGTERM);
        waitpid(daemon, nullptr, 0);
        GTEST_SKIP() << "dbus-daemon did not start";
    }
    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + socket).c_str(), 1);
    const auto t0 = std::chrono::steady_clock::now();
    const bool granted = audio::AskRealtimeKit(static_cast<pid_t>(syscall(SYS_gettid)), 5, 2000);
    const auto took = std::chrono::steady_clock::now() - t0;
    kill(daemon, SIGTERM);
    waitpid(daemon, nullptr, 0);
    EXPECT_FALSE(granted);
    EXPECT_LT(took, std::chrono::milliseconds(500)) << "waited for an answer that cannot come";
    // Nonsense is refused before any bus is asked.
    EXPECT_FALSE(audio::AskRealtimeKit(0, 5));
    EXPECT_FALSE(audio::AskRealtimeKit(static_cast<pid_t>(syscall(SYS_gettid)), 0));
}

}  // namespace
