// The participants table without widgets: its layout, defaults, colour text, the picture fit
// rule and nearest-neighbour scaling, and the preparation of a picture cell for painting.
// User-interface thread only (nothing here is shared between threads).
#pragma once

#include <QColor>
#include <QImage>
#include <QImageReader>
#include <QSize>
#include <QString>

namespace participants {

// 11 columns (column 0 the labels, participant n in column n) by 4 rows.
inline constexpr int kColumnCount = 11;
inline constexpr int kRowCount = 4;
inline constexpr int kParticipantCount = 10;

inline constexpr int kKeysRow = 0;
inline constexpr int kPictureRow = 1;
inline constexpr int kNameRow = 2;
inline constexpr int kColourRow = 3;

// Cell sizes in pixels; the picture box is one column wide and one picture row high.
inline constexpr int kColumnWidth = 70;
inline constexpr int kRowHeights[kRowCount] = {24, 100, 60, 20};
inline constexpr int kPictureBoxWidth = kColumnWidth;
inline constexpr int kPictureBoxHeight = kRowHeights[kPictureRow];

// Label of a row in column 0: "Клавиши", "Фото", "Имя", "Текст".
QString RowLabel(int row);
// Hot-key label of participant n (1 … 10): "Ctrl + 1" … "Ctrl + 9", "Ctrl + 0" for 10.
QString HotKeyLabel(int participant);
// Default name of participant n: "Участник n".
QString DefaultName(int participant);
// Default colour value of participant n (red in the lowest byte).
int DefaultColour(int participant);

// A colour value (red lowest byte, then green, then blue) as a colour and back.
QColor ColourFromValue(int value);
int ValueFromColour(const QColor& colour);
// The colour value written in a cell. Text that is not a decimal integer (it can be typed in
// place) reads as 0, black, so that painting and the colour chooser always have a value.
int ColourValueFromText(const QString& text);
// The largest colour value: white, 0xFFFFFF.
inline constexpr int kMaxColourValue = 0xFFFFFF;
// Whether typed text may stand in a colour cell: a decimal colour value, 0 … 16777215, digits
// only. Anything else would show as black here and stop the HTML export.
bool IsColourValueText(const QString& text);

// Size of a W × H picture fitted into a BW × BH box keeping its proportions, fractions
// dropped. Equal proportions fill the box height. Either side may come out 0.
QSize FitPicture(int width, int height, int boxWidth = kPictureBoxWidth,
                 int boxHeight = kPictureBoxHeight);

// Nearest-neighbour resampling of `source` into the whole of `destination`. Both must be
// QImage::Format_RGB888 (3 bytes per pixel); the first and last destination rows and columns
// take the first and last source ones. A destination side of 1 pixel takes source row or
// column 0; an empty destination is left alone.
void ScalePicture(const QImage& source, QImage& destination);

// The placeholder for a participant without a picture: 70 × 100, 24-bit, a light grey
// (186, 186, 186) head-and-shoulders silhouette on white.
QImage SilhouettePicture();

// What a picture cell shows, and the decoder and picture buffers behind it, made once and
// reused. Every call reads and decodes the file again; nothing of a picture is cached.
class PictureCell {
  public:
    enum class Content {
        Background,   // a path that names no file: the cell's background only
        Placeholder,  // no path, or a file that is not a decodable JPEG: the silhouette
        Picture,      // the decoded picture, fitted and scaled (possibly 0 pixels wide/high)
    };

    // Prepares the cell for `path`; for Content::Picture the result is Scaled().
    Content Prepare(const QString& path);

    const QImage& Scaled() const { return scaled_; }

  private:
    QImageReader decoder_;
    QImage decoded_;
    QImage scaled_;
};

}  // namespace participants
