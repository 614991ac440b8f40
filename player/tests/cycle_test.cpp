#include "player/cycle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct ExpectedStep {
    int phase;
    int repetition;
    int playSecond;   // -1 when not playing
    int pauseSecond;  // -1 when not pausing
};

// The cycle with L = 5, N = 2, P = 2 as a table of step ranges: phase and repetition for
// each range; the seconds counters follow from the clock the test keeps itself.
std::vector<ExpectedStep> DefaultCycleFromTable() {
    struct Range {
        int first, last, phase, repetition;
        double partStart;  // clock at which the range's playing part or pause began
        bool playing;
    };
    const Range ranges[] = {
        {1, 25, 1, 1, 0.0, true},    {26, 26, 3, 1, 5.0, false}, {27, 35, 4, 1, 5.0, false},
        {36, 36, 2, 2, 7.0, true},   {37, 61, 1, 2, 7.0, true},  {62, 62, 3, 2, 12.0, false},
        {63, 71, 4, 2, 12.0, false}, {72, 72, 5, 2, 0.0, false},
    };
    std::vector<ExpectedStep> steps;
    double clock = 0.0;  // clock before each step, summed like the player's
    for (const Range& r : ranges) {
        for (int step = r.first; step <= r.last; ++step) {
            ExpectedStep e{r.phase, r.repetition, -1, -1};
            if (r.phase != 5) {
                const int second = static_cast<int>(clock - r.partStart);
                (r.playing ? e.playSecond : e.pauseSecond) = second;
            }
            steps.push_back(e);
            clock += 0.2;
        }
    }
    return steps;
}

}  // namespace

TEST(AdvanceCycle, DefaultsFollowTheWorkedExampleOverTwoCycles) {
    const std::vector<ExpectedStep> expected = DefaultCycleFromTable();
    ASSERT_EQ(expected.size(), 72u);
    TRepetitionCycle cycle;
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 72; ++i) {
            const int step = round * 72 + i + 1;
            const int phase = AdvanceCycle(cycle, kCycleStep, 5, 2, 2);
            SCOPED_TRACE("step " + std::to_string(step));
            EXPECT_EQ(phase, expected[i].phase);
            EXPECT_EQ(cycle.Phase, expected[i].phase);
            EXPECT_EQ(cycle.Repetition, expected[i].repetition);
            EXPECT_EQ(cycle.PlaySecond, expected[i].playSecond);
            EXPECT_EQ(cycle.PauseSecond, expected[i].pauseSecond);
        }
        EXPECT_EQ(cycle.Clock, 0.0);
    }
    // Step 73 and on: the next fragment, repetition 1 again.
    EXPECT_EQ(AdvanceCycle(cycle, kCycleStep, 5, 2, 2), 1);
    EXPECT_EQ(cycle.Repetition, 1);
    EXPECT_EQ(cycle.PlaySecond, 0);
}

TEST(AdvanceCycle, PlaySecondsRunZeroToFourAndPauseSecondsZeroThenOne) {
    TRepetitionCycle cycle;
    std::vector<int> playSeconds, pauseSeconds;
    for (int step = 1; step <= 35; ++step) {
        AdvanceCycle(cycle, kCycleStep, 5, 2, 2);
        if (cycle.PlaySecond >= 0 &&
            (playSeconds.empty() || playSeconds.back() != cycle.PlaySecond))
            playSeconds.push_back(cycle.PlaySecond);
        if (cycle.PauseSecond >= 0 &&
            (pauseSeconds.empty() || pauseSeconds.back() != cycle.PauseSecond))
            pauseSeconds.push_back(cycle.PauseSecond);
    }
    EXPECT_EQ(playSeconds, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(pauseSeconds, (std::vector<int>{0, 1}));
}

namespace {
std::vector<int> Phases(TRepetitionCycle& cycle, int steps, int L, int N, int P) {
    std::vector<int> phases;
    for (int i = 0; i < steps; ++i) phases.push_back(AdvanceCycle(cycle, kCycleStep, L, N, P));
    return phases;
}
std::vector<int> Repeat(int phase, int count) {
    return std::vector<int>(count, phase);
}
std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}
}  // namespace

TEST(AdvanceCycle, OneRepetitionWithoutPauseJumpsAfterEveryPiece) {
    TRepetitionCycle cycle;
    const auto piece = Join({Repeat(1, 25), {5}});
    EXPECT_EQ(Phases(cycle, 52, 5, 1, 0), Join({piece, piece}));
}

TEST(AdvanceCycle, ThreeRepetitionsWithoutPauseFollowEachOtherDirectly) {
    // Runs of (phase, repetition): the summed clock may move a boundary by one step, so
    // the lengths of the playing runs are checked within one step.
    struct Run {
        int phase, repetition, length;
    };
    std::vector<Run> runs;
    TRepetitionCycle cycle;
    int steps = 0;
    while (steps < 100) {
        const int phase = AdvanceCycle(cycle, kCycleStep, 5, 3, 0);
        ++steps;
        if (!runs.empty() && runs.back().phase == phase &&
            runs.back().repetition == cycle.Repetition)
            ++runs.back().length;
        else
            runs.push_back({phase, cycle.Repetition, 1});
        if (phase == 5) break;
    }
    ASSERT_EQ(runs.size(), 6u);
    const int kinds[6][2] = {{1, 1}, {2, 2}, {1, 2}, {2, 3}, {1, 3}, {5, 3}};
    const int lengths[6] = {25, 1, 24, 1, 24, 1};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE("run " + std::to_string(i));
        EXPECT_EQ(runs[i].phase, kinds[i][0]);
        EXPECT_EQ(runs[i].repetition, kinds[i][1]);
        EXPECT_NEAR(runs[i].length, lengths[i], 1);
    }
    // Three playings of 5 s at 0.2 s a step, then the end of the cycle.
    EXPECT_NEAR(steps, 76, 1);
}

TEST(AdvanceCycle, LoweringRepetitionsMidCycleEndsItAtTheNextStep) {
    TRepetitionCycle cycle;
    Phases(cycle, 40, 5, 2, 2);  // inside the second playing
    ASSERT_EQ(cycle.Repetition, 2);
    EXPECT_EQ(AdvanceCycle(cycle, kCycleStep, 5, 1, 2), 5);
    EXPECT_EQ(cycle.Clock, 0.0);
    EXPECT_EQ(AdvanceCycle(cycle, kCycleStep, 5, 1, 2), 1);
}

TEST(AdvanceCycle, RaisingRepetitionsMidCycleLengthensItAtOnce) {
    TRepetitionCycle cycle;
    Phases(cycle, 70, 5, 2, 2);  // in the second pause
    ASSERT_EQ(cycle.Phase, 4);
    // Step 71 is still the pause; step 72 now starts a third playing instead of ending.
    EXPECT_EQ(Phases(cycle, 2, 5, 3, 2), (std::vector<int>{4, 2}));
    EXPECT_EQ(cycle.Repetition, 3);
}

TEST(AdvanceCycle, ChangingTheLengthTakesEffectAtTheNextStep) {
    TRepetitionCycle cycle;
    Phases(cycle, 10, 5, 2, 2);  // clock 2.0 after ten steps
    // With L = 3 the playing part ends at clock 3.0, then 10 steps of pause, then phase 2.
    const auto phases = Phases(cycle, 17, 3, 2, 2);
    EXPECT_EQ(phases, Join({Repeat(1, 5), {3}, Repeat(4, 9), {2}, {1}}));
}

TEST(AdvanceCycle, ResetStartsOverAtTheFirstRepetition) {
    TRepetitionCycle cycle;
    Phases(cycle, 50, 5, 2, 2);
    ResetCycle(cycle);
    EXPECT_EQ(cycle.Phase, 0);
    EXPECT_EQ(cycle.Clock, 0.0);
    EXPECT_EQ(cycle.Repetition, 2);  // kept until the next step rewrites it
    EXPECT_EQ(AdvanceCycle(cycle, kCycleStep, 5, 2, 2), 1);
    EXPECT_EQ(cycle.Repetition, 1);
    EXPECT_EQ(cycle.PlaySecond, 0);
}

TEST(Parameters, NormalisationFallsBackToTheDefaultAndClamps) {
    EXPECT_EQ(NormaliseParameter("abc", kFragmentLength), "5");
    EXPECT_EQ(NormaliseParameter("", kRepetitions), "2");
    EXPECT_EQ(NormaliseParameter("1.5", kPause), "2");
    EXPECT_EQ(NormaliseParameter("99", kFragmentLength), "15");
    EXPECT_EQ(NormaliseParameter("0", kFragmentLength), "1");
    EXPECT_EQ(NormaliseParameter("11", kRepetitions), "10");
    EXPECT_EQ(NormaliseParameter("-4", kPause), "0");
    EXPECT_EQ(NormaliseParameter("4", kShiftBack), "3");
    EXPECT_EQ(NormaliseParameter(" 7 ", kFragmentLength), "7");
    EXPECT_EQ(NormaliseParameter("007", kFragmentLength), "7");
    EXPECT_EQ(NormaliseParameter("99999999999999999999", kRepetitions), "2");
}

TEST(Parameters, TickReadsTheNumberOrTheDefaultWhileTyping) {
    EXPECT_EQ(ReadParameter("12", kFragmentLength), 12);
    EXPECT_EQ(ReadParameter("", kFragmentLength), 5);
    EXPECT_EQ(ReadParameter("-", kPause), 2);
    EXPECT_EQ(ReadParameter("3x", kShiftBack), 1);
    EXPECT_DOUBLE_EQ(ReadFragmentSeconds("7"), 7.0);
    EXPECT_DOUBLE_EQ(ReadFragmentSeconds("2,5"), 2.5);
    EXPECT_DOUBLE_EQ(ReadFragmentSeconds(""), 5.0);
    EXPECT_DOUBLE_EQ(ReadFragmentSeconds("nan"), 5.0);
    EXPECT_DOUBLE_EQ(ReadFragmentSeconds("inf"), 5.0);
}

TEST(CycleHold, NoStepWhileTheSoundCardReconnectsOrAPlayingStreamStandsStill) {
    // One tick per row: reconnecting, stream, playing, position → may step.
    const struct {
        bool reconnecting;
        std::uint32_t stream;
        bool playing;
        std::uint64_t position;
        bool mayStep;
    } ticks[] = {
        {false, 1, true, 0, true},     // the first tick of a stream
        {false, 1, true, 100, true},   // it advances
        {false, 1, true, 100, false},  // it stands still while playing
        {true, 1, true, 100, false},   // the card is being looked for
        {true, 1, true, 200, false},   // whatever the position says meanwhile
        {false, 1, true, 300, true},   // back: it advances again
        {false, 1, false, 300, true},  // a pause stands still by design
        {false, 1, false, 300, true},  //
        {false, 1, true, 300, true},   // playing again from the paused place
        {false, 2, true, 300, true},   // another stream at the same place
        {false, 2, true, 300, false},  //
    };
    TCycleHold hold;
    int row = 0;
    for (const auto& t : ticks) {
        EXPECT_EQ(hold.MayStep(t.reconnecting, t.stream, t.playing, t.position), t.mayStep)
            << "row " << row;
        ++row;
    }
}
