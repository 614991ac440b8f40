#include "app/program_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

QImage ProgramImage(int size) {
    QImage picture(size, size, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(32, 86, 160));
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);
    // Bars of a waveform, louder in the middle.
    p.setBrush(Qt::white);
    const int bars = 9;
    const qreal step = s * 0.8 / bars;
    for (int i = 0; i < bars; ++i) {
        const qreal loud = 0.25 + 0.65 * std::sin(3.14159 * (i + 0.5) / bars) *
                                      (0.6 + 0.4 * std::abs(std::sin(i * 1.7)));
        const qreal h = s * 0.7 * loud;
        p.drawRoundedRect(QRectF(s * 0.1 + i * step + step * 0.2, (s - h) / 2, step * 0.6, h),
                          step * 0.25, step * 0.25);
    }
    // The red position line of the player's strip.
    p.setPen(QPen(QColor(220, 40, 40), std::max<qreal>(1.0, s / 24)));
    p.drawLine(QPointF(s * 0.62, s * 0.12), QPointF(s * 0.62, s * 0.88));
    p.end();
    return picture;
}

QPixmap ProgramPicture(int size) {
    return QPixmap::fromImage(ProgramImage(size));
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(ProgramPicture(size));
    return icon;
}
