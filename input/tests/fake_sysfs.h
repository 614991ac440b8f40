// A sysfs tree of the tests' own, as the kernel lays it out for HID devices.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace input::fakes {

namespace fs = std::filesystem;

// The HID device directory named after bus, vendor and product, its hidraw and input
// children, and the class links.
class FakeSysfs {
  public:
    explicit FakeSysfs(fs::path root) : root_(std::move(root)) {
        fs::create_directories(root_ / "class" / "hidraw");
        fs::create_directories(root_ / "class" / "input");
    }
    void AddHidraw(const std::string& hid, const std::string& name, const std::string& node) {
        const fs::path dir = HidDir(hid, name);
        fs::create_directories(dir / "hidraw" / node);
        fs::create_directory_symlink(dir, dir / "hidraw" / node / "device");
        fs::create_directory_symlink(dir / "hidraw" / node, root_ / "class" / "hidraw" / node);
    }
    void AddEvent(const std::string& hid, const std::string& name, const std::string& input,
                  const std::string& node) {
        const fs::path dir = HidDir(hid, name) / "input" / input;
        fs::create_directories(dir / node);
        std::ofstream(dir / "name") << name << "\n";
        fs::create_directory_symlink(dir.parent_path().parent_path(), dir / "device");
        fs::create_directory_symlink(dir, dir / node / "device");
        fs::create_directory_symlink(dir / node, root_ / "class" / "input" / node);
    }
    void Remove(const std::string& hid) {
        for (const char* cls : {"hidraw", "input"})
            for (const auto& e : fs::directory_iterator(root_ / "class" / cls))
                if (fs::read_symlink(e.path()).string().find(hid) != std::string::npos)
                    fs::remove(e.path());
        fs::remove_all(root_ / "devices" / hid);
    }

  private:
    fs::path HidDir(const std::string& hid, const std::string& name) {
        const fs::path dir = root_ / "devices" / hid;
        if (!fs::exists(dir)) {
            fs::create_directories(dir);
            std::ofstream(dir / "uevent")
                << "DRIVER=hid-generic\nHID_ID=0003:x\nHID_NAME=" << name << "\n";
        }
        return dir;
    }
    fs::path root_;
};

}  // namespace input::fakes
