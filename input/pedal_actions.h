// What the pedals do: each pedal (left, middle, right, fourth) drives one command, held while
// the pedal is down (press … release) or toggled (one press presses the command, the next
// releases it). A command driven by several pedals at once is released when the last of them
// comes up; the pedals of a device that goes away come up with it, so nothing stays held.
//
// Plain logic, no Qt: commands are reached through `CommandSink`. One thread.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "input/pedal_models.h"

namespace input {

enum class PedalMode { Hold, Toggle };

struct PedalBinding {
    std::string command;  // a command id; empty: the pedal does nothing
    PedalMode mode = PedalMode::Hold;
    bool operator==(const PedalBinding&) const = default;
};
using PedalBindings = std::array<PedalBinding, kMaxPedals>;

// Left rewinds, the middle one plays, the right one goes forward, each while held.
PedalBindings DefaultPedalBindings();

struct CommandSink {
    std::function<void(const std::string&)> press;
    std::function<void(const std::string&)> release;
};

class PedalActions {
  public:
    explicit PedalActions(CommandSink sink, PedalBindings bindings = DefaultPedalBindings());

    void SetBindings(const PedalBindings& bindings);
    const PedalBindings& Bindings() const { return bindings_; }

    // A pedal of `device` went down or up.
    void OnPedal(const std::string& device, int pedal, bool down);
    // `device` is gone: its pedals that are down come up.
    void ReleaseDevice(const std::string& device);
    // Every held command is released (the pedal window takes over, the program ends).
    void ReleaseAll();

    bool IsHeld(const std::string& command) const;
    bool IsToggledOn(const std::string& command) const;

  private:
    void Press(const std::string& command);
    void Release(const std::string& command);

    CommandSink sink_;
    PedalBindings bindings_;
    // Pedals down now, with the command each pressed (the binding may change meanwhile).
    std::map<std::pair<std::string, int>, std::string> down_;
    std::map<std::string, int> holders_;
    std::map<std::string, bool> toggled_;
};

}  // namespace input
