#include "player/waveform_view.h"

#include <QMouseEvent>
#include <QPainter>

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

void WaveformView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, picture_);
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    emit MouseDown(event->position().toPoint().x());
}

void WaveformView::resizeEvent(QResizeEvent*) { ClearView(); }
