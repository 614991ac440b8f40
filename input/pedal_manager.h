// The pedals plugged in now: finds them at start and whenever udev says a device came or
// went, opens and reads them without ever blocking the thread it lives on (non-blocking reads
// from socket notifiers, a bounded number per wake-up, so a device that floods cannot starve
// the event loop), and passes each pedal going down or up to the pedal actions. A device that
// goes away releases its pedals; one that cannot be opened is listed with the reason.
//
// Lives on the user-interface thread (it drives commands there).
#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "input/pedal_actions.h"
#include "input/pedal_discovery.h"

class QSocketNotifier;

namespace input {

struct PedalDeviceStatus {
    std::string key;   // its node: the device's name for the pedal actions
    std::string name;  // as the device calls itself
    std::string model;
    int pedals = 0;
    bool open = false;
    bool grabbed = false;  // a keyboard pedal whose keys reach only us
    PedalMask state = 0;
    std::string problem;  // why it is not read; empty when open
    std::string fix;
};

class PedalManager : public QObject {
    Q_OBJECT
  public:
    struct Environment {
        std::filesystem::path sysRoot = "/sys";
        std::filesystem::path devRoot = "/dev";
        std::function<OpenedNode(const DeviceNode&)> open;  // default: OpenDeviceNode
        std::unique_ptr<HotplugMonitor> monitor;            // null: found on Rescan only
    };
    // `actions` may be null (nothing runs, the signals still come); it must outlive this.
    PedalManager(Environment environment, PedalActions* actions, QObject* parent = nullptr);
    ~PedalManager() override;

    // Looks for pedals again: opens new ones, retries those that failed, drops those gone.
    void Rescan();
    std::vector<PedalDeviceStatus> Devices() const;
    bool HasMonitor() const { return monitor_ != nullptr; }

    // While learning, pedals reach only `PedalChanged`, nothing runs.
    void SetLearning(bool learning);
    bool Learning() const { return learning_; }
    // Keyboard-style pedals are grabbed (EVIOCGRAB) so that they do not type into the text.
    void SetGrabKeyboards(bool grab);

    // Reads whatever is waiting on every open device now (the notifiers do it by themselves).
    void ReadAll();

  signals:
    void PedalChanged(const QString& device, int pedal, bool down);
    void DevicesChanged();

  private:
    struct Device;
    void Open(Device& device);
    void Close(Device& device, const std::string& problem, const std::string& fix);
    void Read(Device& device);
    void ApplyGrab(Device& device);
    void HotplugReady();

    Environment environment_;
    PedalActions* actions_;
    std::unique_ptr<HotplugMonitor> monitor_;
    QSocketNotifier* monitorNotifier_ = nullptr;
    std::vector<std::unique_ptr<Device>> devices_;
    bool learning_ = false;
    bool grabKeyboards_ = true;
};

}  // namespace input
