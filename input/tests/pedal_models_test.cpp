#include "input/pedal_models.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "input/pedal_actions.h"

using namespace input;

namespace {

// What the commands saw, in order: "+id" press, "-id" release.
struct Recorder {
    std::vector<std::string> log;
    CommandSink Sink() {
        return {[this](const std::string& id) { log.push_back("+" + id); },
                [this](const std::string& id) { log.push_back("-" + id); }};
    }
};

const PedalModel& Model(std::uint16_t vendor, std::uint16_t product) {
    const PedalModel* model = FindPedalModel(vendor, product);
    EXPECT_NE(model, nullptr);
    return *model;
}

}  // namespace

// Report bytes of each model → pedal states → commands with the default bindings.
TEST(PedalReports, EachModelsReportsDriveTheDefaultCommands) {
    struct Case {
        std::uint16_t vendor, product;
        std::vector<std::vector<std::uint8_t>> reports;
        std::vector<PedalMask> states;
        std::vector<std::string> commands;
    };
    const Case cases[] = {
        // VEC: left down, left+middle, middle only, all up; a trailing byte is ignored.
        {0x05f3,
         0x00ff,
         {{0x01}, {0x03, 0x00}, {0x02}, {0x00}},
         {0x01, 0x03, 0x02, 0x00},
         {"+player.rewind_held", "+player.play_held", "-player.rewind_held", "-player.play_held"}},
        // Philips ACC2310/2320: right, then the fourth pedal (no default command), then up.
        {0x0911,
         0x1844,
         {{0x04}, {0x0c}, {0x00}},
         {0x04, 0x0c, 0x00},
         {"+player.forward_held", "-player.forward_held"}},
        // Philips ACC2330: bits above the fourth pedal carry nothing.
        {0x0911,
         0x091a,
         {{0xf2}, {0x00}},
         {0x02, 0x00},
         {"+player.play_held", "-player.play_held"}},
        // Olympus RS27/RS28: three pedals, bit 3 is not a pedal of this model.
        {0x07b4,
         0x0218,
         {{0x08}, {0x09}, {0x00}},
         {0x00, 0x01, 0x00},
         {"+player.rewind_held", "-player.rewind_held"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Model(c.vendor, c.product).name);
        const PedalModel& model = Model(c.vendor, c.product);
        Recorder recorder;
        PedalActions actions(recorder.Sink());
        PedalMask state = 0;
        std::vector<PedalMask> states;
        for (const auto& report : c.reports) {
            const auto mask = DecodeRawReport(model.raw, report);
            ASSERT_TRUE(mask.has_value());
            states.push_back(*mask);
            for (const PedalEdge& edge : EdgesBetween(state, *mask))
                actions.OnPedal("dev", edge.pedal, edge.down);
            state = *mask;
        }
        EXPECT_EQ(states, c.states);
        EXPECT_EQ(recorder.log, c.commands);
    }
}

TEST(PedalReports, ReportsOfAnotherLengthAreIgnored) {
    const RawLayout& layout = Model(0x0911, 0x1844).raw;
    EXPECT_FALSE(DecodeRawReport(layout, {}).has_value());
    EXPECT_FALSE(DecodeRawReport(layout, std::vector<std::uint8_t>(9, 0xff)).has_value());
    EXPECT_FALSE(DecodeRawReport(RawLayout{}, std::vector<std::uint8_t>{1}).has_value());
    const RawLayout second{2, 2, 1, {0, 1, 2, -1}};
    EXPECT_FALSE(DecodeRawReport(second, std::vector<std::uint8_t>{7}).has_value());
    EXPECT_EQ(DecodeRawReport(second, std::vector<std::uint8_t>{0xff, 5}), PedalMask(5));
}

TEST(PedalReports, EveryKnownModelHasAUsableLayoutAndOneRow) {
    for (const PedalModel& model : KnownPedalModels()) {
        SCOPED_TRACE(model.name);
        EXPECT_EQ(FindPedalModel(model.vendor, model.product), &model);
        EXPECT_GE(model.pedals, 1);
        EXPECT_LE(model.pedals, kMaxPedals);
        if (model.kind == PedalKind::RawReports) {
            EXPECT_GE(model.raw.minLength, 1u);
            for (int p = 0; p < model.pedals; ++p) EXPECT_GE(model.raw.bits[p], 0);
        }
    }
    EXPECT_EQ(FindPedalModel(0x046d, 0xc52b), nullptr);
}

namespace {
input_event Key(std::uint16_t code, int value) {
    input_event e{};
    e.type = EV_KEY;
    e.code = code;
    e.value = value;
    return e;
}
input_event Syn(std::uint16_t code = SYN_REPORT) {
    input_event e{};
    e.type = EV_SYN;
    e.code = code;
    return e;
}
}  // namespace

TEST(EventDecoder, ButtonsOfTheInputDeviceBecomePedalsAtTheEndOfEachFrame) {
    struct Step {
        input_event event;
        std::optional<PedalMask> out;
    };
    input_event scan{};
    scan.type = EV_MSC;
    scan.code = MSC_SCAN;
    scan.value = 0x90002;
    const Step steps[] = {
        {scan, {}},          {Key(BTN_1, 1), {}}, {Syn(), 0x02},       {Key(BTN_0, 1), {}},
        {Key(BTN_2, 1), {}}, {Syn(), 0x07},       {Key(BTN_1, 2), {}}, {Syn(), {}},
        {Key(BTN_5, 1), {}}, {Syn(), {}},         {Key(BTN_0, 0), {}}, {Key(BTN_1, 0), {}},
        {Key(BTN_2, 0), {}}, {Syn(), 0x00},
    };
    EventDecoder decoder(Model(0x05f3, 0x00ff).events, false);
    int i = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(i++);
        EXPECT_EQ(decoder.Feed(step.event), step.out);
    }
}

TEST(EventDecoder, KeyboardPedalsLearnTheirKeysAndLostFramesResync) {
    EventDecoder decoder(EventLayout{}, true);
    decoder.Feed(Key(KEY_B, 1));
    EXPECT_EQ(decoder.Feed(Syn()), PedalMask(0x01));
    decoder.Feed(Key(KEY_A, 1));
    EXPECT_EQ(decoder.Feed(Syn()), PedalMask(0x03));
    EXPECT_EQ(decoder.Layout().codes[0], KEY_B);
    EXPECT_EQ(decoder.Layout().codes[1], KEY_A);
    // A release of a key never taught does not teach it.
    decoder.Feed(Key(KEY_C, 0));
    EXPECT_EQ(decoder.Layout().codes[2], 0);
    // Records lost: the frame is dropped, the device's key bitmap says what is down.
    decoder.Feed(Syn(SYN_DROPPED));
    decoder.Feed(Key(KEY_B, 0));
    EXPECT_EQ(decoder.Feed(Syn()), std::nullopt);
    std::uint8_t keys[KEY_MAX / 8 + 1] = {};
    keys[KEY_A / 8] |= 1 << (KEY_A % 8);
    EXPECT_EQ(decoder.Resync(keys), PedalMask(0x02));
    // A device that cannot tell: everything comes up.
    decoder.Feed(Syn(SYN_DROPPED));
    decoder.Feed(Syn());
    EXPECT_EQ(decoder.Resync({}), PedalMask(0x00));
}

TEST(PedalActions, HoldToggleSharedCommandsAndUnpluggedDevices) {
    Recorder recorder;
    PedalBindings bindings = DefaultPedalBindings();
    bindings[kRightPedal] = {"player.play_held", PedalMode::Toggle};
    bindings[kFourthPedal] = {"player.play_held", PedalMode::Hold};
    PedalActions actions(recorder.Sink(), bindings);

    // Toggle: press plays, the release does nothing, the next press pauses.
    actions.OnPedal("a", kRightPedal, true);
    actions.OnPedal("a", kRightPedal, false);
    EXPECT_TRUE(actions.IsToggledOn("player.play_held"));
    actions.OnPedal("a", kRightPedal, true);
    actions.OnPedal("a", kRightPedal, false);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"+player.play_held", "-player.play_held"}));
    recorder.log.clear();

    // One command held by two pedals of two devices: released by the last one only; a
    // repeated "down" of a pedal already down presses nothing.
    actions.OnPedal("a", kMiddlePedal, true);
    actions.OnPedal("b", kFourthPedal, true);
    actions.OnPedal("b", kFourthPedal, true);
    actions.OnPedal("a", kMiddlePedal, false);
    EXPECT_TRUE(actions.IsHeld("player.play_held"));
    actions.OnPedal("b", kFourthPedal, false);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"+player.play_held", "-player.play_held"}));
    recorder.log.clear();

    // A binding changed while the pedal is down: the release goes to what was pressed.
    actions.OnPedal("a", kLeftPedal, true);
    PedalBindings changed = bindings;
    changed[kLeftPedal] = {"player.forward_held", PedalMode::Hold};
    actions.SetBindings(changed);
    actions.OnPedal("a", kLeftPedal, false);
    // Unplugged while held: the command is released; the other device keeps its own.
    actions.OnPedal("a", kMiddlePedal, true);
    actions.OnPedal("b", kLeftPedal, true);
    actions.ReleaseDevice("a");
    EXPECT_FALSE(actions.IsHeld("player.play_held"));
    EXPECT_TRUE(actions.IsHeld("player.forward_held"));
    actions.ReleaseAll();
    EXPECT_EQ(recorder.log,
              (std::vector<std::string>{"+player.rewind_held", "-player.rewind_held",
                                        "+player.play_held", "+player.forward_held",
                                        "-player.play_held", "-player.forward_held"}));
    // Out-of-range pedals and unbound pedals do nothing.
    recorder.log.clear();
    actions.OnPedal("a", 7, true);
    actions.OnPedal("a", -1, true);
    EXPECT_TRUE(recorder.log.empty());
}

// The installed udev rule opens every known model through the interface it is read by.
TEST(PedalModels, TheUdevRuleCoversEveryModel) {
    std::ifstream in(NUV_PEDAL_RULES);
    ASSERT_TRUE(in.good());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    for (const PedalModel& model : KnownPedalModels()) {
        char ids[96];
        std::snprintf(ids, sizeof ids, "ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\"",
                      model.vendor, model.product);
        const std::string subsystem = model.kind == PedalKind::RawReports
                                          ? "SUBSYSTEM==\"hidraw\""
                                          : "SUBSYSTEM==\"input\", KERNEL==\"event*\"";
        const bool found = std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.find(subsystem) == 0 && l.find(ids) != std::string::npos &&
                   l.find("TAG+=\"uaccess\"") != std::string::npos;
        });
        EXPECT_TRUE(found) << model.name << " " << ids;
    }
}
