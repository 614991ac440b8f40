#include "participants/participants_table.h"

#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <cstring>

namespace participants {

namespace {

constexpr int kDefaultColours[kParticipantCount] = {
    0,         // black
    11141120,  // dark blue
    43520,     // dark green
    170,       // dark red
    11184640,  // teal
    43690,     // olive
    11141290,  // purple
    16711680,  // blue
    65280,     // green
    255,       // red
};

}  // namespace

QString RowLabel(int row) {
    switch (row) {
        case kKeysRow:
            return QStringLiteral("Клавиши");
        case kPictureRow:
            return QStringLiteral("Фото");
        case kNameRow:
            return QStringLiteral("Имя");
        case kColourRow:
            return QStringLiteral("Текст");
        default:
            return {};
    }
}

QString HotKeyLabel(int participant) {
    if (participant < 1 || participant > kParticipantCount) return {};
    return QStringLiteral("Ctrl + %1").arg(participant % 10);
}

QString DefaultName(int participant) {
    if (participant < 1 || participant > kParticipantCount) return {};
    return QStringLiteral("Участник %1").arg(participant);
}

int DefaultColour(int participant) {
    if (participant < 1 || participant > kParticipantCount) return 0;
    return kDefaultColours[participant - 1];
}

QColor ColourFromValue(int value) {
    const auto v = static_cast<quint32>(value);
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

int ValueFromColour(const QColor& colour) {
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

int ColourValueFromText(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

bool IsColourValueText(const QString& text) {
    if (text.isEmpty() || text.size() > 8) return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') return false;
    }
    return text.toInt() <= kMaxColourValue;
}

QSize FitPicture(int width, int height, int boxWidth, int boxHeight) {
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0) return {0, 0};
    // boxWidth / boxHeight < width / height, compared exactly by cross-multiplying.
    const qint64 w = width, h = height, bw = boxWidth, bh = boxHeight;
    if (bw * h < w * bh) return QSize(boxWidth, static_cast<int>(h * bw / w));
    return QSize(static_cast<int>(w * bh / h), boxHeight);
}

void ScalePicture(const QImage& source, QImage& destination) {
    const int sw = source.width(), sh = source.height();
    const int dw = destination.width(), dh = destination.height();
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    if (source.format() != QImage::Format_RGB888 || destination.format() != QImage::Format_RGB888)
        return;
    for (int y = 0; y < dh; ++y) {
        // A single destination row or column has no spread: it takes the first source one.
        const int sy = dh > 1 ? static_cast<int>(qint64(y) * (sh - 1) / (dh - 1)) : 0;
        const uchar* from = source.constScanLine(sy);
        uchar* to = destination.scanLine(y);
        for (int x = 0; x < dw; ++x) {
            const int sx = dw > 1 ? static_cast<int>(qint64(x) * (sw - 1) / (dw - 1)) : 0;
            std::memcpy(to + 3 * x, from + 3 * sx, 3);
        }
    }
}

QImage SilhouettePicture() {
    QImage image(kPictureBoxWidth, kPictureBoxHeight, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    // No antialiasing: the picture holds exactly two colours.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(186, 186, 186));
    // Head.
    painter.drawEllipse(QRect(20, 14, 30, 38));
    // Neck and shoulders, running off the bottom edge.
    painter.drawRect(QRect(29, 48, 12, 14));
    QPainterPath shoulders;
    shoulders.moveTo(4, 100);
    shoulders.cubicTo(4, 70, 14, 62, 35, 60);
    shoulders.cubicTo(56, 62, 66, 70, 66, 100);
    shoulders.closeSubpath();
    painter.drawPath(shoulders);
    painter.end();
    return image;
}

PictureCell::Content PictureCell::Prepare(const QString& path) {
    if (path.isEmpty()) return Content::Placeholder;
    if (!QFileInfo(path).isFile()) return Content::Background;

    // Only JPEG is accepted, whatever the file's name says; anything else shows the placeholder.
    decoder_.setFileName(path);
    decoder_.setFormat("jpeg");
    decoder_.setAutoDetectImageFormat(false);
    decoder_.setDecideFormatFromContent(false);
    const bool decoded = decoder_.read(&decoded_);
    decoder_.setFileName(QString());  // do not hold the file open between paintings
    if (!decoded || decoded_.isNull()) return Content::Placeholder;
    // Greyscale and CMYK JPEGs decode to other formats; scaling reads 3 bytes per pixel.
    if (decoded_.format() != QImage::Format_RGB888) decoded_.convertTo(QImage::Format_RGB888);

    const QSize fitted = FitPicture(decoded_.width(), decoded_.height());
    if (scaled_.size() != fitted || scaled_.format() != QImage::Format_RGB888)
        scaled_ = fitted.isEmpty() ? QImage() : QImage(fitted, QImage::Format_RGB888);
    ScalePicture(decoded_, scaled_);
    return Content::Picture;
}

}  // namespace participants
