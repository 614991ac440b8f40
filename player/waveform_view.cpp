#include "player/waveform_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "player/envelope.h"
#include "player/waveform_geometry.h"

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
    setObjectName("PaintBox1");
    picture_ = QImage(size(), QImage::Format_RGB32);
    ClearView();
}

void WaveformView::ClearView() {
    if (picture_.size() != size()) picture_ = QImage(size(), QImage::Format_RGB32);
    picture_.fill(Qt::white);
    QPainter p(&picture_);
    p.setPen(QColor(68, 68, 68));
    p.setBrush(Qt::white);
    p.drawRect(0, 0, width() - 1, height() - 1);
    update();
}

void WaveformView::DrawEnvelope(const EnvelopeState& envelope, double position, double length) {
    const EnvelopeReader reader(envelope);
    const std::int32_t count = reader.Count();
    if (count < 1) return;
    const int w = picture_.width();
    const int h = picture_.height();
    const WaveformGeometry view = ComputeWaveformGeometry(position, length, count, w);

    // Straight into the picture's rows: vertical lines of single pixels, the lower end
    // point not drawn.
    const QRgb green = qRgb(0, 170, 0);
    auto* pixels = reinterpret_cast<QRgb*>(picture_.bits());
    const qsizetype stride = picture_.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    for (int x = 1; x <= w - 2; ++x) {
        const std::int64_t c = static_cast<std::int64_t>(view.ViewStart) + x;
        if (c >= count) break;
        const int top = std::max(0, EnvelopeRow(reader.Max(static_cast<std::int32_t>(c)), h));
        const int bottom = std::min(h, EnvelopeRow(reader.Min(static_cast<std::int32_t>(c)), h));
        for (int y = top; y < bottom; ++y) pixels[y * stride + x] = green;
    }
    if (view.MarkerX >= 0 && view.MarkerX < w) {
        const QRgb red = qRgb(255, 0, 0);
        for (int y = 1; y < h - 1; ++y) pixels[y * stride + view.MarkerX] = red;
    }
    update();
}

void WaveformView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, picture_);
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    emit MouseDown(event->position().toPoint().x());
}

void WaveformView::resizeEvent(QResizeEvent*) {
    ClearView();
}
