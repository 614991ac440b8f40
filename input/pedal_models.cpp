#include "input/pedal_models.h"

#include <algorithm>

namespace input {
namespace {

constexpr RawLayout MaskByte(std::size_t minLength, std::size_t maxLength, int pedals) {
    RawLayout layout{minLength, maxLength, 0, {-1, -1, -1, -1}};
    for (int i = 0; i < pedals; ++i) layout.bits[i] = static_cast<std::int8_t>(i);
    return layout;
}

// Bit 0 left (rewind), 1 middle (play), 2 right (forward), 3 the fourth pedal: the mask of
// byte 0 of every input report. Trailing bytes (padding, a second byte) are ignored.
constexpr PedalModel kModels[] = {
    {0x05f3,
     0x00ff,
     "VEC Infinity IN-USB-1/2/3",
     PedalKind::RawReports,
     3,
     MaskByte(1, 8, 3),
     {{BTN_0, BTN_1, BTN_2, 0}}},
    {0x0911, 0x1844, "Philips ACC2310/ACC2320", PedalKind::RawReports, 4, MaskByte(1, 8, 4), {}},
    {0x0911, 0x091a, "Philips ACC2330", PedalKind::RawReports, 4, MaskByte(1, 8, 4), {}},
    {0x07b4, 0x0218, "Olympus RS27/RS28", PedalKind::RawReports, 3, MaskByte(1, 8, 3), {}},
    // Keyboard-style pedals: they type keys of their own; grabbed, their keys become pedals.
    {0x0c45, 0x7403, "PCsensor FootSwitch", PedalKind::Keyboard, 3, {}, {}},
    {0x0c45, 0x7404, "PCsensor FootSwitch", PedalKind::Keyboard, 3, {}, {}},
    {0x413d, 0x2107, "PCsensor FootSwitch", PedalKind::Keyboard, 3, {}, {}},
    {0x1a86, 0xe026, "PCsensor FootSwitch", PedalKind::Keyboard, 3, {}, {}},
};

}  // namespace

std::span<const PedalModel> KnownPedalModels() {
    return kModels;
}

const PedalModel* FindPedalModel(std::uint16_t vendor, std::uint16_t product) {
    auto it = std::find_if(std::begin(kModels), std::end(kModels), [&](const PedalModel& m) {
        return m.vendor == vendor && m.product == product;
    });
    return it == std::end(kModels) ? nullptr : &*it;
}

std::optional<PedalMask> DecodeRawReport(const RawLayout& layout,
                                         std::span<const std::uint8_t> report) {
    if (layout.minLength == 0 || report.size() < layout.minLength ||
        report.size() > layout.maxLength || layout.byte >= report.size())
        return std::nullopt;
    const std::uint8_t value = report[layout.byte];
    PedalMask mask = 0;
    for (int pedal = 0; pedal < kMaxPedals; ++pedal) {
        const int bit = layout.bits[pedal];
        if (bit >= 0 && (value >> bit) & 1) mask |= PedalMask(1u << pedal);
    }
    return mask;
}

PedalEdges EdgesBetween(PedalMask before, PedalMask after) {
    PedalEdges out;
    for (int pedal = 0; pedal < kMaxPedals; ++pedal) {
        const bool was = (before >> pedal) & 1, is = (after >> pedal) & 1;
        if (was != is) out.edges[out.count++] = {pedal, is};
    }
    return out;
}

EventDecoder::EventDecoder(const EventLayout& layout, bool learnKeys)
    : layout_(layout), learnKeys_(learnKeys) {}

std::optional<int> EventDecoder::PedalOf(std::uint16_t code) {
    if (code == 0) return std::nullopt;
    for (int pedal = 0; pedal < kMaxPedals; ++pedal)
        if (layout_.codes[pedal] == code) return pedal;
    if (!learnKeys_) return std::nullopt;
    for (int pedal = 0; pedal < kMaxPedals; ++pedal) {
        if (layout_.codes[pedal] == 0) {
            layout_.codes[pedal] = code;
            return pedal;
        }
    }
    return std::nullopt;
}

std::optional<PedalMask> EventDecoder::Feed(const input_event& event) {
    if (event.type == EV_SYN) {
        if (event.code == SYN_DROPPED) {
            dropped_ = true;
            return std::nullopt;
        }
        if (event.code != SYN_REPORT || dropped_) return std::nullopt;
        if (pending_ == state_) return std::nullopt;
        state_ = pending_;
        return state_;
    }
    if (dropped_ || event.type != EV_KEY) return std::nullopt;
    // Key repeat (value 2) keeps a pedal down; only presses may teach a new key.
    if (event.value != 0 && event.value != 1 && event.value != 2) return std::nullopt;
    std::optional<int> pedal;
    if (event.value == 0) {
        for (int p = 0; p < kMaxPedals; ++p)
            if (event.code != 0 && layout_.codes[p] == event.code) pedal = p;
    } else {
        pedal = PedalOf(event.code);
    }
    if (!pedal) return std::nullopt;
    const auto bit = PedalMask(1u << *pedal);
    pending_ = event.value ? PedalMask(pending_ | bit) : PedalMask(pending_ & ~bit);
    return std::nullopt;
}

std::optional<PedalMask> EventDecoder::Resync(std::span<const std::uint8_t> keyBits) {
    dropped_ = false;
    PedalMask mask = 0;
    for (int pedal = 0; pedal < kMaxPedals; ++pedal) {
        const std::uint16_t code = layout_.codes[pedal];
        if (code != 0 && code / 8u < keyBits.size() && (keyBits[code / 8u] >> (code % 8u)) & 1)
            mask |= PedalMask(1u << pedal);
    }
    pending_ = mask;
    if (mask == state_) return std::nullopt;
    state_ = mask;
    return state_;
}

}  // namespace input
