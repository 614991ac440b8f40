#include "player/strip_zoom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "player/waveform_geometry.h"

namespace {

// A stand-in for the font: 7 pixels a character.
int SevenPerChar(const QString& text) {
    return 7 * static_cast<int>(text.size());
}

}  // namespace

TEST(StripZoom, LadderFromTheDefaultToTheDeepestAndOutToTheWholeRecording) {
    struct Case {
        double scale, length;
        int width;
        double in, out;
    } cases[] = {
        {30, 3600, 649, 40, 15},                   // the default: one step finer, one coarser
        {40, 3600, 649, 50, 30},                   //
        {50, 3600, 649, 50, 40},                   // the deepest stays
        {15, 3600, 649, 30, 7.5},                  //
        {0.5, 3600, 649, 0.9375, 0.46875},         //
        {0.2, 3600, 649, 0.234375, 649.0 / 3600},  // a step past the whole recording stops there
        {649.0 / 3600, 3600, 649, 0.234375, 649.0 / 3600},  // the whole recording stays
        {30, 10, 649, 40, 30},   // shorter than the strip: the default is the whole
        {50, 0.1, 649, 50, 40},  // a tenth of a second
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(ZoomInScale(c.scale, c.length, c.width), c.in) << c.scale;
        EXPECT_DOUBLE_EQ(ZoomOutScale(c.scale, c.length, c.width), c.out) << c.scale;
    }
    EXPECT_DOUBLE_EQ(WholeRecordingScale(3600, 649), 649.0 / 3600);
    EXPECT_DOUBLE_EQ(WholeRecordingScale(10, 649), 30);
    EXPECT_DOUBLE_EQ(WholeRecordingScale(std::nan(""), 649), 30);
}

TEST(StripZoom, TimeAndPixelAtEveryScale) {
    for (double scale : {50.0, 40.0, 30.0, 15.0, 0.9375, 649.0 / 10800}) {
        const StripView view{scale, 1234, false, 0};
        for (int x : {0, 1, 324, 648, 1919}) {
            const double t = TimeAtX(view, x);
            EXPECT_DOUBLE_EQ(t, (1234.0 + x) / scale);
            // The left edge of a pixel and a moment inside it map back to the pixel.
            EXPECT_EQ(XAtTime(view, t + 0.25 / scale), x) << scale << " " << x;
        }
    }
    // Exact at the scales of the ladder: one second is 30, 40, 50 pixels.
    for (double scale : {30.0, 40.0, 50.0}) {
        const StripView view{scale, 0, true, 0};
        for (int s = 0; s < 100; ++s) EXPECT_EQ(XAtTime(view, s), s * scale);
    }
}

TEST(StripZoom, FollowingCentresThePlayHeadAndTheDefaultIsTheEnvelopeView) {
    // At the default scale the view is the envelope's own, column for column.
    const double length = 600;
    const auto count = static_cast<std::int32_t>(length * 30);
    for (double position : {0.0, 5.0, 10.8, 300.0, 599.0, 600.0}) {
        const WaveformGeometry envelope = ComputeWaveformGeometry(position, length, count, 649);
        StripView view;
        TickView(view, position, length, count, 649, true);
        EXPECT_EQ(view.FirstPixel, envelope.ViewStart) << position;
        EXPECT_EQ(PlayHeadX(view, position, length, count), envelope.MarkerX) << position;
    }
    struct Case {
        double position, length;
        std::int64_t first, head;
    } cases[] = {
        {300, 600, 300 * 50 - 324, 324},       // centred
        {2, 600, 0, 100},                      // near the start
        {599, 600, 600 * 50 - 649, 649 - 50},  // near the end
        {0.05, 0.1, 0, 2},                     // a tenth of a second: five pixels
    };
    for (const Case& c : cases) {
        StripView view{50, 0, true, 0};
        TickView(view, c.position, c.length, 0, 649, true);
        EXPECT_EQ(view.FirstPixel, c.first) << c.position;
        EXPECT_EQ(PlayHeadX(view, c.position, c.length, 0), c.head) << c.position;
    }
}

TEST(StripZoom, AScrolledViewStaysForAWhileThenFollowsAgain) {
    StripView view{50, 0, true, 0};
    TickView(view, 100, 600, 0, 649, true);
    const std::int64_t centred = view.FirstPixel;
    ScrollView(view, -2000, 600, 649);
    EXPECT_EQ(view.FirstPixel, centred - 2000);
    EXPECT_FALSE(view.Following);
    for (int i = 0; i < 50; ++i) TickView(view, 100, 600, 0, 649, false);  // halted: stays
    EXPECT_EQ(view.FirstPixel, centred - 2000);
    for (int i = 1; i < kScrollHoldTicks; ++i) TickView(view, 100, 600, 0, 649, true);
    EXPECT_EQ(view.FirstPixel, centred - 2000);
    TickView(view, 100, 600, 0, 649, true);
    EXPECT_TRUE(view.Following);
    EXPECT_EQ(view.FirstPixel, centred);
    // Scrolling stops at both ends.
    ScrollView(view, -1000000, 600, 649);
    EXPECT_EQ(view.FirstPixel, 0);
    ScrollView(view, 1000000, 600, 649);
    EXPECT_EQ(view.FirstPixel, 600 * 50 - 649);
}

TEST(StripZoom, ZoomKeepsTheMomentUnderThePointer) {
    StripView view{30, 3000, false, 0};
    const double under = TimeAtX(view, 200);
    ZoomView(view, 50, 200, 0, 3600, 108000, 649);
    EXPECT_NEAR(TimeAtX(view, 200), under, 1.0 / 50);
    // A following view stays centred on the play head.
    StripView following;
    ZoomView(following, 50, 10, 1000, 3600, 108000, 649);
    EXPECT_EQ(PlayHeadX(following, 1000, 3600, 108000), 324);
}

TEST(StripZoom, ClickSeeksByWholeSecondsAtTheDefaultAndToThePointerWhenZoomed) {
    const double length = 600;
    const std::int32_t count = 18000;
    StripView view;
    TickView(view, 100, length, count, 649, true);  // marker at 324
    struct Case {
        int x;
        double target;
    } defaults[] = {{324 + 45, 101}, {324 - 29, 100}, {324 - 60, 98}, {324 + 30, 101}};
    for (const Case& c : defaults)
        EXPECT_DOUBLE_EQ(StripClickTarget(view, c.x, 100, length, count), c.target) << c.x;

    StripView zoomed{50, 5000, false, 0};  // x = 0 is 100 s
    EXPECT_DOUBLE_EQ(StripClickTarget(zoomed, 25, 3, length, count), 100.5);
    zoomed.FirstPixel = 600 * 50 - 10;
    EXPECT_DOUBLE_EQ(StripClickTarget(zoomed, 20, 3, length, count), length - 1);  // past the end
}

TEST(StripZoom, RulerLabelsAreRoundAndNeverOverlap) {
    struct Case {
        double scale, length;
        std::int64_t first;
        int width;
    } cases[] = {{30, 600, 0, 649},          {50, 600, 12345, 1920},
                 {40, 36000, 1000000, 649},  {649.0 / 36000, 36000, 0, 649},
                 {0.9375, 10800, 100, 1920}, {50, 0.1, 0, 649}};
    for (const Case& c : cases) {
        const StripView view{c.scale, c.first, false, 0};
        const auto labels = RulerLabels(view, c.width, c.length, SevenPerChar);
        ASSERT_FALSE(labels.empty()) << c.scale;
        for (std::size_t i = 1; i < labels.size(); ++i)
            EXPECT_GE(labels[i].X, labels[i - 1].X + SevenPerChar(labels[i - 1].Text) + kRulerGap)
                << c.scale << " " << labels[i].Text.toStdString();
        for (const RulerLabel& label : labels) {
            EXPECT_GE(label.X, 0);
            EXPECT_LT(label.X, c.width);
        }
    }
    // The default scale over the first 21 seconds: a label every two seconds.
    const auto labels = RulerLabels(StripView{}, 649, 600, SevenPerChar);
    ASSERT_GE(labels.size(), 3u);
    EXPECT_EQ(labels[0].Text, "0:00");
    EXPECT_EQ(labels[1].Text, "0:02");
    EXPECT_EQ(labels[1].X, 60);
    EXPECT_TRUE(RulerLabels(StripView{}, 649, std::nan(""), SevenPerChar).empty());
}

TEST(StripZoom, RulerTexts) {
    struct Case {
        double seconds, step, length;
        const char* text;
    } cases[] = {{0, 1, 60, "0:00"},          {65, 1, 600, "1:05"},
                 {59.96, 0.1, 600, "1:00.0"}, {3725, 5, 4000, "1:02:05"},
                 {12.5, 0.5, 60, "0:12.5"},   {36000, 3600, 36000, "10:00:00"}};
    for (const Case& c : cases) EXPECT_EQ(RulerText(c.seconds, c.step, c.length), c.text);
}

TEST(StripZoom, OverviewShowsThePartInView) {
    struct Case {
        StripView view;
        int width;
        double length;
        int overview, left, right;
    } cases[] = {
        {{50, 0, false, 0}, 649, 3600, 649, 0, 3},              // 13 s of an hour: thin
        {{50, 90000, false, 0}, 649, 3600, 649, 324, 327},      // the middle
        {{649.0 / 3600, 0, false, 0}, 649, 3600, 649, 0, 649},  // the whole recording
        {{50, 179990, false, 0}, 649, 3600, 649, 647, 649},     // at the end: never narrower than 2
    };
    for (const Case& c : cases) {
        const OverviewSpan span = OverviewWindow(c.view, c.width, c.length, c.overview);
        EXPECT_EQ(span.Left, c.left);
        EXPECT_EQ(span.Right, c.right);
    }
    // A click on the overview centres the view there.
    EXPECT_EQ(OverviewToFirstPixel(324, 649, 3600, 50, 649),
              static_cast<std::int64_t>(std::floor(324.0 / 649 * 3600 * 50)) - 324);
    EXPECT_EQ(OverviewToFirstPixel(-5, 649, 3600, 50, 649), 0);
    EXPECT_EQ(OverviewToFirstPixel(5000, 649, 3600, 50, 649), 3600 * 50 - 649);
}
