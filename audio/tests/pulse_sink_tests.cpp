// The sound server's sink where no server answers: the opening gives up promptly, so that
// the sound card is tried next and the program is not held up at start.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "audio/output.h"
#include "audio/tests/sound_files.h"

namespace {

// Points the client library at `server` for the life of the object.
class ServerAddress {
  public:
    explicit ServerAddress(const std::string& server) {
        if (const char* old = std::getenv("PULSE_SERVER")) old_ = old;
        setenv("PULSE_SERVER", server.c_str(), 1);
    }
    ~ServerAddress() {
        if (old_)
            setenv("PULSE_SERVER", old_->c_str(), 1);
        else
            unsetenv("PULSE_SERVER");
    }
    ServerAddress(const ServerAddress&) = delete;
    ServerAddress& operator=(const ServerAddress&) = delete;

  private:
    std::optional<std::string> old_;
};

// A socket that takes connections into its backlog and never says a word.
int SilentListener(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof(addr.sun_path) - 1);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        listen(fd, 4) != 0) {
        if (fd >= 0) close(fd);
        return -1;
    }
    return fd;
}

TEST(PulseSink, NoServerAnsweringGivesNoSinkPromptly) {
    audio_test::TempFolder dir;
    const std::string silent = dir.Path("silent");
    const int listener = SilentListener(silent);
    ASSERT_GE(listener, 0);
    const struct {
        const char* what;
        std::string server;
        std::chrono::milliseconds within;
    } rows[] = {
        {"no socket", "unix:" + dir.Path("absent"), std::chrono::milliseconds(1000)},
        {"nothing listening", "tcp:127.0.0.1:1", std::chrono::milliseconds(1000)},
        {"a server that never answers", "unix:" + silent, std::chrono::milliseconds(3000)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ServerAddress address(row.server);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(audio::OpenPulseSink(44100), nullptr);
        EXPECT_LT(std::chrono::steady_clock::now() - start, row.within);
    }
    close(listener);
}

}  // namespace
