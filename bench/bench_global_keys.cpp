// Global keys: from a key press entering the X server (an XTEST fake key, as a keyboard's would)
// to the command running on the user-interface thread while another window has the focus
// (global_key_to_command_ms, the median of presses and releases). Without an X display the
// program runs itself again under xvfb-run.
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "bench/bench_common.h"
#include "bench/bench_timing.h"
#include "input/x11_global_keys.h"

using Clock = std::chrono::steady_clock;

namespace {

xcb_extension_t xtestExtension = {"XTEST", 0};

// The XTEST FakeInput request, sent as the extension's own client library would.
struct FakeInputRequest {
    std::uint8_t major, minor;
    std::uint16_t length;
    std::uint8_t type, detail;
    std::uint8_t pad0[2];
    std::uint32_t time, root;
    std::uint8_t pad1[8];
    std::int16_t rootX, rootY;
    std::uint8_t pad2[7];
    std::uint8_t device;
};
static_assert(sizeof(FakeInputRequest) == 36);

void FakeKey(xcb_connection_t* c, std::uint8_t keycode, bool press) {
    static const xcb_protocol_request_t request = {2, &xtestExtension, 2, 1};
    FakeInputRequest out{};
    out.type = press ? XCB_KEY_PRESS : XCB_KEY_RELEASE;
    out.detail = keycode;
    struct iovec parts[4];
    parts[2].iov_base = &out;
    parts[2].iov_len = sizeof out;
    parts[3].iov_base = nullptr;
    parts[3].iov_len = 0;
    xcb_send_request(c, 0, parts + 2, &request);
    xcb_flush(c);
}

std::uint8_t KeycodeOf(xcb_connection_t* c, xcb_keysym_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    auto* mapping = xcb_get_keyboard_mapping_reply(
        c,
        xcb_get_keyboard_mapping(c, setup->min_keycode,
                                 setup->max_keycode - setup->min_keycode + 1),
        nullptr);
    std::uint8_t found = 0;
    if (mapping) {
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping);
        for (int code = setup->min_keycode; code <= setup->max_keycode && !found; ++code)
            for (int i = 0; i < mapping->keysyms_per_keycode; ++i)
                if (syms[(code - setup->min_keycode) * mapping->keysyms_per_keycode + i] == keysym)
                    found = static_cast<std::uint8_t>(code);
        std::free(mapping);
    }
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY") && !std::getenv("NUVTOLVEK_BENCH_XVFB")) {
        setenv("NUVTOLVEK_BENCH_XVFB", "1", 1);
        std::vector<char*> args = {const_cast<char*>("xvfb-run"), const_cast<char*>("-a"),
                                   const_cast<char*>("-s"),
                                   const_cast<char*>("-screen 0 640x480x24 -noreset")};
        for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
        args.push_back(nullptr);
        execvp("xvfb-run", args.data());
        std::fprintf(stderr, "bench_global_keys: no X display and no xvfb-run\n");
        return 1;
    }
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    QCoreApplication app(argc, argv);
    input::X11GlobalKeys keys;
    if (!keys.Available()) {
        std::fprintf(stderr, "bench_global_keys: no X server\n");
        return 1;
    }
    // Another window has the focus, as the word processor would.
    xcb_connection_t* keyboard = xcb_connect(nullptr, nullptr);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(keyboard)).data;
    const xcb_window_t other = xcb_generate_id(keyboard);
    xcb_create_window(keyboard, XCB_COPY_FROM_PARENT, other, screen->root, 0, 0, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(keyboard, other);
    xcb_set_input_focus(keyboard, XCB_INPUT_FOCUS_POINTER_ROOT, other, XCB_CURRENT_TIME);
    auto* xtest = xcb_get_extension_data(keyboard, &xtestExtension);
    if (!xtest || !xtest->present) {
        std::fprintf(stderr, "bench_global_keys: the X server has no XTEST\n");
        return 1;
    }
    const std::uint8_t f9 = KeycodeOf(keyboard, 0xffc6);  // XK_F9
    if (f9 == 0 || !keys.Bind(QStringLiteral("player.pause"), Qt::Key_F9).ok) {
        std::fprintf(stderr, "bench_global_keys: F9 could not be grabbed\n");
        return 1;
    }
    std::atomic<Clock::time_point::rep> sentAt{0};
    std::vector<double> delays;
    bool ran = false;
    auto record = [&](const QString&) {
        delays.push_back((Clock::now().time_since_epoch().count() - sentAt.load()) / 1e6);
        ran = true;
    };
    QObject::connect(&keys, &input::GlobalKeys::Pressed, record);
    QObject::connect(&keys, &input::GlobalKeys::Released, record);

    std::mt19937 random(3);
    const int rounds = smoke ? 10 : 200;
    for (int i = 0; i < rounds; ++i) {
        ran = false;
        const bool press = i % 2 == 0;
        const auto pause = std::chrono::microseconds(2000 + random() % 3000);
        std::thread finger([&] {
            std::this_thread::sleep_for(pause);
            sentAt = Clock::now().time_since_epoch().count();
            FakeKey(keyboard, f9, press);
        });
        QElapsedTimer timer;
        timer.start();
        while (!ran && timer.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        finger.join();
        if (!ran) {
            std::fprintf(stderr, "bench_global_keys: the key ran no command\n");
            return 1;
        }
    }
    bench::Print("global_key_to_command_ms", bench::Median(delays), "ms");
    xcb_disconnect(keyboard);
    return 0;
}
