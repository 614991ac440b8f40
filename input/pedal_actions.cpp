#include "input/pedal_actions.h"

#include <vector>

namespace input {

PedalBindings DefaultPedalBindings() {
    PedalBindings bindings;
    bindings[kLeftPedal] = {"player.rewind_held", PedalMode::Hold};
    bindings[kMiddlePedal] = {"player.play_held", PedalMode::Hold};
    bindings[kRightPedal] = {"player.forward_held", PedalMode::Hold};
    return bindings;
}

PedalActions::PedalActions(CommandSink sink, PedalBindings bindings)
    : sink_(std::move(sink)), bindings_(std::move(bindings)) {}

void PedalActions::SetBindings(const PedalBindings& bindings) {
    bindings_ = bindings;
}

void PedalActions::Press(const std::string& command) {
    if (holders_[command]++ == 0 && sink_.press) sink_.press(command);
}

void PedalActions::Release(const std::string& command) {
    auto it = holders_.find(command);
    if (it == holders_.end()) return;
    if (--it->second == 0) {
        holders_.erase(it);
        if (sink_.release) sink_.release(command);
    }
}

void PedalActions::OnPedal(const std::string& device, int pedal, bool down) {
    if (pedal < 0 || pedal >= kMaxPedals) return;
    const auto key = std::make_pair(device, pedal);
    if (!down) {
        auto it = down_.find(key);
        if (it == down_.end()) return;
        const std::string command = it->second;
        down_.erase(it);
        if (!command.empty()) Release(command);
        return;
    }
    if (down_.count(key)) return;  // already down: a repeated report
    const PedalBinding& binding = bindings_[pedal];
    if (binding.command.empty()) {
        down_[key] = {};
        return;
    }
    if (binding.mode == PedalMode::Toggle) {
        down_[key] = {};  // a toggle holds nothing while the pedal is down
        bool& on = toggled_[binding.command];
        if (on) {
            on = false;
            Release(binding.command);
        } else {
            on = true;
            Press(binding.command);
        }
        return;
    }
    down_[key] = binding.command;
    Press(binding.command);
}

void PedalActions::ReleaseDevice(const std::string& device) {
    std::vector<int> pedals;
    for (const auto& [key, command] : down_)
        if (key.first == device) pedals.push_back(key.second);
    for (int pedal : pedals) OnPedal(device, pedal, false);
}

void PedalActions::ReleaseAll() {
    down_.clear();
    toggled_.clear();
    auto held = std::move(holders_);
    holders_.clear();
    for (const auto& [command, count] : held)
        if (count > 0 && sink_.release) sink_.release(command);
}

bool PedalActions::IsHeld(const std::string& command) const {
    auto it = holders_.find(command);
    return it != holders_.end() && it->second > 0;
}

bool PedalActions::IsToggledOn(const std::string& command) const {
    auto it = toggled_.find(command);
    return it != toggled_.end() && it->second;
}

}  // namespace input
