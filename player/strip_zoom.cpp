#include "player/strip_zoom.h"

#include <algorithm>
#include <cmath>

#include "player/waveform_geometry.h"

namespace {

// Coarsest ladder step below the default; a longer recording goes straight to "whole".
constexpr double kCoarsestLadderScale = kDefaultPixelsPerSecond / 4096;

bool Usable(double length) {
    return length > 0 && std::isfinite(length);
}

// The finer steps above the default, finest last.
constexpr double kFineScales[] = {40.0, kDeepestPixelsPerSecond};

}  // namespace

bool IsDefaultScale(double pixelsPerSecond) {
    return pixelsPerSecond == kDefaultPixelsPerSecond;
}

double WholeRecordingScale(double length, int width) {
    if (!Usable(length) || width <= 0) return kDefaultPixelsPerSecond;
    return std::min(kDefaultPixelsPerSecond, width / length);
}

double ZoomInScale(double pixelsPerSecond, double /*length*/, int /*width*/) {
    if (pixelsPerSecond >= kDeepestPixelsPerSecond) return kDeepestPixelsPerSecond;
    if (pixelsPerSecond >= kDefaultPixelsPerSecond) {
        for (double scale : kFineScales)
            if (scale > pixelsPerSecond) return scale;
        return kDeepestPixelsPerSecond;
    }
    // Halving steps from the default: the next one finer than the current scale.
    double scale = kDefaultPixelsPerSecond;
    while (scale / 2 > pixelsPerSecond && scale / 2 >= kCoarsestLadderScale) scale /= 2;
    return scale;
}

double ZoomOutScale(double pixelsPerSecond, double length, int width) {
    const double whole = WholeRecordingScale(length, width);
    double next = 0;
    if (pixelsPerSecond > kDefaultPixelsPerSecond) {
        next = kDefaultPixelsPerSecond;
        for (double scale : kFineScales)
            if (scale < pixelsPerSecond) next = scale;
    } else {
        next = kDefaultPixelsPerSecond;
        while (next >= pixelsPerSecond && next > kCoarsestLadderScale) next /= 2;
    }
    return std::max(next, std::min(whole, pixelsPerSecond));
}

std::int64_t TotalPixels(double pixelsPerSecond, double length) {
    if (!Usable(length) || !(pixelsPerSecond > 0)) return 0;
    return static_cast<std::int64_t>(std::ceil(length * pixelsPerSecond));
}

std::int64_t ClampFirstPixel(std::int64_t firstPixel, double pixelsPerSecond, double length,
                             int width) {
    const std::int64_t total = TotalPixels(pixelsPerSecond, length);
    if (firstPixel + width > total) firstPixel = total - width;
    return std::max<std::int64_t>(0, firstPixel);
}

std::int64_t FollowFirstPixel(double pixelsPerSecond, double position, double length,
                              std::int32_t envelopeCount, int width) {
    if (IsDefaultScale(pixelsPerSecond))
        return ComputeWaveformGeometry(position, length, envelopeCount, width).ViewStart;
    const std::int64_t head = XAtTime({pixelsPerSecond, 0, true, 0}, position);
    return ClampFirstPixel(head - width / 2, pixelsPerSecond, length, width);
}

std::int64_t PlayHeadX(const StripView& view, double position, double length,
                       std::int32_t envelopeCount) {
    if (IsDefaultScale(view.PixelsPerSecond))
        return static_cast<std::int64_t>(CurrentColumn(position, length, envelopeCount)) -
               view.FirstPixel;
    return XAtTime(view, position);
}

double TimeAtX(const StripView& view, double x) {
    return (static_cast<double>(view.FirstPixel) + x) / view.PixelsPerSecond;
}

std::int64_t XAtTime(const StripView& view, double seconds) {
    const double pixel = std::floor(seconds * view.PixelsPerSecond);
    if (!std::isfinite(pixel)) return 0;
    return static_cast<std::int64_t>(pixel) - view.FirstPixel;
}

void TickView(StripView& view, double position, double length, std::int32_t envelopeCount,
              int width, bool playing) {
    if (!view.Following && playing && ++view.HoldTicks >= kScrollHoldTicks) view.Following = true;
    if (view.Following)
        view.FirstPixel =
            FollowFirstPixel(view.PixelsPerSecond, position, length, envelopeCount, width);
}

void ScrollView(StripView& view, std::int64_t pixels, double length, int width) {
    view.FirstPixel =
        ClampFirstPixel(view.FirstPixel + pixels, view.PixelsPerSecond, length, width);
    view.Following = false;
    view.HoldTicks = 0;
}

void ZoomView(StripView& view, double pixelsPerSecond, int anchorX, double position, double length,
              std::int32_t envelopeCount, int width) {
    if (view.Following) {
        view.PixelsPerSecond = pixelsPerSecond;
        view.FirstPixel = FollowFirstPixel(pixelsPerSecond, position, length, envelopeCount, width);
        return;
    }
    const double anchor = TimeAtX(view, anchorX);
    view.PixelsPerSecond = pixelsPerSecond;
    const auto pixel = static_cast<std::int64_t>(std::floor(anchor * pixelsPerSecond));
    view.FirstPixel = ClampFirstPixel(pixel - anchorX, pixelsPerSecond, length, width);
    view.HoldTicks = 0;
}

double StripClickTarget(const StripView& view, int x, double position, double length,
                        std::int32_t envelopeCount) {
    if (IsDefaultScale(view.PixelsPerSecond)) {
        const auto marker = static_cast<int>(PlayHeadX(view, position, length, envelopeCount));
        return ClickTargetSeconds(position, length, x, marker);
    }
    double target = TimeAtX(view, x);
    if (target >= length) target = length - 1;
    if (!(target > 0)) target = 0;
    return target;
}

// ---- time ruler ----

QString RulerText(double seconds, double step, double length) {
    const bool tenths = step < 1.0;
    // Counting in tenths keeps 59.96 from showing as "0:60.0".
    const auto total = static_cast<std::int64_t>(std::llround(seconds * 10));
    const std::int64_t whole = total / 10;
    const std::int64_t hours = whole / 3600;
    const std::int64_t minutes = whole / 60 % 60;
    const std::int64_t secs = whole % 60;
    QString text = length >= 3600
                       ? QStringLiteral("%1:%2:%3")
                             .arg(hours)
                             .arg(minutes, 2, 10, QLatin1Char('0'))
                             .arg(secs, 2, 10, QLatin1Char('0'))
                       : QStringLiteral("%1:%2").arg(whole / 60).arg(secs, 2, 10, QLatin1Char('0'));
    if (tenths) text += QStringLiteral(".%1").arg(total % 10);
    return text;
}

std::vector<RulerLabel> RulerLabels(const StripView& view, int width, double length,
                                    const std::function<int(const QString&)>& textWidth) {
    static constexpr double kSteps[] = {0.1,  0.2,  0.5,  1,     2,     5,     10,
                                        15,   30,   60,   120,   300,   600,   900,
                                        1800, 3600, 7200, 14400, 28800, 43200, 86400};
    std::vector<RulerLabel> labels;
    if (!Usable(length) || width <= 0 || !(view.PixelsPerSecond > 0)) return labels;
    const double from = std::max(0.0, TimeAtX(view, 0));
    const double to = std::min(length, TimeAtX(view, width));
    for (double step : kSteps) {
        if (step * view.PixelsPerSecond < kRulerGap) continue;
        labels.clear();
        bool fits = true;
        for (auto k = static_cast<std::int64_t>(std::ceil(from / step - 1e-9));; ++k) {
            const double t = static_cast<double>(k) * step;
            if (t > to + 1e-9) break;
            const std::int64_t x = XAtTime(view, t + 1e-9);
            if (x < 0 || x >= width) continue;
            RulerLabel label{static_cast<int>(x), RulerText(t, step, length)};
            if (!labels.empty() &&
                labels.back().X + kRulerTextOffset + textWidth(labels.back().Text) + kRulerGap >
                    label.X + kRulerTextOffset) {
                fits = false;
                break;
            }
            labels.push_back(std::move(label));
        }
        if (fits) return labels;
    }
    labels.clear();
    return labels;
}

// ---- overview ----

OverviewSpan OverviewWindow(const StripView& view, int width, double length, int overviewWidth) {
    if (!Usable(length) || overviewWidth <= 0) return {0, std::max(2, overviewWidth)};
    const double from = std::clamp(TimeAtX(view, 0) / length, 0.0, 1.0);
    const double to = std::clamp(TimeAtX(view, width) / length, 0.0, 1.0);
    OverviewSpan span;
    span.Left = static_cast<int>(std::floor(from * overviewWidth));
    span.Right = static_cast<int>(std::ceil(to * overviewWidth));
    if (span.Right - span.Left < 2) {
        span.Right = std::min(overviewWidth, span.Left + 2);
        span.Left = std::max(0, span.Right - 2);
    }
    return span;
}

std::int64_t OverviewToFirstPixel(int x, int overviewWidth, double length, double pixelsPerSecond,
                                  int width) {
    if (!Usable(length) || overviewWidth <= 0) return 0;
    const double t = std::clamp(static_cast<double>(x) / overviewWidth, 0.0, 1.0) * length;
    const auto centre = static_cast<std::int64_t>(std::floor(t * pixelsPerSecond));
    return ClampFirstPixel(centre - width / 2, pixelsPerSecond, length, width);
}
