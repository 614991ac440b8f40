// Geometry of the waveform strip: which envelope columns the box shows, where the
// position marker stands, how values map to rows and where a click seeks to.
// Pure functions, any thread.
#pragma once

#include <cmath>
#include <cstdint>

constexpr int kEnvelopeColumnsPerSecond = 30;
// Scaled sample values are kept within -127 ... 127 (what the strip can draw).
constexpr int kEnvelopeFullScale = 127;

struct WaveformGeometry {
    std::int32_t ViewStart;  // envelope column shown at x = 0
    std::int32_t MarkerX;    // x of the position marker (may lie outside the box)
};

// The column of a position of `position` seconds in a recording of `length` seconds
// with `count` columns: trunc(position / length x count), 0 for a recording of no length.
inline std::int32_t CurrentColumn(double position, double length, std::int32_t count) {
    if (!(length > 0) || count <= 0) return 0;
    const double column = std::trunc(position / length * count);
    if (!(column > 0)) return 0;
    if (column >= count) return count;
    return static_cast<std::int32_t>(column);
}

// View start and marker of a box `width` pixels wide: the position is centred except
// near the start and the end; a recording shorter than the box is drawn from the left.
inline WaveformGeometry ComputeWaveformGeometry(double position, double length, std::int32_t count,
                                                int width) {
    const std::int64_t current = CurrentColumn(position, length, count);
    std::int64_t start = current - width / 2;
    if (start + width > count) start = static_cast<std::int64_t>(count) - width;
    if (start < 0) start = 0;
    return {static_cast<std::int32_t>(start), static_cast<std::int32_t>(current - start)};
}

// Row of a scaled value in a box `height` pixels high: 127 at the top, -127 at the bottom.
inline int EnvelopeRow(int value, int height) {
    return (kEnvelopeFullScale - value) * height / 256;
}

// The position (seconds) a click at `clickX` seeks to: whole seconds relative to the
// marker, 30 pixels to the second, truncated toward zero; never before the start, and a
// click past the end lands one second before it (at the start for a recording shorter
// than a second).
inline double ClickTargetSeconds(double position, double length, int clickX, int markerX) {
    const int offset = (clickX - markerX) / kEnvelopeColumnsPerSecond;
    double target = position + offset;
    if (target < 0) target = 0;
    if (target >= length) target = length - 1;
    if (target < 0) target = 0;  // a recording shorter than a second
    return target;
}
