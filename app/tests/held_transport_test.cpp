// Play, rewind and forward while held, and the back-step after a pause, on a playing stream
// of the manual output: every 200 ms tick renders exactly 200 ms first.
#include "player/held_transport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/player_media_controls.h"
#include "app/tests/sound_files.h"
#include "audio/audio.h"
#include "player/player_controls.h"
#include "player/player_window.h"

namespace {

// A seek lands on a whole frame.
constexpr double kFrame = 1.0 / 44100 + 1e-9;

class HeldTransportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        audio::CloseDevice();
        ASSERT_TRUE(audio::OpenManualOutput(44100));
        form = std::make_unique<TForm1>();
        form->Timer1->stop();
        const QString path = folder.filePath("a.wav");
        ASSERT_TRUE(e2e::WriteWav(path, 30.0, 44100, 1));
        form->AddRecordings({path});
        form->ListBox1->setCurrentRow(0);
        form->ListBox1Click();
        ASSERT_NE(form->Stream, 0u);
        held = std::make_unique<HeldTransport>(PlayerTransportLink(*form));
    }
    void TearDown() override {
        held.reset();
        form.reset();
        audio::CloseDevice();
    }
    void Tick(int count = 1) {
        for (int i = 0; i < count; ++i) {
            audio::AdvanceManualOutput(8820);
            form->Timer1Timer();
        }
    }
    double Position() const { return form->RecordingPosition().value_or(-1.0); }
    bool Sounding() const { return audio::StreamActivity(form->Stream) == audio::ACTIVE_PLAYING; }

    QTemporaryDir folder;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<HeldTransport> held;
};

TEST_F(HeldTransportTest, PlayWhileHeldAndTheBackStepAfterEachPause) {
    form->BitBtn3Click();
    ASSERT_TRUE(form->Stopped);
    struct Case {
        int backStep;
        int ticksHeld;
        double expectedAfter;  // the position after the release, from 0 at the press
    };
    // Within the first playing of the fragment (5 s). 0 = the pause exactly as F4 has it;
    // the step never goes before the start; more than 5 s is held to 5.
    const Case cases[] = {{0, 5, 1.0}, {2, 10, 0.0}, {3, 24, 1.8}, {9, 24, 0.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.backStep);
        form->PlayFrom(0.0);
        form->BitBtn3Click();
        held->SetBackStep(c.backStep);
        held->PlayPressed();
        EXPECT_FALSE(form->Stopped);
        Tick(c.ticksHeld);
        EXPECT_NEAR(Position(), c.ticksHeld * 0.2, kFrame);
        held->PlayReleased();
        EXPECT_TRUE(form->Stopped);
        EXPECT_FALSE(Sounding());
        EXPECT_NEAR(Position(), c.expectedAfter, kFrame);
        Tick(3);  // halted: the position stays
        EXPECT_NEAR(Position(), c.expectedAfter, kFrame);
    }
    EXPECT_EQ(held->BackStep(), kBackStepMaximum);  // 9 was held to 5
}

TEST_F(HeldTransportTest, RewindWhileHeldIsSilentAndRestartsTheCycleOnRelease) {
    form->PlayFrom(10.0);
    Tick(12);  // 2.4 s into the first fragment
    const double before = Position();
    held->WindPressed(-1);
    EXPECT_NEAR(Position(), before - 1.0, kFrame);
    EXPECT_FALSE(Sounding());
    for (int step = 0; step < 3; ++step) held->WindStep();  // 300 ms held
    Tick(2);  // the tick neither plays nor moves meanwhile
    EXPECT_NEAR(Position(), before - 4.0, kFrame);
    EXPECT_FALSE(Sounding());
    held->WindReleased();
    EXPECT_FALSE(held->Winding());
    EXPECT_FALSE(form->Stopped);
    EXPECT_TRUE(Sounding());
    EXPECT_EQ(form->Cycle.Phase, 0);
    Tick();
    EXPECT_EQ(form->Cycle.Repetition, 1);
    EXPECT_NEAR(Position(), before - 4.0 + 0.2, kFrame);
    held->WindStep();  // a stray step after the release does nothing
    EXPECT_NEAR(Position(), before - 4.0 + 0.2, kFrame);
}

TEST_F(HeldTransportTest, WindingAHaltedPlayerLeavesItHaltedWithinTheRecording) {
    struct Case {
        double from;
        int direction;
        int steps;
        double expected;
    };
    const Case cases[] = {
        {10.0, 1, 2, 13.0}, {10.0, -1, 2, 7.0}, {1.5, -1, 3, 0.0}, {28.5, 1, 3, 30.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from * c.direction);
        form->PlayFrom(c.from);
        form->BitBtn3Click();
        held->WindPressed(c.direction);
        for (int step = 0; step < c.steps; ++step) held->WindStep();
        held->WindReleased();
        EXPECT_TRUE(form->Stopped);
        EXPECT_FALSE(Sounding());
        EXPECT_NEAR(Position(), c.expected, kFrame);
    }
    // Without a recording nothing winds.
    form->N9Click();
    held->WindPressed(-1);
    EXPECT_FALSE(held->Winding());
}

}  // namespace
