// Asking RealtimeKit, on a private bus standing in for the system bus: without the service
// the request is refused at once; with a stand-in service that grants it, the request names
// the calling thread and the priority, and the process's real-time CPU time is limited as
// RealtimeKit demands. Run in a child process: the limit and the bus address stay there.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "audio/realtime_kit.h"
#include "audio/tests/sound_files.h"

namespace {

struct DBusError {
    const char* name;
    const char* message;
    unsigned int flags;
    void* padding;
};
using Conn = void;
using Msg = void;

// The few libdbus calls a stand-in service needs, looked up like the engine does.
struct Bus {
    void* lib = dlopen("libdbus-1.so.3", RTLD_NOW);
    template <typename F>
    F Get(const char* name) {
        return lib ? reinterpret_cast<F>(dlsym(lib, name)) : nullptr;
    }
};

// Answers MakeThreadRealtime on the bus at `address` until `stop`, recording what it got.
void ServeRealtimeKit(const std::string& address, std::atomic<bool>& ready, std::atomic<bool>& stop,
                      std::uint64_t& thread, std::uint32_t& priority) {
    Bus bus;
    auto errorInit = bus.Get<void (*)(DBusError*)>("dbus_error_init");
    auto open = bus.Get<Conn* (*)(const char*, DBusError*)>("dbus_connection_open_private");
    auto registerOn = bus.Get<unsigned (*)(Conn*, DBusError*)>("dbus_bus_register");
    auto requestName =
        bus.Get<int (*)(Conn*, const char*, unsigned, DBusError*)>("dbus_bus_request_name");
    auto readWrite = bus.Get<unsigned (*)(Conn*, int)>("dbus_connection_read_write");
    auto pop = bus.Get<Msg* (*)(Conn*)>("dbus_connection_pop_message");
    auto isCall =
        bus.Get<unsigned (*)(Msg*, const char*, const char*)>("dbus_message_is_method_call");
    auto getArgs = bus.Get<unsigned (*)(Msg*, DBusError*, int, ...)>("dbus_message_get_args");
    auto newReturn = bus.Get<Msg* (*)(Msg*)>("dbus_message_new_method_return");
    auto send = bus.Get<unsigned (*)(Conn*, Msg*, std::uint32_t*)>("dbus_connection_send");
    auto flush = bus.Get<void (*)(Conn*)>("dbus_connection_flush");
    auto unref = bus.Get<void (*)(Msg*)>("dbus_message_unref");
    auto close = bus.Get<void (*)(Conn*)>("dbus_connection_close");
    DBusError error;
    errorInit(&error);
    Conn* conn = open(address.c_str(), &error);
    if (!conn || !registerOn(conn, &error) ||
        requestName(conn, "org.freedesktop.RealtimeKit1", 0, &error) != 1)
        return;
    ready = true;
    while (!stop) {
        readWrite(conn, 20);
        while (Msg* m = pop(conn)) {
            if (isCall(m, "org.freedesktop.RealtimeKit1", "MakeThreadRealtime") &&
                getArgs(m, &error, 't', &thread, 'u', &priority, 0)) {
                Msg* reply = newReturn(m);
                send(conn, reply, nullptr);
                flush(conn);
                unref(reply);
            }
            unref(m);
        }
    }
    close(conn);
}

// The scenario, in the child; each failed step exits with its own code.
[[noreturn]] void AskOnAPrivateBus(const std::string& socket) {
    const std::string address = "unix:path=" + socket;
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    const auto tid = static_cast<pid_t>(syscall(SYS_gettid));
    if (audio::AskRealtimeKit(0, 5) || audio::AskRealtimeKit(tid, 0)) _exit(10);
    const auto t0 = std::chrono::steady_clock::now();
    if (audio::AskRealtimeKit(tid, 5, 2000)) _exit(11);  // no service on the bus
    if (std::chrono::steady_clock::now() - t0 > std::chrono::milliseconds(500)) _exit(12);
    std::atomic<bool> ready{false}, stop{false};
    std::uint64_t thread = 0;
    std::uint32_t priority = 0;
    std::thread service(ServeRealtimeKit, address, std::ref(ready), std::ref(stop),
                        std::ref(thread), std::ref(priority));
    for (int i = 0; i < 200 && !ready; ++i) usleep(10'000);
    const bool granted = ready && audio::AskRealtimeKit(tid, 7, 2000);
    stop = true;
    service.join();
    if (!granted) _exit(13);
    if (thread != static_cast<std::uint64_t>(tid) || priority != 7) _exit(14);
    rlimit limit{};
    getrlimit(RLIMIT_RTTIME, &limit);
    if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > 200'000) _exit(15);
    _exit(0);
}

TEST(RealtimeKit, RefusedWithoutTheServiceAndAskedForThisThreadWithIt) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "threads started after fork, which ThreadSanitizer does not follow";
#endif
    audio_test::TempFolder dir;
    const std::string socket = dir.Path("bus");
    const pid_t daemon = fork();
    ASSERT_GE(daemon, 0);
    if (daemon == 0) {
        const std::string address = "--address=unix:path=" + socket;
        if (!freopen("/dev/null", "w", stderr)) _exit(127);
        execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile",
               address.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 100 && access(socket.c_str(), F_OK) != 0; ++i) usleep(20'000);
    const bool started = access(socket.c_str(), F_OK) == 0;
    int status = -1;
    if (started) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) AskOnAPrivateBus(socket);
        waitpid(child, &status, 0);
    }
    kill(daemon, SIGTERM);
    waitpid(daemon, nullptr, 0);
    if (!started) GTEST_SKIP() << "dbus-daemon did not start";
    // 10 nonsense asked, 11 granted without a service, 12 slow refusal, 13 not granted by
    // the service, 14 a wrong thread or priority asked for, 15 no real-time CPU limit.
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
