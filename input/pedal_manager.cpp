#include "input/pedal_manager.h"

#include <libevdev/libevdev.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>

namespace input {

struct EvdevDeleter {
    void operator()(libevdev* dev) const { libevdev_free(dev); }
};

struct PedalManager::Device {
    DeviceNode node;
    std::unique_ptr<PedalReader> reader;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<libevdev, EvdevDeleter> evdev;
    bool grabbed = false;
    std::string problem;
    std::string fix;
};

PedalManager::PedalManager(Environment environment, PedalActions* actions, QObject* parent)
    : QObject(parent),
      environment_(std::move(environment)),
      actions_(actions),
      monitor_(std::move(environment_.monitor)) {
    if (!environment_.open)
        environment_.open = [](const DeviceNode& node) { return OpenDeviceNode(node.node); };
    if (monitor_ && monitor_->Fd() >= 0) {
        monitorNotifier_ = new QSocketNotifier(monitor_->Fd(), QSocketNotifier::Read, this);
        connect(monitorNotifier_, &QSocketNotifier::activated, this, &PedalManager::HotplugReady);
    } else {
        monitor_.reset();
    }
}

PedalManager::~PedalManager() {
    for (auto& device : devices_) {
        device->notifier.reset();  // not inside its own signal here
        Close(*device, {}, {});
    }
}

void PedalManager::HotplugReady() {
    const auto events = monitor_->Receive();
    if (!events.empty()) Rescan();
}

void PedalManager::Rescan() {
    const auto found = FindPedalNodes(environment_.sysRoot, environment_.devRoot);
    bool changed = false;
    // Gone from sysfs: released and forgotten.
    for (auto it = devices_.begin(); it != devices_.end();) {
        const bool present = std::any_of(found.begin(), found.end(), [&](const DeviceNode& n) {
            return n.node == (*it)->node.node;
        });
        if (present) {
            ++it;
            continue;
        }
        Close(**it, {}, {});
        it = devices_.erase(it);
        changed = true;
    }
    for (const auto& node : found) {
        auto it = std::find_if(devices_.begin(), devices_.end(),
                               [&](const auto& d) { return d->node.node == node.node; });
        if (it == devices_.end()) {
            devices_.push_back(std::make_unique<Device>());
            devices_.back()->node = node;
            it = devices_.end() - 1;
        }
        if (!(*it)->reader) {
            Open(**it);
            changed = true;
        }
    }
    if (changed) emit DevicesChanged();
}

void PedalManager::Open(Device& device) {
    OpenedNode opened = environment_.open(device.node);
    if (opened.fd.Get() < 0) {
        device.problem = opened.problem.empty() ? "не открывается" : opened.problem;
        device.fix = opened.fix;
        return;
    }
    device.problem.clear();
    device.fix.clear();
    const PedalModel& model = *device.node.model;
    if (device.node.hidraw)
        device.reader = std::make_unique<HidrawReader>(std::move(opened.fd), model.raw);
    else
        device.reader = std::make_unique<EventDeviceReader>(std::move(opened.fd), model.events,
                                                            model.kind == PedalKind::Keyboard);
    if (!device.node.hidraw && model.kind == PedalKind::Keyboard) {
        libevdev* evdev = nullptr;
        if (libevdev_new_from_fd(device.reader->Fd(), &evdev) == 0) device.evdev.reset(evdev);
        ApplyGrab(device);
    }
    device.notifier = std::make_unique<QSocketNotifier>(device.reader->Fd(), QSocketNotifier::Read);
    Device* raw = &device;
    connect(device.notifier.get(), &QSocketNotifier::activated, this, [this, raw] { Read(*raw); });
    // Reports already waiting (a pedal held while plugged in) are read at once.
    Read(device);
}

void PedalManager::ApplyGrab(Device& device) {
    if (!device.evdev) return;
    const bool want = grabKeyboards_;
    if (want == device.grabbed) return;
    if (libevdev_grab(device.evdev.get(), want ? LIBEVDEV_GRAB : LIBEVDEV_UNGRAB) == 0)
        device.grabbed = want;
}

void PedalManager::SetGrabKeyboards(bool grab) {
    grabKeyboards_ = grab;
    for (auto& device : devices_) ApplyGrab(*device);
    emit DevicesChanged();
}

void PedalManager::Close(Device& device, const std::string& problem, const std::string& fix) {
    if (device.notifier) {
        device.notifier->setEnabled(false);
        // Closing may happen inside the notifier's own signal.
        device.notifier.release()->deleteLater();
    }
    if (device.evdev && device.grabbed) libevdev_grab(device.evdev.get(), LIBEVDEV_UNGRAB);
    device.grabbed = false;
    device.evdev.reset();
    device.reader.reset();
    device.problem = problem;
    device.fix = fix;
    if (actions_) actions_->ReleaseDevice(device.node.node.string());
}

void PedalManager::Read(Device& device) {
    if (!device.reader) return;
    const std::string key = device.node.node.string();
    const QString qkey = QString::fromStdString(key);
    PedalMask before = device.reader->State();
    const auto result = device.reader->ReadAvailable([&](PedalMask mask) {
        for (const PedalEdge& edge : EdgesBetween(before, mask)) {
            if (actions_ && !learning_) actions_->OnPedal(key, edge.pedal, edge.down);
            emit PedalChanged(qkey, edge.pedal, edge.down);
        }
        before = mask;
    });
    if (result.gone) {
        Close(device, "устройство отключено", "Подключите педаль заново.");
        emit DevicesChanged();
    }
}

void PedalManager::ReadAll() {
    for (auto& device : devices_) Read(*device);
}

void PedalManager::SetLearning(bool learning) {
    if (learning && !learning_ && actions_) actions_->ReleaseAll();
    learning_ = learning;
}

std::vector<PedalDeviceStatus> PedalManager::Devices() const {
    std::vector<PedalDeviceStatus> out;
    for (const auto& device : devices_) {
        PedalDeviceStatus status;
        status.key = device->node.node.string();
        status.name = device->node.name;
        status.model = device->node.model->name;
        status.pedals = device->node.model->pedals;
        status.open = device->reader != nullptr;
        status.grabbed = device->grabbed;
        status.state = device->reader ? device->reader->State() : 0;
        status.problem = device->problem;
        status.fix = device->fix;
        out.push_back(std::move(status));
    }
    return out;
}

}  // namespace input
