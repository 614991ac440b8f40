// The waveform strip as a workbench, drawn into a picture: a time ruler at the top, the
// peaks of the part in view, the current fragment and the start of the next one shaded,
// a selection loop, the transcript's timestamps as ticks, the play head, and an overview
// of the whole recording at the bottom. (At the default scale without a selection the
// strip is drawn as it always was, by WaveformView::DrawEnvelope.)
//
// No widgets. User-interface thread (the envelope and the detail are read under their own
// locks).
#pragma once

#include <QImage>
#include <QRect>
#include <optional>
#include <vector>

#include "player/cycle_marks.h"
#include "player/selection_loop.h"
#include "player/strip_zoom.h"

class EnvelopeState;
class DetailPeaks;

// A timestamp of the transcript on the strip.
struct StripTick {
    double Seconds = 0;
    QRgb Colour = 0;  // the speaker's colour when a turn marker follows; 0: none
    bool operator==(const StripTick&) const = default;
};

struct StripScene {
    StripView View;
    double Position = 0;  // seconds
    double Length = 0;    // seconds
    FragmentMarks Fragment;
    std::optional<LoopSelection> Selection;
    std::vector<StripTick> Ticks;
};

constexpr int kRulerHeight = 12;
constexpr int kOverviewHeight = 9;
// A tick is hit by a click within this many pixels of it.
constexpr int kTickReach = 3;

// Where the parts lie in a strip of width x height.
QRect StripWaveArea(int width, int height);
QRect StripOverviewArea(int width, int height);

// The tick nearest x within kTickReach pixels, or -1.
int TickAt(const StripScene& scene, int width, int x);

// The overview's peaks, kept between drawings: going through the whole envelope is the
// costly part of a drawing, so it is redone only for a new recording or width and every
// kOverviewRefresh drawings while the envelope fills in.
struct StripOverview {
    std::int32_t Count = -1;
    int Width = -1;
    int Drawings = 0;
    std::vector<std::int8_t> Heights;  // per overview pixel, 0 ... 127
};
constexpr int kOverviewRefresh = 5;

// Draws the whole strip. `detail` may be null (then what lies beyond the envelope is drawn
// from the envelope, as not ready). Pixels whose detail is not computed yet are drawn
// from the envelope in grey.
void PaintStrip(QImage& picture, const EnvelopeState& envelope, const DetailPeaks* detail,
                const StripScene& scene, StripOverview& overview);
