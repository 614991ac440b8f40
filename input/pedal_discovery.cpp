#include "input/pedal_discovery.h"

#include <fcntl.h>
#include <libudev.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace input {
namespace fs = std::filesystem;
namespace {

std::string ReadLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string UeventValue(const fs::path& file, const std::string& key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return {};
}

fs::path Resolve(const fs::path& link) {
    std::error_code ec;
    fs::path p = fs::canonical(link, ec);
    return ec ? fs::path() : p;
}

std::vector<std::string> Entries(const fs::path& dir, const std::string& prefix) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0) out.push_back(name);
    }
    return out;
}

bool Hex16(const std::string& text, std::uint16_t& value) {
    if (text.empty() || text.size() > 8) return false;
    unsigned long v = 0;
    for (char c : text) {
        const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                                  : -1;
        if (d < 0) return false;
        v = v * 16 + static_cast<unsigned long>(d);
    }
    if (v > 0xffff) return false;
    value = static_cast<std::uint16_t>(v);
    return true;
}

}  // namespace

bool ParseHidId(const std::string& text, std::uint16_t& vendor, std::uint16_t& product) {
    const std::string id = text.substr(0, text.find('.'));
    const auto first = id.find(':');
    const auto second = first == std::string::npos ? first : id.find(':', first + 1);
    if (second == std::string::npos || id.find(':', second + 1) != std::string::npos) return false;
    return Hex16(id.substr(first + 1, second - first - 1), vendor) &&
           Hex16(id.substr(second + 1), product);
}

std::vector<DeviceNode> FindPedalNodes(const fs::path& sysRoot, const fs::path& devRoot) {
    std::vector<DeviceNode> nodes;
    auto add = [&](DeviceNode node, const fs::path& hid) {
        node.hidDevice = hid.filename().string();
        if (!ParseHidId(node.hidDevice, node.vendor, node.product)) return;
        node.model = FindPedalModel(node.vendor, node.product);
        if (!node.model) return;
        const bool wantsRaw = node.model->kind == PedalKind::RawReports;
        if (node.hidraw != wantsRaw) return;
        if (node.name.empty()) node.name = node.model->name;
        nodes.push_back(std::move(node));
    };
    for (const auto& sysname : Entries(sysRoot / "class" / "hidraw", "hidraw")) {
        const fs::path hid = Resolve(sysRoot / "class" / "hidraw" / sysname / "device");
        if (hid.empty()) continue;
        DeviceNode node;
        node.sysname = sysname;
        node.node = devRoot / sysname;
        node.hidraw = true;
        node.name = UeventValue(hid / "uevent", "HID_NAME");
        add(std::move(node), hid);
    }
    for (const auto& sysname : Entries(sysRoot / "class" / "input", "event")) {
        const fs::path inputDevice = Resolve(sysRoot / "class" / "input" / sysname / "device");
        if (inputDevice.empty()) continue;
        const fs::path hid = Resolve(inputDevice / "device");
        if (hid.empty()) continue;
        DeviceNode node;
        node.sysname = sysname;
        node.node = devRoot / "input" / sysname;
        node.name = ReadLine(inputDevice / "name");
        add(std::move(node), hid);
    }
    std::sort(nodes.begin(), nodes.end(),
              [](const DeviceNode& a, const DeviceNode& b) { return a.node < b.node; });
    return nodes;
}

OpenedNode OpenDeviceNode(const fs::path& node) {
    OpenedNode out;
    auto refuse = [&](int error, std::string problem, std::string fix) {
        out.error = error;
        out.problem = std::move(problem);
        out.fix = std::move(fix);
        return std::move(out);
    };
    const int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            return refuse(error, "нет доступа к " + node.string(),
                          "Установите правило udev для педалей (см. раздел «Педаль» "
                          "справки) и подключите педаль заново.");
        if (error == ENOENT || error == ENODEV || error == ENXIO)
            return refuse(error, "устройство отключено", "Подключите педаль заново.");
        return refuse(error, node.string() + ": " + std::strerror(error),
                      "Подключите педаль заново.");
    }
    UniqueFd owned(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return refuse(ENODEV, node.string() + " — не устройство",
                      "Удалите этот файл и подключите педаль заново.");
    out.fd = std::move(owned);
    return out;
}

namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};

class UdevMonitor : public HotplugMonitor {
  public:
    bool Start() {
        udev_.reset(udev_new());
        if (!udev_) return false;
        monitor_.reset(udev_monitor_new_from_netlink(udev_.get(), "udev"));
        if (!monitor_) return false;
        udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), "hidraw", nullptr);
        udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), "input", nullptr);
        if (udev_monitor_enable_receiving(monitor_.get()) < 0) return false;
        const int fd = udev_monitor_get_fd(monitor_.get());
        const int flags = ::fcntl(fd, F_GETFL);
        if (fd < 0 || flags < 0) return false;
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        return true;
    }
    int Fd() const override { return monitor_ ? udev_monitor_get_fd(monitor_.get()) : -1; }
    std::vector<HotplugEvent> Receive() override {
        std::vector<HotplugEvent> events;
        for (int i = 0; i < 256; ++i) {
            std::unique_ptr<udev_device, UdevDeleter> device(
                udev_monitor_receive_device(monitor_.get()));
            if (!device) break;
            const char* action = udev_device_get_action(device.get());
            const char* sysname = udev_device_get_sysname(device.get());
            if (!action || !sysname) continue;
            const std::string a = action;
            if (a != "add" && a != "remove") continue;
            events.push_back({a == "add", sysname});
        }
        return events;
    }

  private:
    std::unique_ptr<udev, UdevDeleter> udev_;
    std::unique_ptr<udev_monitor, UdevDeleter> monitor_;
};

}  // namespace

std::unique_ptr<HotplugMonitor> MakeUdevMonitor() {
    auto monitor = std::make_unique<UdevMonitor>();
    if (!monitor->Start()) return nullptr;
    return monitor;
}

}  // namespace input
