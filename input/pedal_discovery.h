// Finding pedals: known models among the HID devices in sysfs, their device nodes, opening
// them (with the reason when that fails), and the udev monitor that tells when a device
// comes or goes. The sysfs and /dev roots are parameters, so tests use a tree of their own.
// Everything here runs on the caller's thread; nothing blocks but the file system reads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "input/device_readers.h"
#include "input/pedal_models.h"

namespace input {

struct DeviceNode {
    std::filesystem::path node;  // /dev/hidraw3, /dev/input/event7
    std::string sysname;         // hidraw3, event7
    std::string hidDevice;       // the HID device both belong to: 0003:05F3:00FF.0001
    bool hidraw = false;         // else an input (event) device
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::string name;  // as the device calls itself
    const PedalModel* model = nullptr;
};

// The nodes of known pedals under `sysRoot` (normally /sys), for each HID device the one
// its model is read through: hidraw for raw reports, the input devices for keyboard pedals.
// Sorted by node path.
std::vector<DeviceNode> FindPedalNodes(const std::filesystem::path& sysRoot,
                                       const std::filesystem::path& devRoot);

// Parses "0003:000005F3:000000FF" (HID_ID of a uevent) or "0003:05F3:00FF.0001" (a HID
// device's sysfs name) into vendor and product.
bool ParseHidId(const std::string& text, std::uint16_t& vendor, std::uint16_t& product);

struct OpenedNode {
    UniqueFd fd;
    int error = 0;        // errno when opening failed, or ENODEV for a node that is no device
    std::string problem;  // why it cannot be used, in the user's words ("" when opened)
    std::string fix;      // what the user can do about it
};

// Opens a node for reading, non-blocking. Refuses anything that is not a character device
// (a regular file left in /dev, a missing node).
OpenedNode OpenDeviceNode(const std::filesystem::path& node);

// Says when input and hidraw devices are added or removed.
struct HotplugEvent {
    bool added = false;
    std::string sysname;  // hidraw3, event7, input12 …
};
class HotplugMonitor {
  public:
    virtual ~HotplugMonitor() = default;
    // Readable when events are waiting; -1 when the monitor does not work.
    virtual int Fd() const = 0;
    // The waiting events, without blocking.
    virtual std::vector<HotplugEvent> Receive() = 0;
};
// The system's udev monitor for the hidraw and input subsystems; nullptr where udev is not
// reachable (then pedals are found at start and on "Обновить" only).
std::unique_ptr<HotplugMonitor> MakeUdevMonitor();

}  // namespace input
