#include "input/pedal_manager.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <deque>
#include <fstream>
#include <map>

#include "fake_sysfs.h"

using namespace input;
using input::fakes::FakeSysfs;
namespace fs = std::filesystem;

namespace {

class FakeMonitor : public HotplugMonitor {
  public:
    FakeMonitor() {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        read_ = fds[0];
        write_ = fds[1];
    }
    ~FakeMonitor() override {
        ::close(read_);
        ::close(write_);
    }
    int Fd() const override { return read_; }
    std::vector<HotplugEvent> Receive() override {
        char buffer[64];
        while (::read(read_, buffer, sizeof buffer) == sizeof buffer) {
        }
        std::vector<HotplugEvent> out(pending.begin(), pending.end());
        pending.clear();
        return out;
    }
    void Emit(bool added, const std::string& sysname) {
        pending.push_back({added, sysname});
        ASSERT_EQ(::write(write_, "x", 1), 1);
    }
    std::deque<HotplugEvent> pending;

  private:
    int read_, write_;
};

struct Recorder {
    std::vector<std::string> log;
    CommandSink Sink() {
        return {[this](const std::string& id) { log.push_back("+" + id); },
                [this](const std::string& id) { log.push_back("-" + id); }};
    }
};

void Pump() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

class PedalManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        sys_ = fs::path(dir_.path().toStdString()) / "sys";
        dev_ = fs::path(dir_.path().toStdString()) / "dev";
        fs::create_directories(dev_ / "input");
        sysfs_ = std::make_unique<FakeSysfs>(sys_);
    }
    void TearDown() override {
        for (auto& [node, fd] : writers_) ::close(fd);
    }
    // Every node opens as the reading end of a packet socket pair; the test writes reports.
    std::unique_ptr<PedalManager> Make(bool withMonitor = true) {
        PedalManager::Environment env;
        env.sysRoot = sys_;
        env.devRoot = dev_;
        env.open = [this](const DeviceNode& node) {
            OpenedNode out;
            if (refuse_.count(node.sysname)) {
                out.error = EACCES;
                out.problem = "нет доступа";
                out.fix = "правило udev";
                return out;
            }
            int fds[2];
            EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds), 0);
            if (writers_.count(node.sysname)) ::close(writers_[node.sysname]);
            writers_[node.sysname] = fds[1];
            out.fd = UniqueFd(fds[0]);
            return out;
        };
        if (withMonitor) {
            auto monitor = std::make_unique<FakeMonitor>();
            monitor_ = monitor.get();
            env.monitor = std::move(monitor);
        }
        auto manager = std::make_unique<PedalManager>(std::move(env), &actions_);
        return manager;
    }
    void Send(const std::string& sysname, std::vector<std::uint8_t> bytes) {
        ASSERT_EQ(::send(writers_.at(sysname), bytes.data(), bytes.size(), 0),
                  ssize_t(bytes.size()));
    }
    void Unplug(const std::string& sysname) {
        ::close(writers_.at(sysname));
        writers_.erase(sysname);
    }

    QTemporaryDir dir_;
    fs::path sys_, dev_;
    std::unique_ptr<FakeSysfs> sysfs_;
    std::map<std::string, int> writers_;
    std::set<std::string> refuse_;
    FakeMonitor* monitor_ = nullptr;
    Recorder recorder_;
    PedalActions actions_{recorder_.Sink()};
};

}  // namespace

TEST(PedalDiscovery, FindsKnownPedalsByTheirHidDeviceThroughTheRightNode) {
    QTemporaryDir dir;
    const fs::path sys = fs::path(dir.path().toStdString());
    FakeSysfs sysfs(sys);
    sysfs.AddHidraw("0003:05F3:00FF.0001", "VEC  USB Footpedal", "hidraw2");
    sysfs.AddEvent("0003:05F3:00FF.0001", "VEC  USB Footpedal", "input9", "event9");
    sysfs.AddHidraw("0003:046D:C52B.0002", "Logitech Receiver", "hidraw0");
    sysfs.AddHidraw("0003:0C45:7403.0003", "FootSwitch", "hidraw5");
    sysfs.AddEvent("0003:0C45:7403.0003", "FootSwitch Keyboard", "input11", "event11");
    sysfs.AddHidraw("0003:0911:1844.0004", "Philips Speech Foot Control", "hidraw7");
    const auto nodes = FindPedalNodes(sys, "/dev");
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0].node, "/dev/hidraw2");
    EXPECT_EQ(nodes[0].name, "VEC  USB Footpedal");
    EXPECT_EQ(nodes[0].vendor, 0x05f3);
    EXPECT_EQ(nodes[1].node, "/dev/hidraw7");
    EXPECT_EQ(nodes[1].model, FindPedalModel(0x0911, 0x1844));
    // The keyboard-style pedal is read through its input device, not hidraw.
    EXPECT_EQ(nodes[2].node, "/dev/input/event11");
    EXPECT_EQ(nodes[2].name, "FootSwitch Keyboard");
    EXPECT_TRUE(FindPedalNodes(sys / "missing", "/dev").empty());

    std::uint16_t v = 0, p = 0;
    EXPECT_TRUE(ParseHidId("0003:000005F3:000000FF", v, p));
    EXPECT_EQ(v, 0x05f3);
    EXPECT_EQ(p, 0x00ff);
    for (const char* bad : {"", "0003", "0003:05F3", "0003:ZZ:00FF", "0003:1:2:3", "0003:12345:1"})
        EXPECT_FALSE(ParseHidId(bad, v, p)) << bad;
}

TEST(PedalDiscovery, NodesThatAreNoDevicesAreRefusedWithAReason) {
    QTemporaryDir dir;
    const fs::path file = fs::path(dir.path().toStdString()) / "hidraw0";
    std::ofstream(file) << "\x01\x02";
    OpenedNode opened = OpenDeviceNode(file);
    EXPECT_LT(opened.fd.Get(), 0);
    EXPECT_EQ(opened.error, ENODEV);
    EXPECT_FALSE(opened.problem.empty());
    opened = OpenDeviceNode(file.parent_path() / "hidraw9");
    EXPECT_LT(opened.fd.Get(), 0);
    EXPECT_EQ(opened.error, ENOENT);
    EXPECT_FALSE(opened.fix.empty());
    opened = OpenDeviceNode("/dev/null");  // a character device: opens
    EXPECT_GE(opened.fd.Get(), 0);
}

TEST_F(PedalManagerTest, TwoPedalsAtOnceAndHotplugWithoutARestart) {
    sysfs_->AddHidraw("0003:05F3:00FF.0001", "VEC USB Footpedal", "hidraw2");
    auto manager = Make();
    std::vector<std::string> changes;
    QObject::connect(manager.get(), &PedalManager::PedalChanged,
                     [&](const QString& device, int pedal, bool down) {
                         changes.push_back(device.toStdString() + ":" + std::to_string(pedal) +
                                           (down ? "+" : "-"));
                     });
    manager->Rescan();
    ASSERT_EQ(manager->Devices().size(), 1u);
    EXPECT_TRUE(manager->Devices()[0].open);

    // A Philips pedal comes while the program runs.
    sysfs_->AddHidraw("0003:0911:091A.0002", "Philips Foot Control", "hidraw3");
    monitor_->Emit(true, "hidraw3");
    Pump();
    ASSERT_EQ(manager->Devices().size(), 2u);

    Send("hidraw2", {0x02});  // VEC middle: play held
    Send("hidraw3", {0x02});  // Philips middle: the same command, held twice
    Send("hidraw3", {0x05});  // Philips left + right
    Pump();
    EXPECT_TRUE(actions_.IsHeld("player.play_held"));
    EXPECT_TRUE(actions_.IsHeld("player.rewind_held"));
    EXPECT_EQ(manager->Devices()[1].state, 0x05);

    // The Philips pedal is pulled out with two pedals down: they come up; VEC still plays.
    Unplug("hidraw3");
    Pump();
    EXPECT_FALSE(actions_.IsHeld("player.rewind_held"));
    EXPECT_FALSE(actions_.IsHeld("player.forward_held"));
    EXPECT_TRUE(actions_.IsHeld("player.play_held"));
    EXPECT_FALSE(manager->Devices()[1].open);
    EXPECT_FALSE(manager->Devices()[1].problem.empty());
    sysfs_->Remove("0003:0911:091A.0002");
    monitor_->Emit(false, "hidraw3");
    Pump();
    EXPECT_EQ(manager->Devices().size(), 1u);

    // Plugged back in: read again without a restart.
    sysfs_->AddHidraw("0003:0911:091A.0003", "Philips Foot Control", "hidraw3");
    monitor_->Emit(true, "hidraw3");
    Pump();
    Send("hidraw3", {0x04});
    Pump();
    EXPECT_TRUE(actions_.IsHeld("player.forward_held"));
    Send("hidraw2", {0x00});
    Send("hidraw3", {0x00});
    Pump();
    EXPECT_EQ(recorder_.log,
              (std::vector<std::string>{"+player.play_held", "+player.rewind_held",
                                        "+player.forward_held", "-player.rewind_held",
                                        "-player.forward_held", "+player.forward_held",
                                        "-player.play_held", "-player.forward_held"}));
    EXPECT_EQ(changes.front(), (dev_ / "hidraw2").string() + ":1+");
}

TEST_F(PedalManagerTest, RefusedDevicesAreListedAndRetriedLearningRunsNothing) {
    sysfs_->AddHidraw("0003:07B4:0218.0001", "OLYMPUS RS28", "hidraw4");
    refuse_.insert("hidraw4");
    auto manager = Make(false);
    manager->Rescan();
    ASSERT_EQ(manager->Devices().size(), 1u);
    EXPECT_FALSE(manager->Devices()[0].open);
    EXPECT_EQ(manager->Devices()[0].problem, "нет доступа");
    EXPECT_EQ(manager->Devices()[0].fix, "правило udev");
    EXPECT_EQ(manager->Devices()[0].model, "Olympus RS27/RS28");

    refuse_.clear();
    manager->Rescan();
    ASSERT_TRUE(manager->Devices()[0].open);
    int learned = -1;
    QObject::connect(manager.get(), &PedalManager::PedalChanged,
                     [&](const QString&, int pedal, bool down) {
                         if (down) learned = pedal;
                     });
    manager->SetLearning(true);
    Send("hidraw4", {0x04});
    Pump();
    EXPECT_EQ(learned, kRightPedal);
    EXPECT_TRUE(recorder_.log.empty());
    manager->SetLearning(false);
    Send("hidraw4", {0x00});
    Send("hidraw4", {0x01});
    Pump();
    EXPECT_EQ(recorder_.log, (std::vector<std::string>{"+player.rewind_held"}));
    // Destroying the manager releases what its devices hold.
    manager.reset();
    EXPECT_FALSE(actions_.IsHeld("player.rewind_held"));
}

TEST_F(PedalManagerTest, ARegularFileWhereTheNodeShouldBeIsListedNotRead) {
    sysfs_->AddHidraw("0003:05F3:00FF.0001", "VEC USB Footpedal", "hidraw2");
    std::ofstream(dev_ / "hidraw2") << std::string(64, '\x07');
    PedalManager::Environment env;
    env.sysRoot = sys_;
    env.devRoot = dev_;  // the program's own opener
    PedalManager manager(std::move(env), &actions_);
    manager.Rescan();
    manager.ReadAll();
    ASSERT_EQ(manager.Devices().size(), 1u);
    EXPECT_FALSE(manager.Devices()[0].open);
    EXPECT_NE(manager.Devices()[0].problem.find("не устройство"), std::string::npos);
    EXPECT_TRUE(recorder_.log.empty());
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
