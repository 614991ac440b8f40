// Zoom of the waveform strip: how many pixels stand for a second, which part of the
// recording the strip shows, where the play head is, the time ruler and the overview.
//
// At the default scale (30 pixels a second, one envelope column per pixel) while the view
// follows the play head, the geometry is exactly that of waveform_geometry.h; every other
// scale is an addition on top of it.
//
// Pure functions; any thread.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

// The scale of the strip, in pixels per second of the recording.
constexpr double kDefaultPixelsPerSecond = 30.0;  // one envelope column per pixel
constexpr double kDeepestPixelsPerSecond = 50.0;  // 20 ms a pixel
// After a scroll by the user the view stays where it was put for this many ticks of
// playback before it follows the play head again (5 s).
constexpr int kScrollHoldTicks = 25;

struct StripView {
    double PixelsPerSecond = kDefaultPixelsPerSecond;
    // Pixel index, counted from the start of the recording at this scale, shown at x = 0:
    // pixel p stands for [p / scale, (p + 1) / scale) seconds.
    std::int64_t FirstPixel = 0;
    bool Following = true;  // the view moves with the play head
    int HoldTicks = 0;      // ticks of playback since the user last scrolled
};

bool IsDefaultScale(double pixelsPerSecond);

// The farthest scale: the whole recording in `width` pixels, never coarser-grained than
// needed and never finer than the default (a short recording is drawn from the left edge
// at the default scale, as the default view draws it).
double WholeRecordingScale(double length, int width);
// One step finer: 30 -> 40 -> 50 pixels a second, and halving steps below the default.
// ZoomOut stops at the whole recording. Both keep a scale that cannot move.
double ZoomInScale(double pixelsPerSecond, double length, int width);
double ZoomOutScale(double pixelsPerSecond, double length, int width);

// Pixels the whole recording takes at a scale.
std::int64_t TotalPixels(double pixelsPerSecond, double length);

// The view centred on the play head, held inside the recording. At the default scale:
// the envelope's own geometry (columns of an envelope of `envelopeCount` columns).
std::int64_t FollowFirstPixel(double pixelsPerSecond, double position, double length,
                              std::int32_t envelopeCount, int width);
// x of the play head in the view (may lie outside the strip).
std::int64_t PlayHeadX(const StripView& view, double position, double length,
                       std::int32_t envelopeCount);

// Seconds at the left edge of pixel x, and the pixel x of a moment.
double TimeAtX(const StripView& view, double x);
std::int64_t XAtTime(const StripView& view, double seconds);

// Holds a first pixel inside the recording (0 when the recording is narrower).
std::int64_t ClampFirstPixel(std::int64_t firstPixel, double pixelsPerSecond, double length,
                             int width);

// One tick of the strip: a following view centres the play head; a scrolled view stays
// for kScrollHoldTicks ticks of playback, then follows again.
void TickView(StripView& view, double position, double length, std::int32_t envelopeCount,
              int width, bool playing);
// The user scrolls by `pixels` (positive: later); the view stops following for a while.
void ScrollView(StripView& view, std::int64_t pixels, double length, int width);
// A new scale, keeping the moment under x = anchorX where it is (a following view keeps
// following and is centred again by the next tick).
void ZoomView(StripView& view, double pixelsPerSecond, int anchorX, double position, double length,
              std::int32_t envelopeCount, int width);

// Where a click at x seeks to. At the default scale: the specified rule (whole seconds
// relative to the play head, 30 pixels to the second). Zoomed: the moment under the
// pointer, never past the last second.
double StripClickTarget(const StripView& view, int x, double position, double length,
                        std::int32_t envelopeCount);

// ---- time ruler ----
struct RulerLabel {
    int X = 0;  // the tick's x; the label is written from X + kRulerTextOffset
    QString Text;
};
constexpr int kRulerTextOffset = 2;
constexpr int kRulerGap = 6;  // at least this many pixels between two labels

// The ruler's text of a moment: "m:ss", "h:mm:ss" for recordings of an hour or more,
// with tenths when the ticks are less than a second apart.
QString RulerText(double seconds, double step, double length);
// Ticks at round moments, as dense as the labels allow: each label (width measured by
// `textWidth`) ends kRulerGap pixels before the next one starts.
std::vector<RulerLabel> RulerLabels(const StripView& view, int width, double length,
                                    const std::function<int(const QString&)>& textWidth);

// ---- overview ----
struct OverviewSpan {
    int Left = 0;
    int Right = 0;  // exclusive; at least 2 pixels right of Left
};
// The part in view, as a span of an overview `overviewWidth` pixels wide showing the
// whole recording.
OverviewSpan OverviewWindow(const StripView& view, int width, double length, int overviewWidth);
// The first pixel that centres the view on the moment under x of the overview.
std::int64_t OverviewToFirstPixel(int x, int overviewWidth, double length, double pixelsPerSecond,
                                  int width);
