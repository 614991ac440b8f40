// Playback speed: the speed rules, the cycle at another speed, and the player window
// playing, showing and changing its speed.
#include "player/speed.h"

#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <vector>

#include "player/cycle.h"
#include "player/speed_control.h"
#include "player/tests/player_fixture.h"

TEST(Speed, StepsStayOnTheGridWithinTheRange) {
    struct Case {
        double speed;
        int steps;
        double expected;
    };
    const Case cases[] = {
        {1.0, 1, 1.05}, {1.0, -1, 0.95}, {0.5, -1, 0.5},    {2.0, 1, 2.0},  {0.55, -3, 0.5},
        {1.95, 4, 2.0}, {0.77, 0, 0.75}, {0.78, 1, 0.85},   {1.0, -8, 0.6}, {0.6, 28, 2.0},
        {NAN, 1, 1.05}, {-3.0, 1, 0.55}, {1e300, -1, 1.95}, {1.0, 0, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.speed << " by " << c.steps);
        EXPECT_EQ(StepSpeed(c.speed, c.steps), c.expected);
    }
    // Twenty steps down from 1.0 and twenty up again land exactly on 1.0.
    double speed = 1.0;
    for (int i = 0; i < 20; ++i) speed = StepSpeed(speed, -1);
    EXPECT_EQ(speed, 0.5);
    for (int i = 0; i < 10; ++i) speed = StepSpeed(speed, 1);
    EXPECT_EQ(speed, 1.0);
}

TEST(Speed, TextsForTheWindowAndTheProjectFile) {
    EXPECT_EQ(SpeedCaption(1.0), QStringLiteral("1.00×"));
    EXPECT_EQ(SpeedCaption(0.75), QStringLiteral("0.75×"));
    EXPECT_EQ(SpeedCaption(2.0), QStringLiteral("2.00×"));
    const std::pair<double, const char*> values[] = {{0.75, "0.75"}, {0.8, "0.8"}, {1.5, "1.5"},
                                                     {2.0, "2"},     {0.5, "0.5"}, {1.05, "1.05"}};
    for (const auto& [speed, text] : values) {
        EXPECT_EQ(SpeedValueText(speed), QString::fromLatin1(text));
        EXPECT_EQ(ParseSpeedValue(SpeedValueText(speed)), speed) << text;
    }
}

TEST(Speed, ProjectValuesThatAreNotSpeedsReadSensibly) {
    const std::pair<const char*, double> cases[] = {
        {"0.75", 0.75}, {"abc", 1.0}, {"9", 2.0},    {"0", 0.5},   {"-1", 0.5},
        {"", 1.0},      {"nan", 1.0}, {"inf", 1.0},  {"0,6", 0.6}, {" 1.25 ", 1.25},
        {"0.77", 0.75}, {"1e0", 1.0}, {"1.5x", 1.0}, {"0x1", 1.0},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseSpeedValue(QString::fromLatin1(text)), expected) << text;
}

TEST(CycleAtSpeed, HalfSpeedPlaysTwiceTheTicksAndPausesStayInTicks) {
    // L = 5, N = 2, P = 2 at 0.5: each playing lasts 10 s of ticks (50 steps, within one
    // step of the summed clock), each pause 2 s (10 steps).
    struct Run {
        int phase, repetition, length;
    };
    std::vector<Run> runs;
    std::vector<int> playSeconds;
    TRepetitionCycle cycle;
    for (int step = 0; step < 200; ++step) {
        const int phase = AdvanceCycle(cycle, kCycleStep, 5, 2, 2, 0.5);
        if (!runs.empty() && runs.back().repetition == cycle.Repetition &&
            (runs.back().phase == phase || (runs.back().phase == 3 && phase == 4) ||
             (runs.back().phase == 2 && phase == 1)))
            ++runs.back().length;
        else
            runs.push_back({phase, cycle.Repetition, 1});
        if (cycle.PlaySecond >= 0 && cycle.Repetition == 1 &&
            (playSeconds.empty() || playSeconds.back() != cycle.PlaySecond))
            playSeconds.push_back(cycle.PlaySecond);
        if (phase == CyclePhase::CycleDone) break;
    }
    ASSERT_EQ(runs.size(), 5u);
    const int kinds[5][2] = {{1, 1}, {3, 1}, {2, 2}, {3, 2}, {5, 2}};
    const int lengths[5] = {50, 10, 50, 10, 1};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(runs[i].phase, kinds[i][0]);
        EXPECT_EQ(runs[i].repetition, kinds[i][1]);
        EXPECT_NEAR(runs[i].length, lengths[i], 1);
    }
    // Status seconds count the recording: 0 … 4 over the ten seconds of ticks.
    EXPECT_EQ(playSeconds, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(CycleAtSpeed, NormalSpeedIsTheCycleWithoutSpeedStepForStep) {
    for (int L : {1, 5, 15})
        for (int N : {1, 2, 3})
            for (int P : {0, 2}) {
                TRepetitionCycle plain, normal;
                for (int step = 0; step < 300; ++step) {
                    ASSERT_EQ(AdvanceCycle(plain, kCycleStep, L, N, P),
                              AdvanceCycle(normal, kCycleStep, L, N, P, 1.0));
                    ASSERT_EQ(plain.Clock, normal.Clock);
                    ASSERT_EQ(plain.PlaySecond, normal.PlaySecond);
                    ASSERT_EQ(plain.PauseSecond, normal.PauseSecond);
                    ASSERT_EQ(plain.Repetition, normal.Repetition);
                }
            }
}

TEST(CycleAtSpeed, RetimingKeepsTheRecordingCoveredAndNeverRepeatsAJump) {
    struct Case {
        int stepsBefore;
        double from, to;
        int phaseTwoSteps;  // phase-2 steps expected in the rest of the cycle
    };
    // L = 5, N = 2, P = 2; at 1.0 step 36 is the second playing's jump.
    const Case cases[] = {
        {10, 1.0, 0.5, 1},  // first playing, 2 s in: 3 s of recording left, 6 s of ticks
        {36, 1.0, 0.5, 0},  // right after the jump: the jump is not taken again
        {36, 1.0, 2.0, 0}, {30, 1.0, 0.5, 1},  // in a pause: the jump still comes
        {35, 1.0, 2.0, 1},                     // the step before the jump: it stays the next step
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.stepsBefore << " " << c.from << "→" << c.to);
        TRepetitionCycle cycle;
        for (int i = 0; i < c.stepsBefore; ++i) AdvanceCycle(cycle, kCycleStep, 5, 2, 2, c.from);
        RetimeCycle(cycle, kCycleStep, 5, 2, 2, c.from, c.to);
        int jumps = 0;
        double recording = 0;  // seconds of the recording heard from here to the end
        for (int i = 0; i < 400; ++i) {
            const int phase = AdvanceCycle(cycle, kCycleStep, 5, 2, 2, c.to);
            if (phase == CyclePhase::Repeat) ++jumps;
            if (phase == CyclePhase::Playing || phase == CyclePhase::Repeat)
                recording += kCycleStep * c.to;
            if (phase == CyclePhase::CycleDone) break;
        }
        EXPECT_EQ(jumps, c.phaseTwoSteps);
        if (c.stepsBefore == 10) {
            EXPECT_NEAR(recording, 3.0 + 5.0, 2 * kCycleStep * c.to);
        }
    }
    // Retiming within the first playing: the recording time already covered is kept.
    TRepetitionCycle cycle;
    for (int i = 0; i < 10; ++i) AdvanceCycle(cycle, kCycleStep, 5, 2, 2, 1.0);
    TRepetitionCycle unchanged = cycle;
    AdvanceCycle(unchanged, kCycleStep, 5, 2, 2, 1.0);
    RetimeCycle(cycle, kCycleStep, 5, 2, 2, 1.0, 0.5);
    AdvanceCycle(cycle, kCycleStep, 5, 2, 2, 0.5);
    EXPECT_EQ(cycle.PlaySecond, unchanged.PlaySecond);
    EXPECT_NEAR(cycle.Clock, 2 * unchanged.Clock - kCycleStep, 1e-9);
    // The same speed, or a speed that is not one, leaves the clock alone.
    const double clock = cycle.Clock;
    RetimeCycle(cycle, kCycleStep, 5, 2, 2, 0.5, 0.5);
    RetimeCycle(cycle, kCycleStep, 5, 2, 2, 0.5, NAN);
    EXPECT_NE(cycle.Clock, clock);  // NaN counts as normal speed: 0.5 → 1.0 moves it
    TRepetitionCycle again;
    for (int i = 0; i < 10; ++i) AdvanceCycle(again, kCycleStep, 5, 2, 2, 0.5);
    const double before = again.Clock;
    RetimeCycle(again, kCycleStep, 5, 2, 2, 0.5, 0.5);
    EXPECT_EQ(again.Clock, before);
}

// ---------------------------------------------------------------- the window

TEST_F(PlayerTest, HalfSpeedRepeatsTheSameWordsAndStatusCountsTheRecording) {
    Add({Tone("a.wav", 30.0)});
    form->SetSpeed(0.5);
    Open(0);
    EXPECT_EQ(audio::StreamTempo(form->Stream), 0.5);
    Tick(25);  // 5 s of ticks: 2.5 s of the recording
    EXPECT_NEAR(Position(), 2.5, 1e-9);
    EXPECT_EQ(Panel(3), "Позиция: 2 сек");
    EXPECT_EQ(Panel(4), "Повтор: 1");
    EXPECT_EQ(Panel(5), "Воспр: 2 сек");
    // The first playing: 10 s of ticks (within one step of the summed clock).
    int ticks = 25;
    while (audio::StreamActivity(form->Stream) != audio::ACTIVE_PAUSED && ticks < 70) {
        Tick();
        ++ticks;
    }
    EXPECT_NEAR(ticks - 1, 50, 1);
    // Every tick of the playing and the one that paused heard 0.1 s of the recording: as
    // at normal speed, the fragment and one tick more.
    const double paused = Position();
    EXPECT_NEAR(paused, ticks * 0.1, 1e-9);
    EXPECT_NEAR(paused, 5.2, 0.11);
    // The pause: 2 s of ticks in silence.
    int silent = 0;
    while (audio::StreamActivity(form->Stream) == audio::ACTIVE_PAUSED && silent < 30) {
        EXPECT_EQ(Position(), paused);
        Tick();
        ++silent;
    }
    EXPECT_NEAR(silent, 10, 1);
    // Back by L = 5 s of the recording, and the same 5 s heard again.
    EXPECT_NEAR(Position(), paused - 5.0, 2.0 / 44100);
    EXPECT_EQ(Panel(4), "Повтор: 2");
    Tick(50);
    EXPECT_NEAR(Position(), paused, 0.11);
}

TEST_F(PlayerTest, SpeedControlShowsAndChangesTheSpeed) {
    Add({Tone("a.wav", 30.0)});
    Open(0);
    auto* value = form->findChild<QLabel*>("SpeedValue");
    auto* faster = form->findChild<QToolButton*>("SpeedFaster");
    auto* slower = form->findChild<QToolButton*>("SpeedSlower");
    ASSERT_TRUE(value && faster && slower);
    EXPECT_EQ(value->text(), "1.00×");
    QTest::mouseClick(slower, Qt::LeftButton);
    QTest::mouseClick(slower, Qt::LeftButton);
    EXPECT_EQ(form->Speed, 0.9);
    EXPECT_EQ(value->text(), "0.90×");
    EXPECT_EQ(audio::StreamTempo(form->Stream), 0.9);
    QTest::mouseClick(faster, Qt::LeftButton);
    EXPECT_EQ(value->text(), "0.95×");
    QTest::mouseDClick(value, Qt::LeftButton);
    EXPECT_EQ(form->Speed, 1.0);
    EXPECT_EQ(value->text(), "1.00×");
    // A file opened later plays at the speed set.
    form->SpeedSlower();
    Open(0);
    EXPECT_EQ(audio::StreamTempo(form->Stream), 0.95);
}

TEST_F(PlayerTest, SpeedMenuListsItsKeysAndEveryControlKeepsItsPlace) {
    ASSERT_NE(form->SpeedMenu, nullptr);
    EXPECT_EQ(form->menuBar()->actions().size(), 6);  // with "Голос", "Волна" and "Настройки"
    EXPECT_EQ(form->FasterItem->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Up));
    EXPECT_EQ(form->SlowerItem->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Down));
    EXPECT_EQ(form->NormalSpeedItem->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Home));
    form->SlowerItem->trigger();
    EXPECT_EQ(form->Speed, 0.95);
    form->NormalSpeedItem->trigger();
    EXPECT_EQ(form->Speed, 1.0);
    // The control sits in free space: it overlaps no other control of the window.
    QWidget* box = form->SpeedBox;
    ASSERT_NE(box, nullptr);
    const QRect area = box->geometry();
    EXPECT_TRUE(box->parentWidget()->rect().contains(area));
    for (QWidget* other : box->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == box || !other->isVisibleTo(form.get())) continue;
        EXPECT_FALSE(area.intersects(other->geometry())) << other->objectName().toStdString();
    }
    EXPECT_EQ(form->ListBox1->geometry(), QRect(5, 24, 649, 113));
    EXPECT_EQ(form->GroupBox1->geometry(), QRect(8, 143, 646, 74));
    EXPECT_EQ(form->centralWidget()->size(), QSize(662, 503));
}

TEST_F(PlayerTest, SpeedChangeRetimesTheCycleWithTheFieldsTheTickReads) {
    Add({Tone("a.wav", 30.0)});
    // Out of range as typed; the tick plays 1-s fragments with 5-s pauses.
    const struct {
        const char *length, *pause;
        int L, P;
    } cases[] = {{"0", "20", 1, 5}, {"20", "0", 15, 0}, {"abc", "-3", 5, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        form->SetSpeed(1.0);
        form->Edit1->setText(QString::fromLatin1(c.length));
        form->Edit3->setText(QString::fromLatin1(c.pause));
        Open(0);
        ResetCycle(form->Cycle);
        TRepetitionCycle expected = form->Cycle;
        for (int i = 0; i < 4; ++i) {
            Tick();
            AdvanceCycle(expected, kCycleStep, c.L, 2, c.P, 1.0);
        }
        ASSERT_EQ(form->Cycle.Clock, expected.Clock);
        form->SetSpeed(0.5);
        RetimeCycle(expected, kCycleStep, c.L, 2, c.P, 1.0, 0.5);
        EXPECT_EQ(form->Cycle.Clock, expected.Clock);
        EXPECT_EQ(form->Cycle.Phase, expected.Phase);
    }
}

TEST_F(PlayerTest, WheelOnTheSpeedControlAddsUpSmallDeltas) {
    const struct {
        std::vector<int> deltas;
        double speed;
    } cases[] = {
        {{120}, 1.05},                // one notch of an ordinary wheel
        {{40, 40, 40}, 1.05},         // a fine-step wheel: three thirds make a notch
        {{15, 15, 15, 15}, 1.0},      // half a notch of a touchpad: nothing yet
        {{-60, -60, -60, -60}, 0.9},  // two notches down
        {{100, -100, 100}, 1.0},      // turning back starts counting afresh
        {{360}, 1.15},
    };
    for (const auto& c : cases) {
        form->SetSpeed(1.0);
        for (int delta : c.deltas) {
            QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(form->SpeedBox, &wheel);
        }
        EXPECT_DOUBLE_EQ(form->Speed, c.speed) << c.deltas.size();
        // Whatever was left over does not carry into the next case.
        QWheelEvent back(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -1), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(form->SpeedBox, &back);
        QWheelEvent forth(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 1), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(form->SpeedBox, &forth);
    }
}
