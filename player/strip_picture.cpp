#include "player/strip_picture.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "player/detail_peaks.h"
#include "player/envelope.h"

namespace {

const QRgb kFrame = qRgb(68, 68, 68);
const QRgb kWave = qRgb(0, 170, 0);
const QRgb kNotReady = qRgb(190, 190, 190);
const QRgb kMarker = qRgb(255, 0, 0);
const QRgb kFragment = qRgb(214, 230, 255);
const QRgb kSelection = qRgb(255, 226, 150);
const QRgb kNextStart = qRgb(0, 90, 200);
const QRgb kTick = qRgb(90, 90, 90);
const QRgb kRulerBack = qRgb(246, 246, 246);
const QRgb kRulerText = qRgb(70, 70, 70);
const QRgb kOverviewBack = qRgb(232, 232, 232);
const QRgb kOverviewWave = qRgb(140, 140, 140);

class Pixels {
  public:
    explicit Pixels(QImage& picture)
        : bits_(reinterpret_cast<QRgb*>(picture.bits())),
          stride_(picture.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb))),
          width_(picture.width()),
          height_(picture.height()) {}
    // Fills columns [x0, x1) of rows [y0, y1), clipped to the picture.
    void Fill(std::int64_t x0, std::int64_t x1, int y0, int y1, QRgb colour) {
        x0 = std::max<std::int64_t>(0, x0);
        x1 = std::min<std::int64_t>(width_, x1);
        y0 = std::max(0, y0);
        y1 = std::min(height_, y1);
        for (int y = y0; y < y1; ++y)
            for (std::int64_t x = x0; x < x1; ++x) bits_[y * stride_ + x] = colour;
    }
    void Column(std::int64_t x, int y0, int y1, QRgb colour) { Fill(x, x + 1, y0, y1, colour); }

  private:
    QRgb* bits_;
    qsizetype stride_;
    int width_;
    int height_;
};

// The envelope columns [first, end) of pixel x at the view's scale (at least one).
void EnvelopeColumns(const StripView& view, std::int64_t x, std::int64_t& first,
                     std::int64_t& end) {
    const double pixel = static_cast<double>(view.FirstPixel + x);
    const double perPixel = kEnvelopeColumnsPerSecond / view.PixelsPerSecond;
    first = static_cast<std::int64_t>(std::floor(pixel * perPixel));
    end = static_cast<std::int64_t>(std::floor((pixel + 1) * perPixel));
    if (end <= first) end = first + 1;
}

PeakColumn EnvelopePeak(const EnvelopeReader& reader, std::int64_t first, std::int64_t end) {
    PeakColumn peak{0, 0, true};
    const std::int64_t count = reader.Count();
    if (first >= count || first < 0) return PeakColumn{};
    end = std::min(end, count);
    for (std::int64_t c = first; c < end; ++c) {
        peak.Min = std::min(peak.Min, reader.Min(static_cast<std::int32_t>(c)));
        peak.Max = std::max(peak.Max, reader.Max(static_cast<std::int32_t>(c)));
    }
    return peak;
}

}  // namespace

QRect StripWaveArea(int width, int height) {
    return QRect(0, kRulerHeight, width, std::max(1, height - kRulerHeight - kOverviewHeight));
}

QRect StripOverviewArea(int width, int height) {
    return QRect(0, height - kOverviewHeight, width, kOverviewHeight);
}

int TickAt(const StripScene& scene, int width, int x) {
    int best = -1;
    std::int64_t bestDistance = kTickReach + 1;
    for (std::size_t i = 0; i < scene.Ticks.size(); ++i) {
        const std::int64_t tx = XAtTime(scene.View, scene.Ticks[i].Seconds);
        if (tx < 0 || tx >= width) continue;
        const std::int64_t distance = std::llabs(tx - x);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
        }
    }
    return best;
}

void PaintStrip(QImage& picture, const EnvelopeState& envelope, const DetailPeaks* detail,
                const StripScene& scene, StripOverview& cache) {
    const int w = picture.width();
    const int h = picture.height();
    picture.fill(Qt::white);
    if (w < 3 || h < kRulerHeight + kOverviewHeight + 3) return;
    Pixels pixels(picture);
    const StripView& view = scene.View;
    const QRect wave = StripWaveArea(w, h);
    const int top = wave.top();
    const int bottom = wave.top() + wave.height();
    const bool open = scene.Length > 0 && std::isfinite(scene.Length);
    const std::int64_t endX = open ? XAtTime(view, scene.Length) + 1 : 0;

    // The stretch the cycle plays, or the selection that it loops.
    if (open && scene.Selection) {
        pixels.Fill(XAtTime(view, scene.Selection->Start), XAtTime(view, scene.Selection->End) + 1,
                    top, bottom, kSelection);
    } else if (open && scene.Fragment.Valid) {
        pixels.Fill(XAtTime(view, scene.Fragment.Start), XAtTime(view, scene.Fragment.End) + 1, top,
                    bottom, kFragment);
    }

    // Peaks: the detail where it is computed, the envelope in grey where it is not yet.
    std::vector<PeakColumn> fine;
    const bool wantDetail = detail != nullptr && view.PixelsPerSecond > kDefaultPixelsPerSecond;
    if (wantDetail) detail->PixelPeaks(view, w, fine);
    {
        const EnvelopeReader reader(envelope);
        const int span = bottom - top;
        auto row = [&](int value) { return top + (kEnvelopeFullScale - value) * span / 256; };
        for (int x = 1; x < w - 1 && x < endX; ++x) {
            PeakColumn peak;
            QRgb colour = kWave;
            if (wantDetail && fine[static_cast<std::size_t>(x)].Ready) {
                peak = fine[static_cast<std::size_t>(x)];
            } else {
                std::int64_t first = 0;
                std::int64_t end = 0;
                EnvelopeColumns(view, x, first, end);
                peak = EnvelopePeak(reader, first, end);
                if (view.PixelsPerSecond > kDefaultPixelsPerSecond) colour = kNotReady;
            }
            if (!peak.Ready) continue;
            pixels.Column(x, std::max(top, row(peak.Max)), std::min(bottom, row(peak.Min)), colour);
        }
    }

    // Where the next playing begins.
    if (open && !scene.Selection && scene.Fragment.Valid) {
        const std::int64_t x = XAtTime(view, scene.Fragment.NextStart);
        for (int y = top; y < bottom; y += 4) pixels.Column(x, y, y + 2, kNextStart);
        pixels.Fill(x, x + 4, top, top + 2, kNextStart);
    }

    // The transcript's timestamps: a line and a flag in the speaker's colour.
    for (const StripTick& tick : scene.Ticks) {
        if (!open || tick.Seconds > scene.Length) continue;
        const std::int64_t x = XAtTime(view, tick.Seconds);
        const QRgb colour = tick.Colour != 0 ? tick.Colour : kTick;
        pixels.Column(x, top, bottom, colour);
        pixels.Fill(x, x + 5, top, top + 4, colour);
    }

    // The play head.
    if (open) pixels.Column(XAtTime(view, scene.Position), top, bottom, kMarker);

    // The ruler.
    pixels.Fill(0, w, 0, kRulerHeight, kRulerBack);
    pixels.Fill(0, w, kRulerHeight - 1, kRulerHeight, kFrame);
    if (open) {
        QPainter painter(&picture);
        QFont font = painter.font();
        font.setPixelSize(9);
        painter.setFont(font);
        const QFontMetrics metrics(font);
        const auto labels = RulerLabels(view, w, scene.Length, [&](const QString& text) {
            return metrics.horizontalAdvance(text);
        });
        painter.setPen(QColor(kRulerText));
        for (const RulerLabel& label : labels) {
            painter.drawLine(label.X, kRulerHeight - 4, label.X, kRulerHeight - 2);
            painter.drawText(label.X + kRulerTextOffset, kRulerHeight - 3, label.Text);
        }
    }

    // The overview: the whole recording, the part in view framed.
    const QRect overview = StripOverviewArea(w, h);
    pixels.Fill(0, w, overview.top(), h, kOverviewBack);
    pixels.Fill(0, w, overview.top(), overview.top() + 1, kFrame);
    {
        const int oTop = overview.top() + 1;
        const int oSpan = h - oTop;
        if (cache.Count != envelope.Count() || cache.Width != w ||
            ++cache.Drawings >= kOverviewRefresh) {
            const EnvelopeReader reader(envelope);
            const std::int64_t count = reader.Count();
            cache.Count = reader.Count();
            cache.Width = w;
            cache.Drawings = 0;
            cache.Heights.assign(static_cast<std::size_t>(w), 0);
            for (int x = 0; x < w && count > 0; ++x) {
                const std::int64_t first = count * x / w;
                const std::int64_t end = std::max(first + 1, count * (x + 1) / w);
                const PeakColumn peak = EnvelopePeak(reader, first, end);
                cache.Heights[static_cast<std::size_t>(x)] =
                    std::max(peak.Max, static_cast<std::int8_t>(-peak.Min));
            }
        }
        for (int x = 0; x < w; ++x) {
            const int rows =
                cache.Heights[static_cast<std::size_t>(x)] * oSpan / kEnvelopeFullScale;
            pixels.Column(x, h - rows, h, kOverviewWave);
        }
    }
    if (open) {
        const OverviewSpan span = OverviewWindow(view, w, scene.Length, w);
        pixels.Fill(span.Left, span.Right, overview.top() + 1, overview.top() + 2, kNextStart);
        pixels.Fill(span.Left, span.Right, h - 1, h, kNextStart);
        pixels.Column(span.Left, overview.top() + 1, h, kNextStart);
        pixels.Column(span.Right - 1, overview.top() + 1, h, kNextStart);
        const auto head = static_cast<std::int64_t>(
            std::floor(std::clamp(scene.Position / scene.Length, 0.0, 1.0) * (w - 1)));
        pixels.Column(head, overview.top() + 1, h, kMarker);
    }

    // The frame, as the plain strip has it.
    pixels.Fill(0, w, 0, 1, kFrame);
    pixels.Fill(0, w, h - 1, h, kFrame);
    pixels.Column(0, 0, h, kFrame);
    pixels.Column(w - 1, 0, h, kFrame);
}
