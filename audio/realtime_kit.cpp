// The request is four libdbus calls; their few types are declared here, as libdbus's
// ABI has them, so that no header or link-time dependency is needed.
#include "audio/realtime_kit.h"

#include <dlfcn.h>
#include <sys/resource.h>

#include <cstdint>
#include <mutex>

namespace audio {
namespace {

struct DBusConnection;
struct DBusMessage;
// libdbus's DBusError: two strings, a word of flags and a spare pointer.
struct DBusError {
    const char* name;
    const char* message;
    unsigned int flags;
    void* padding;
};

constexpr int kBusSystem = 1;
constexpr int kTypeInvalid = 0;
constexpr int kTypeUint32 = 'u';
constexpr int kTypeUint64 = 't';
// RealtimeKit's own default ceiling for RLIMIT_RTTIME: 200 ms of CPU without sleeping.
constexpr rlim_t kRealtimeCpuUs = 200'000;

struct DBusApi {
    void (*errorInit)(DBusError*);
    void (*errorFree)(DBusError*);
    DBusConnection* (*busGetPrivate)(int, DBusError*);
    void (*setExitOnDisconnect)(DBusConnection*, std::uint32_t);
    void (*connectionClose)(DBusConnection*);
    void (*connectionUnref)(DBusConnection*);
    DBusMessage* (*newMethodCall)(const char*, const char*, const char*, const char*);
    std::uint32_t (*appendArgs)(DBusMessage*, int, ...);
    DBusMessage* (*sendWithReplyAndBlock)(DBusConnection*, DBusMessage*, int, DBusError*);
    void (*messageUnref)(DBusMessage*);
};

template <typename F>
bool Load(void* lib, const char* name, F& fn) {
    fn = reinterpret_cast<F>(dlsym(lib, name));
    return fn != nullptr;
}

const DBusApi* Api() {
    static DBusApi api{};
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] {
        void* lib = dlopen("libdbus-1.so.3", RTLD_NOW | RTLD_LOCAL);
        if (!lib) return;
        loaded =
            Load(lib, "dbus_error_init", api.errorInit) &&
            Load(lib, "dbus_error_free", api.errorFree) &&
            Load(lib, "dbus_bus_get_private", api.busGetPrivate) &&
            Load(lib, "dbus_connection_set_exit_on_disconnect", api.setExitOnDisconnect) &&
            Load(lib, "dbus_connection_close", api.connectionClose) &&
            Load(lib, "dbus_connection_unref", api.connectionUnref) &&
            Load(lib, "dbus_message_new_method_call", api.newMethodCall) &&
            Load(lib, "dbus_message_append_args", api.appendArgs) &&
            Load(lib, "dbus_connection_send_with_reply_and_block", api.sendWithReplyAndBlock) &&
            Load(lib, "dbus_message_unref", api.messageUnref);
    });
    return loaded ? &api : nullptr;
}

// RealtimeKit refuses a process that could hog the CPU at real-time priority forever.
void LimitRealtimeCpu() {
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) == 0 && limit.rlim_max != RLIM_INFINITY &&
        limit.rlim_max <= kRealtimeCpuUs)
        return;
    limit.rlim_cur = limit.rlim_max = kRealtimeCpuUs;
    setrlimit(RLIMIT_RTTIME, &limit);
}

}  // namespace

bool AskRealtimeKit(pid_t tid, int priority, int timeoutMs) {
    const DBusApi* api = Api();
    if (!api || tid <= 0 || priority <= 0) return false;
    DBusError error;
    api->errorInit(&error);
    DBusConnection* bus = api->busGetPrivate(kBusSystem, &error);
    if (!bus) {
        api->errorFree(&error);
        return false;
    }
    api->setExitOnDisconnect(bus, 0);
    bool granted = false;
    if (DBusMessage* call =
            api->newMethodCall("org.freedesktop.RealtimeKit1", "/org/freedesktop/RealtimeKit1",
                               "org.freedesktop.RealtimeKit1", "MakeThreadRealtime")) {
        std::uint64_t thread = static_cast<std::uint64_t>(tid);
        std::uint32_t level = static_cast<std::uint32_t>(priority);
        if (api->appendArgs(call, kTypeUint64, &thread, kTypeUint32, &level, kTypeInvalid)) {
            LimitRealtimeCpu();
            if (DBusMessage* reply = api->sendWithReplyAndBlock(bus, call, timeoutMs, &error)) {
                granted = true;
                api->messageUnref(reply);
            }
        }
        api->messageUnref(call);
    }
    api->errorFree(&error);
    api->connectionClose(bus);
    api->connectionUnref(bus);
    return granted;
}

}  // namespace audio
