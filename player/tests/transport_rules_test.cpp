#include "player/transport_rules.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(SecondsToText, ShowsHoursAndMinutesOnlyWhenReached) {
    EXPECT_EQ(SecondsToText(0), "0 сек");
    EXPECT_EQ(SecondsToText(59), "59 сек");
    EXPECT_EQ(SecondsToText(60), "1 мин 0 сек");
    EXPECT_EQ(SecondsToText(3600), "1 ч 0 сек");
    EXPECT_EQ(SecondsToText(3725), "1 ч 2 мин 5 сек");
    EXPECT_EQ(SecondsToText(3659), "1 ч 59 сек");
    EXPECT_EQ(SecondsToText(90061), "25 ч 1 мин 1 сек");
    EXPECT_EQ(SecondsToText(-1), "-1 сек");
    EXPECT_EQ(SecondsToText(-3725), "-3725 сек");
}

TEST(PlayerStatusTexts, LengthPositionAndTheCycleWhileRunning) {
    auto cycle = [](int repetition, int play, int pause) {
        TRepetitionCycle c;
        c.Repetition = repetition;
        c.PlaySecond = play;
        c.PauseSecond = pause;
        return c;
    };
    const struct {
        double position, length;
        TRepetitionCycle cycle;
        bool stopped;
        std::array<const char*, 4> texts;
    } cases[] = {
        {65.9,
         3725.0,
         cycle(2, 3, -1),
         false,
         {"Длина: 1 ч 2 мин 5 сек", "Позиция: 1 мин 5 сек", "Повтор: 2", "Воспр: 3 сек"}},
        {4.0,
         10.0,
         cycle(1, -1, 1),
         false,
         {"Длина: 10 сек", "Позиция: 4 сек", "Повтор: 1", "Пауза: 1 сек"}},
        {4.0, 10.0, cycle(1, -1, -1), false, {"Длина: 10 сек", "Позиция: 4 сек", "Повтор: 1", ""}},
        {4.0, 10.0, cycle(1, 3, -1), true, {"Длина: 10 сек", "Позиция: 4 сек", "", ""}},
        // A failed query: a number still, never an undefined conversion.
        {-1.0,
         1e12,
         cycle(0, 0, 0),
         true,
         {"Длина: 596523 ч 14 мин 7 сек", "Позиция: -1 сек", "", ""}},
        {NAN,
         -1e12,
         cycle(0, 0, 0),
         true,
         {"Длина: -2147483648 сек", "Позиция: -2147483648 сек", "", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.texts[1]);
        const auto texts = PlayerStatusTexts(c.position, c.length, c.cycle, c.stopped);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(texts[i], QString::fromUtf8(c.texts[i])) << i;
    }
}

TEST(SecondsToBytes, ScalesTheLengthAndTruncates) {
    // 10 s of 44.1 kHz stereo 16-bit: 1 764 000 bytes.
    EXPECT_EQ(SecondsToBytes(1764000, 2.5, 10.0), 441000u);
    EXPECT_EQ(SecondsToBytes(1764000, 10.0, 10.0), 1764000u);
    EXPECT_EQ(SecondsToBytes(10, 1.0, 3.0), 3u);  // 3.33 truncated
    EXPECT_EQ(SecondsToBytes(1764000, 0.0, 10.0), 0u);
}

TEST(SecondsToBytes, NoLengthOrNegativeTargetGivesTheStart) {
    EXPECT_EQ(SecondsToBytes(0, 3.0, 0.0), 0u);
    EXPECT_EQ(SecondsToBytes(1000, 3.0, 0.0), 0u);
    EXPECT_EQ(SecondsToBytes(1000, 3.0, -1.0), 0u);
    EXPECT_EQ(SecondsToBytes(1764000, -2.0, 10.0), 0u);
}

TEST(PositionSlider, PerMilleBothWays) {
    EXPECT_EQ(SliderToBytes(1764000, 500), 882000u);
    EXPECT_EQ(SliderToBytes(1764000, 1000), 1764000u);
    EXPECT_EQ(SliderToBytes(999, 1), 0u);
    EXPECT_EQ(SliderToBytes(0, 700), 0u);
    EXPECT_EQ(PositionToSlider(5.0, 10.0), 500);
    EXPECT_EQ(PositionToSlider(59.8999, 59.9), 999);  // 1000 only at the very end
    EXPECT_EQ(PositionToSlider(59.9, 59.9), 1000);
    EXPECT_EQ(PositionToSlider(3.0, 0.0), 0);
}

TEST(NextFragmentTarget, StopsHalfASecondBeforeTheEndNeverBeforeTheStart) {
    bool nearEnd = false;
    EXPECT_DOUBLE_EQ(NextFragmentTarget(2.0, 10.0, 5.0, &nearEnd), 7.0);
    EXPECT_FALSE(nearEnd);
    EXPECT_DOUBLE_EQ(NextFragmentTarget(6.0, 10.0, 5.0, &nearEnd), 9.5);
    EXPECT_TRUE(nearEnd);
    EXPECT_DOUBLE_EQ(NextFragmentTarget(5.0, 10.0, 5.0, &nearEnd), 9.5);
    EXPECT_TRUE(nearEnd);
    EXPECT_DOUBLE_EQ(NextFragmentTarget(0.1, 0.3, 5.0, &nearEnd), 0.0);
    EXPECT_TRUE(nearEnd);
}
