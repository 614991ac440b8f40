#include "player/player_transport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A stream that writes down what is done to it.
class FakeStream final : public TransportStream {
  public:
    bool open = true;
    double position = 10.0;
    double length = 60.0;
    std::uint32_t activity = audio::ACTIVE_PLAYING;
    bool reconnecting = false;
    std::uint64_t bytes = 0;
    mutable std::vector<std::string> calls;

    bool IsOpen() const override { return open; }
    double Position() const override { return position; }
    double Length() const override { return length; }
    void Seek(double seconds, double lengthSeconds) override {
        calls.push_back("seek " + Number(seconds) + " of " + Number(lengthSeconds));
        position = seconds < 0.0 ? 0.0 : seconds;
    }
    void Play() override { calls.push_back("play"); }
    void Pause() override { calls.push_back("pause"); }
    void Stop() override { calls.push_back("stop"); }
    std::uint32_t Activity() const override { return activity; }
    bool Reconnecting() const override { return reconnecting; }
    audio::HSTREAM Handle() const override { return open ? 7 : 0; }
    std::uint64_t BytePosition() const override { return bytes; }

    static std::string Number(double v) {
        std::string text = std::to_string(v);
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
        return text;
    }
};

using Calls = std::vector<std::string>;

struct Player {
    FakeStream stream;
    TRepetitionCycle cycle;
    bool stopped = false;
    PlayerTransport transport{stream, cycle, stopped};
};

TEST(PlayerTransport, CommandsMoveAndPlayAsTheKeysPromise) {
    const struct {
        const char* name;
        bool stoppedBefore;
        double position;
        void (*command)(PlayerTransport&);
        Calls calls;
        bool stoppedAfter;
    } cases[] = {
        {"F2 back",
         true,
         10.0,
         [](PlayerTransport& t) { t.Back(5.0); },
         {"seek 5 of 60", "play"},
         false},
        {"F2 near the start",
         false,
         2.0,
         [](PlayerTransport& t) { t.Back(5.0); },
         {"seek -3 of 60", "play"},
         false},
        {"F3 play", true, 10.0, [](PlayerTransport& t) { t.Play(); }, {"play"}, false},
        {"F4 halt", false, 10.0, [](PlayerTransport& t) { t.Halt(); }, {"stop"}, true},
        {"F5 next",
         true,
         10.0,
         [](PlayerTransport& t) { t.Next(5.0); },
         {"seek 15 of 60", "play"},
         false},
        {"F5 near the end: only the position",
         false,
         58.0,
         [](PlayerTransport& t) { t.Next(5.0); },
         {"seek 59.5 of 60"},
         false},
        {"play from a moment",
         true,
         10.0,
         [](PlayerTransport& t) { t.PlayFrom(30.0); },
         {"seek 30 of 60", "play"},
         false},
        {"play from beyond the end halts there",
         false,
         10.0,
         [](PlayerTransport& t) { t.PlayFrom(75.0); },
         {"seek 60 of 60", "stop"},
         true},
        {"a click while playing only moves",
         false,
         10.0,
         [](PlayerTransport& t) { t.ClickTo(20.0); },
         {"seek 20 of 60"},
         false},
        {"a click while halted plays again",
         true,
         10.0,
         [](PlayerTransport& t) { t.ClickTo(20.0); },
         {"seek 20 of 60", "play"},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Player p;
        p.stopped = c.stoppedBefore;
        p.stream.position = c.position;
        p.cycle.Clock = 3.0;
        p.cycle.Phase = CyclePhase::Playing;
        c.command(p.transport);
        EXPECT_EQ(p.stream.calls, c.calls);
        EXPECT_EQ(p.stopped, c.stoppedAfter);
    }
    // Back, next and play-from start the cycle afresh; without a recording nothing happens.
    for (auto command :
         {+[](PlayerTransport& t) { t.Back(5.0); }, +[](PlayerTransport& t) { t.Next(5.0); },
          +[](PlayerTransport& t) { t.PlayFrom(1.0); }}) {
        Player p;
        p.cycle.Clock = 3.0;
        command(p.transport);
        EXPECT_EQ(p.cycle.Clock, 0.0);
        EXPECT_EQ(p.cycle.Phase, CyclePhase::Reset);
        Player none;
        none.stream.open = false;
        none.stopped = true;
        command(none.transport);
        EXPECT_TRUE(none.stream.calls.empty());
        EXPECT_TRUE(none.stopped);
    }
    Player none;
    none.stream.open = false;
    EXPECT_FALSE(none.transport.PlayFrom(1.0));
}

TEST(PlayerTransport, WhatATickDecides) {
    const struct {
        const char* name;
        bool stopped;
        bool open;
        std::uint32_t activity;
        bool selection;
        bool reconnecting;
        bool moved;  // the position moved since the previous tick
        TickMove move;
    } cases[] = {
        {"playing", false, true, audio::ACTIVE_PLAYING, false, false, true, TickMove::Step},
        {"halted", true, true, audio::ACTIVE_PLAYING, false, false, true, TickMove::Wait},
        {"no recording", false, false, audio::ACTIVE_PLAYING, false, false, true, TickMove::Wait},
        {"the recording ended", false, true, audio::ACTIVE_STOPPED, false, false, true,
         TickMove::NextEntry},
        {"ended inside a selection loop", false, true, audio::ACTIVE_STOPPED, true, false, false,
         TickMove::Step},
        {"sound standing still", false, true, audio::ACTIVE_PLAYING, false, false, false,
         TickMove::Wait},
        {"stalled and standing", false, true, audio::ACTIVE_STALLED, false, false, false,
         TickMove::Wait},
        {"paused in the cycle's pause", false, true, audio::ACTIVE_PAUSED, false, false, false,
         TickMove::Step},
        {"a selection loop holds the stream", false, true, audio::ACTIVE_PLAYING, true, false,
         false, TickMove::Step},
        {"the sound card reconnecting", false, true, audio::ACTIVE_PLAYING, false, true, true,
         TickMove::Wait},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Player p;
        p.stopped = c.stopped;
        p.stream.open = c.open;
        p.stream.activity = c.activity;
        p.stream.reconnecting = c.reconnecting;
        p.stream.bytes = 1000;
        p.transport.Tick(c.selection);  // the tick before
        if (c.moved) p.stream.bytes += 100;
        EXPECT_EQ(p.transport.Tick(c.selection), c.move);
        EXPECT_TRUE(p.stream.calls.empty());  // a tick only decides
    }
}

// Every phase of the cycle over more than one whole cycle (L 2 s, N 2, P 1 s, S 1 s): the sound
// follows the phase the cycle itself reports.
TEST(PlayerTransport, EachPhaseOfTheCycleMovesTheSound) {
    Player p;
    TRepetitionCycle reference;
    const CycleParameters parameters{2, 2, 1, 1};
    std::vector<int> seen(6, 0);
    for (int step = 0; step < 40; ++step) {
        SCOPED_TRACE(step);
        p.stream.calls.clear();
        // Halted sound after a pause or at the end of the recording: the cycle plays it again.
        p.stream.activity = step % 7 == 0 ? audio::ACTIVE_STOPPED : audio::ACTIVE_PLAYING;
        const double at = p.stream.position;
        p.transport.Step(parameters, 1.0);
        const int phase = AdvanceCycle(reference, kCycleStep, 2, 2, 1);
        ++seen[phase];
        Calls expected;
        switch (phase) {
            case CyclePhase::Playing:
                if (p.stream.activity == audio::ACTIVE_STOPPED) expected = {"play"};
                break;
            case CyclePhase::Repeat:
                expected = {"seek " + FakeStream::Number(at - 2) + " of 60", "play"};
                break;
            case CyclePhase::PauseBegins:
                expected = {"pause"};
                break;
            case CyclePhase::CycleDone:
                expected = {"seek " + FakeStream::Number(at - 1) + " of 60", "play"};
                break;
        }
        EXPECT_EQ(p.stream.calls, expected);
        EXPECT_EQ(p.cycle.Phase, phase);
        if (phase == CyclePhase::Playing) p.stream.position += kCycleStep;
    }
    for (int phase : {CyclePhase::Playing, CyclePhase::Repeat, CyclePhase::PauseBegins,
                      CyclePhase::Pausing, CyclePhase::CycleDone})
        EXPECT_GT(seen[phase], 0) << phase;
}

TEST(PlayerTransport, TheNextEntryOrTheHaltAfterTheLast) {
    const struct {
        int current, count;
        std::optional<int> next;
    } cases[] = {{0, 3, 1},  {1, 3, 2},           {2, 3, std::nullopt}, {0, 1, std::nullopt},
                 {-1, 2, 0}, {0, 0, std::nullopt}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.current);
        Player p;
        EXPECT_EQ(p.transport.NextEntry(c.current, c.count), c.next);
        EXPECT_EQ(p.stopped, !c.next.has_value());
    }
}

}  // namespace
