// Foot pedals the program knows by their USB ids, and how each one reports its pedals.
//
// A pedal state is a bit mask: bit 0 the left pedal (rewind), 1 the middle one (play), 2 the
// right one (forward), 3 a fourth pedal where a model has one. Everything here is plain data
// and pure functions: callable from any thread.
#pragma once

#include <linux/input.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace input {

inline constexpr int kMaxPedals = 4;
using PedalMask = std::uint8_t;

enum PedalIndex : int { kLeftPedal = 0, kMiddlePedal = 1, kRightPedal = 2, kFourthPedal = 3 };

// A raw HID report (hidraw): the pedals are bits of one byte. Reports shorter than
// `minLength` or longer than `maxLength` are not this device's input reports and are ignored.
struct RawLayout {
    std::size_t minLength = 0;  // 0: the model has no raw layout
    std::size_t maxLength = 0;
    std::size_t byte = 0;
    std::array<std::int8_t, kMaxPedals> bits{-1, -1, -1, -1};  // -1: no such pedal
};

// The kernel's input device: one key or button code per pedal (0 = no such pedal). A
// keyboard-style pedal has no fixed codes: its keys become pedals in the order first seen.
struct EventLayout {
    std::array<std::uint16_t, kMaxPedals> codes{};
};

enum class PedalKind {
    RawReports,  // read through hidraw
    Keyboard,    // sends ordinary keys; read (and grabbed) through its input device
};

struct PedalModel {
    std::uint16_t vendor;
    std::uint16_t product;
    const char* name;
    PedalKind kind;
    int pedals;
    RawLayout raw;
    EventLayout events;
};

// Every known model; new models are one more row in pedal_models.cpp.
std::span<const PedalModel> KnownPedalModels();
const PedalModel* FindPedalModel(std::uint16_t vendor, std::uint16_t product);

// The pedal mask one raw report carries, or nothing for a report of a length the layout does
// not describe.
std::optional<PedalMask> DecodeRawReport(const RawLayout& layout,
                                         std::span<const std::uint8_t> report);

struct PedalEdge {
    int pedal;
    bool down;
};
// Pedals that went down or up from one mask to the next, in pedal order (at most four).
struct PedalEdges {
    std::array<PedalEdge, kMaxPedals> edges{};
    int count = 0;
    auto begin() const { return edges.begin(); }
    auto end() const { return edges.begin() + count; }
};
PedalEdges EdgesBetween(PedalMask before, PedalMask after);

// Turns the records of an input device into pedal masks, one per completed frame
// (SYN_REPORT). After SYN_DROPPED the frame is lost: the state comes from `Resync`.
class EventDecoder {
  public:
    explicit EventDecoder(const EventLayout& layout, bool learnKeys);
    // The new mask when `event` completes a frame that changed the state.
    std::optional<PedalMask> Feed(const input_event& event);
    // The state after lost records, from the device's key bitmap (EVIOCGKEY), or all pedals
    // up when the device cannot tell (`keyBits` empty).
    std::optional<PedalMask> Resync(std::span<const std::uint8_t> keyBits);
    bool Dropped() const { return dropped_; }
    PedalMask State() const { return state_; }
    const EventLayout& Layout() const { return layout_; }

  private:
    std::optional<int> PedalOf(std::uint16_t code);

    EventLayout layout_;
    bool learnKeys_;
    PedalMask state_ = 0;
    PedalMask pending_ = 0;
    bool dropped_ = false;
};

}  // namespace input
