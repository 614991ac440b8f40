// Converting between nanoseconds and frames of the output clock: exact to the frame over
// any time a program can run, where a plain product overflows after some 58 hours.
#include <gtest/gtest.h>

#include <cstdint>

#include "audio/output.h"

namespace {

constexpr std::int64_t kHour = 3'600'000'000'000LL;  // ns

TEST(OutputClock, FramesAndNanosecondsOverLongTimes) {
    const struct {
        std::int64_t ns;
        int rate;
        std::int64_t frames;
    } rows[] = {
        {0, 44100, 0},
        {999'999, 44100, 44},  // 44.09999…: whole frames only
        {1'000'000'000, 44100, 44100},
        {1'000'000'000, 48000, 48000},
        {59 * kHour, 44100, 59LL * 3600 * 44100},  // past where a product overflows
        {1000 * kHour, 44100, 1000LL * 3600 * 44100},
        {1000 * kHour + 500'000'000, 44100, 1000LL * 3600 * 44100 + 22050},
        {100'000 * kHour, 384000, 100'000LL * 3600 * 384000},
        {-1'000'000'000, 44100, -44100},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.ns);
        EXPECT_EQ(audio::FramesIn(r.ns, r.rate), r.frames);
        // And back: the start of that frame, within one frame's time of where it began.
        const std::int64_t back = audio::NanosecondsOf(r.frames, r.rate);
        EXPECT_LE(back, r.ns);
        EXPECT_GT(back, r.ns - 1'000'000'000LL / r.rate - 1);
    }
}

}  // namespace
