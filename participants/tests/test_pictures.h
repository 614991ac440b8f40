// Pictures made at run time for the participants tests.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>

// Saves a W × H JPEG whose left half is `left` and right half `right` (best quality).
inline bool SaveTwoColourJpeg(const QString& path, int width, int height, const QColor& left,
                              const QColor& right) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(right);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, left);
    painter.end();
    return image.save(path, "JPEG", 100);
}

// True when two colours differ by at most `tolerance` in every channel (JPEG is lossy).
inline bool Near(const QColor& a, const QColor& b, int tolerance = 40) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}
