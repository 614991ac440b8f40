#include "player/selection_loop.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <vector>

#include "audio/audio.h"
#include "player/cycle_marks.h"
#include "player/tests/sound_files.h"
#include "player/transport_rules.h"

namespace {

constexpr double kFrame = 1.0 / 44100;

// A sound that never repeats itself: equal stretches of output come from the same place.
float Chirp(long frame, int) {
    const double t = static_cast<double>(frame) / 44100;
    return static_cast<float>(0.5 * std::sin(2 * M_PI * (200 + 40 * t) * t));
}

// The player's tick on the manual output: render 200 ms, then one step of the cycle and
// its action on the stream, as the player window does it.
class LoopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        audio::CloseDevice();
        ASSERT_TRUE(audio::OpenManualOutput(44100));
        const std::string path = folder.filePath("chirp.wav").toStdString();
        ASSERT_TRUE(WriteSoundFile(path, 44100, 1, 44100 * 30, Chirp));
        stream = audio::OpenFileStream(false, path, 0, 0, audio::STREAM_PRESCAN);
        ASSERT_NE(stream, 0u);
    }
    void TearDown() override { audio::CloseDevice(); }

    double Position() const {
        return audio::BytesToSeconds(stream, audio::StreamPosition(stream, audio::POS_BYTE));
    }
    double Length() const {
        return audio::BytesToSeconds(stream, audio::StreamLength(stream, audio::POS_BYTE));
    }
    void Seek(double seconds) {
        audio::SeekStream(
            stream, SecondsToBytes(audio::StreamLength(stream, audio::POS_BYTE), seconds, Length()),
            audio::POS_BYTE);
    }
    void Start(double tempo) {
        ASSERT_TRUE(audio::SetStreamTempo(stream, tempo));
        speed = tempo;
        audio::PlayStream(stream, false);
    }
    // Renders one tick's sound into `heard` (left channel).
    void Render(std::vector<float>* heard) {
        std::vector<float> mix;
        audio::AdvanceManualOutput(8820, &mix);
        if (heard != nullptr)
            for (std::size_t i = 0; i < mix.size(); i += 2) heard->push_back(mix[i]);
    }
    // One tick of the normal cycle; returns the phase.
    int NormalTick(int L, int N, int P, int S, std::vector<float>* heard = nullptr) {
        Render(heard);
        const double position = Position();
        const int phase = AdvanceCycle(cycle, kCycleStep, L, N, P, speed);
        switch (phase) {
            case CyclePhase::Playing:
                if (audio::StreamActivity(stream) == audio::ACTIVE_STOPPED)
                    audio::PlayStream(stream, false);
                break;
            case CyclePhase::Repeat:
                Seek(std::max(0.0, position - L));
                audio::PlayStream(stream, false);
                break;
            case CyclePhase::PauseBegins:
                audio::PauseStream(stream);
                break;
            case CyclePhase::CycleDone:
                Seek(std::max(0.0, position - S));
                audio::PlayStream(stream, false);
                break;
            default:
                break;
        }
        return phase;
    }
    // One tick of the selection loop; returns whether the engine halts.
    bool LoopTick(const LoopSelection& selection, int N, int P, std::vector<float>* heard) {
        Render(heard);
        const LoopAction action = AdvanceSelectionLoop(cycle, selection, kCycleStep, N, P, speed);
        return ActOnLoop(stream, action, selection, [this] { audio::PlayStream(stream, false); });
    }

    QTemporaryDir folder;
    audio::HSTREAM stream = 0;
    TRepetitionCycle cycle;
    double speed = 1.0;
};

// Stretches of non-silent output separated by silence.
std::vector<std::vector<float>> Playings(const std::vector<float>& heard, std::size_t minGap,
                                         std::vector<std::size_t>* gaps) {
    std::vector<std::vector<float>> runs;
    std::size_t i = 0;
    while (i < heard.size()) {
        std::size_t quiet = i;
        while (quiet < heard.size() && heard[quiet] == 0.0f) ++quiet;
        if (quiet - i >= minGap || i == 0) {
            if (!runs.empty() && gaps != nullptr) gaps->push_back(quiet - i);
            if (quiet < heard.size()) runs.emplace_back();
        } else if (!runs.empty()) {
            runs.back().insert(runs.back().end(), heard.begin() + static_cast<long>(i),
                               heard.begin() + static_cast<long>(quiet));
        }
        i = quiet;
        while (i < heard.size() && heard[i] != 0.0f) runs.back().push_back(heard[i++]);
    }
    return runs;
}

}  // namespace

TEST_F(LoopTest, TheShadedFragmentIsWhatTheCycleThenPlays) {
    // L = 5, N = 2, P = 2, S = 1 from 3 s into the recording, at 1.0 and at 0.5: at every
    // tick the marks name where the current repetition began, where its playing stops and
    // where the next playing begins, as the sound then shows.
    for (double tempo : {1.0, 0.5}) {
        SCOPED_TRACE(tempo);
        cycle = TRepetitionCycle{};
        Seek(3.0);
        Start(tempo);
        std::vector<double> starts{3.0};                          // where each playing began
        std::vector<double> ends;                                 // where each playing stopped
        std::vector<std::pair<FragmentMarks, std::size_t>> seen;  // marks, playing
        for (int tick = 0; tick < (tempo == 1.0 ? 216 : 363); ++tick) {  // three cycles
            const int phase = NormalTick(5, 2, 2, 1);
            const double now = Position();
            if (phase == CyclePhase::PauseBegins) ends.push_back(now);
            if (phase == CyclePhase::Repeat || phase == CyclePhase::CycleDone)
                starts.push_back(now);
            seen.emplace_back(CycleMarks(cycle, now, Length(), 5, 2, 2, 1, tempo),
                              starts.size() - 1);
        }
        ASSERT_GE(ends.size(), 4u);
        for (std::size_t i = 0; i < seen.size(); ++i) {
            const auto& [marks, k] = seen[i];
            ASSERT_TRUE(marks.Valid);
            EXPECT_NEAR(marks.Start, starts[k], 2 * kFrame) << "tick " << i;
            if (k < ends.size()) {
                EXPECT_NEAR(marks.End, ends[k], 2 * kFrame) << "tick " << i;
            }
            if (k + 1 < starts.size()) {
                EXPECT_NEAR(marks.NextStart, starts[k + 1], 2 * kFrame) << "tick " << i;
            }
        }
        // The second playing starts L before the end of the first; the next fragment S
        // before the end of the second.
        EXPECT_NEAR(starts[1], ends[0] - 5, 2 * kFrame);
        EXPECT_NEAR(starts[2], ends[1] - 1, 2 * kFrame);
    }
}

TEST_F(LoopTest, ASelectionRepeatsTheSameSoundNTimesWithThePauseBetween) {
    for (double tempo : {1.0, 0.75}) {
        SCOPED_TRACE(tempo);
        cycle = TRepetitionCycle{};
        Seek(11.0);
        Start(tempo);
        const auto selection = MakeSelection(6.6, 4.3, Length(), false);  // dragged leftwards
        ASSERT_TRUE(selection);
        EXPECT_DOUBLE_EQ(selection->Start, 4.3);
        ResetCycle(cycle);
        std::vector<float> heard;
        int ticks = 0;
        while (!LoopTick(*selection, 3, 1, &heard)) ASSERT_LT(++ticks, 500);
        // Halted at the start, ready to be heard again with F3.
        EXPECT_NEAR(Position(), 4.3, 2 * kFrame);
        EXPECT_EQ(audio::StreamActivity(stream), audio::ACTIVE_STOPPED);

        std::vector<std::size_t> gaps;
        // The first tick still sounds from 11 s; drop it.
        const std::vector<float> after(heard.begin() + 8820, heard.end());
        const auto runs = Playings(after, 4410, &gaps);
        ASSERT_EQ(runs.size(), 3u);
        // Each playing covers the 2.3 s in whole ticks: 12 at 1.0, 16 at 0.75.
        const int steps = SelectionPlayingSteps(*selection, kCycleStep, tempo);
        EXPECT_EQ(steps, tempo == 1.0 ? 12 : 16);
        for (const auto& run : runs) {
            EXPECT_NEAR(static_cast<double>(run.size()), steps * 8820.0, 0.01 * 44100);
            ASSERT_EQ(run, runs[0]);  // the same samples every time
        }
        ASSERT_GE(gaps.size(), 2u);
        for (std::size_t g = 0; g < 2; ++g)
            EXPECT_NEAR(static_cast<double>(gaps[g]) / 44100, 1.0, kCycleStep + 0.01);
        if (tempo == 1.0) {
            // At normal speed the playing is the recording itself from the selection's start.
            const auto first = static_cast<long>(
                SecondsToBytes(audio::StreamLength(stream, audio::POS_BYTE), 4.3, Length()) / 2);
            for (std::size_t i = 0; i < 44100; i += 97)
                ASSERT_NEAR(runs[0][i], Chirp(first + static_cast<long>(i), 0), 1e-4) << i;
        }
    }
}

TEST_F(LoopTest, AnEndlessSelectionGoesOnAndClearingReturnsToTheNormalCycle) {
    Seek(2.0);
    Start(1.0);
    const LoopSelection selection{2.0, 3.0, true};
    ResetCycle(cycle);
    for (int tick = 0; tick < 100; ++tick) ASSERT_FALSE(LoopTick(selection, 2, 1, nullptr));
    EXPECT_GE(cycle.Repetition, 9);  // far past N = 2
    const double position = Position();
    EXPECT_GE(position, 2.0 - 2 * kFrame);
    EXPECT_LE(position, 3.2 + 2 * kFrame);
    // Cleared: the normal cycle (L = 5) starts afresh from where the sound is.
    ResetCycle(cycle);
    if (audio::StreamActivity(stream) != audio::ACTIVE_PLAYING) audio::PlayStream(stream, false);
    const double from = Position();
    for (int tick = 0; tick < 25; ++tick)
        EXPECT_EQ(NormalTick(5, 2, 2, 1), CyclePhase::Playing) << tick;
    EXPECT_NEAR(Position(), from + 5.0, 2 * kFrame);
    EXPECT_EQ(NormalTick(5, 2, 2, 1), CyclePhase::PauseBegins);
}

TEST(SelectionLoop, MakingAndReadingSelections) {
    struct Case {
        const char* text;
        double length;
        bool valid;
        double start, end;
        bool endless;
    } cases[] = {
        {"1000,3300", 10, true, 1.0, 3.3, false},
        {"3300,1000", 10, true, 1.0, 3.3, false},     // reversed
        {"-500,1000", 10, true, 0.0, 1.0, false},     // negative
        {"1000,999999", 10, true, 1.0, 10.0, false},  // past the end
        {"20000,30000", 10, false, 0, 0, false},      // wholly beyond the end
        {"1000,1100", 10, false, 0, 0, false},        // shorter than 0.2 s
        {"1000,3300,endless", 10, true, 1.0, 3.3, true},
        {"1000,3300,sometimes", 10, true, 1.0, 3.3, false},
        {"abc", 10, false, 0, 0, false},
        {"1000,", 10, false, 0, 0, false},
        {"1000,3300", 0, false, 0, 0, false},  // no recording
        {"0,100", 0.1, false, 0, 0, false},    // a tenth of a second
    };
    for (const Case& c : cases) {
        const auto got = ParseSelectionValue(QString::fromLatin1(c.text), c.length);
        ASSERT_EQ(got.has_value(), c.valid) << c.text;
        if (!got) continue;
        EXPECT_DOUBLE_EQ(got->Start, c.start) << c.text;
        EXPECT_DOUBLE_EQ(got->End, c.end) << c.text;
        EXPECT_EQ(got->Endless, c.endless) << c.text;
        EXPECT_EQ(ParseSelectionValue(SelectionValueText(*got), c.length), got) << c.text;
    }
    EXPECT_EQ(SelectionValueText({1.2345, 3.3, true}), "1235,3300,endless");
    EXPECT_FALSE(MakeSelection(std::nan(""), 3, 10, false));
}
