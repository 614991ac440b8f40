#include "participants/participants_table.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>

#include "participants/tests/test_pictures.h"

using namespace participants;

namespace {

// A picture whose every pixel tells where it came from: red = x, green = y, blue = 7.
QImage CoordinatePicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixelColor(x, y, QColor(x, y, 7));
    return image;
}

// The source coordinate a destination coordinate should come from: first to first, last to
// last, evenly spread in between with the fraction dropped (computed in floating point).
int ExpectedSource(int d, int destinationSize, int sourceSize) {
    if (destinationSize == 1) return 0;
    return static_cast<int>(std::floor(double(d) * (sourceSize - 1) / (destinationSize - 1)));
}

void ExpectScaledFrom(const QImage& destination, int sourceWidth, int sourceHeight) {
    for (int y = 0; y < destination.height(); ++y) {
        for (int x = 0; x < destination.width(); ++x) {
            const QColor expected(ExpectedSource(x, destination.width(), sourceWidth),
                                  ExpectedSource(y, destination.height(), sourceHeight), 7);
            ASSERT_EQ(destination.pixelColor(x, y), expected) << "at " << x << "," << y;
        }
    }
}

}  // namespace

TEST(FitPicture, KeepsProportionsInsideTheBox) {
    EXPECT_EQ(FitPicture(140, 100), QSize(70, 50));    // wider: full width
    EXPECT_EQ(FitPicture(50, 100), QSize(50, 100));    // taller: full height
    EXPECT_EQ(FitPicture(700, 1000), QSize(70, 100));  // equal proportions: height branch
    EXPECT_EQ(FitPicture(35, 50), QSize(70, 100));     // small pictures grow
    EXPECT_EQ(FitPicture(300, 200), QSize(70, 46));    // 200 × 70 / 300 = 46.67
    EXPECT_EQ(FitPicture(100, 301), QSize(33, 100));   // 100 × 100 / 301 = 33.2
}

TEST(FitPicture, ExtremeShapesGiveOneOrZeroPixels) {
    EXPECT_EQ(FitPicture(700, 10), QSize(70, 1));
    EXPECT_EQ(FitPicture(10, 1000), QSize(1, 100));
    EXPECT_EQ(FitPicture(1000, 10), QSize(70, 0));
    EXPECT_EQ(FitPicture(10, 2000), QSize(0, 100));
    EXPECT_EQ(FitPicture(0, 100), QSize(0, 0));
    // Large sides must not overflow the intermediate products.
    EXPECT_EQ(FitPicture(2000000000, 1000000000), QSize(70, 35));
}

TEST(ScalePicture, PicksNearestSourcePixelsEndToEnd) {
    const QImage source = CoordinatePicture(140, 100);
    QImage destination(70, 50, QImage::Format_RGB888);
    ScalePicture(source, destination);
    // Worked by hand: column x takes x × 139 div 69, row y takes y × 99 div 49.
    EXPECT_EQ(destination.pixelColor(0, 0), QColor(0, 0, 7));
    EXPECT_EQ(destination.pixelColor(1, 1), QColor(2, 2, 7));
    EXPECT_EQ(destination.pixelColor(34, 25), QColor(68, 50, 7));
    EXPECT_EQ(destination.pixelColor(35, 25), QColor(70, 50, 7));
    EXPECT_EQ(destination.pixelColor(69, 49), QColor(139, 99, 7));
    ExpectScaledFrom(destination, 140, 100);
}

TEST(ScalePicture, SameSizeCopiesAndEnlargingRepeats) {
    const QImage source = CoordinatePicture(50, 100);
    QImage same(50, 100, QImage::Format_RGB888);
    ScalePicture(source, same);
    EXPECT_EQ(same, source);

    // 2 × 2 into 3 × 3: the middle takes 1 × 1 div 2 = 0, the first source pixel.
    QImage small = CoordinatePicture(2, 2);
    QImage large(3, 3, QImage::Format_RGB888);
    ScalePicture(small, large);
    EXPECT_EQ(large.pixelColor(1, 1), QColor(0, 0, 7));
    EXPECT_EQ(large.pixelColor(2, 1), QColor(1, 0, 7));
    EXPECT_EQ(large.pixelColor(2, 2), QColor(1, 1, 7));
    ExpectScaledFrom(large, 2, 2);

    // Odd widths leave padding at the end of each scan line.
    QImage odd(5, 3, QImage::Format_RGB888);
    ScalePicture(CoordinatePicture(7, 9), odd);
    ExpectScaledFrom(odd, 7, 9);
}

TEST(ScalePicture, OnePixelSidesTakeTheFirstSourceRowOrColumn) {
    const QImage source = CoordinatePicture(140, 100);
    QImage column(1, 100, QImage::Format_RGB888);
    ScalePicture(source, column);
    for (int y = 0; y < 100; ++y) ASSERT_EQ(column.pixelColor(0, y), QColor(0, y, 7));

    QImage row(70, 1, QImage::Format_RGB888);
    ScalePicture(source, row);
    EXPECT_EQ(row.pixelColor(0, 0), QColor(0, 0, 7));
    EXPECT_EQ(row.pixelColor(69, 0), QColor(139, 0, 7));

    QImage dot(1, 1, QImage::Format_RGB888);
    ScalePicture(source, dot);
    EXPECT_EQ(dot.pixelColor(0, 0), QColor(0, 0, 7));

    // Empty destinations and other pixel formats are left alone, without failing.
    QImage empty;
    ScalePicture(source, empty);
    EXPECT_TRUE(empty.isNull());
    QImage other(4, 4, QImage::Format_ARGB32);
    other.fill(Qt::blue);
    ScalePicture(source, other);
    EXPECT_EQ(other.pixelColor(2, 2), QColor(Qt::blue));
}

TEST(ParticipantDefaults, NamesColoursAndLabels) {
    const char* names[] = {"Участник 1", "Участник 2", "Участник 3", "Участник 4", "Участник 5",
                           "Участник 6", "Участник 7", "Участник 8", "Участник 9", "Участник 10"};
    const int values[] = {0, 11141120, 43520, 170, 11184640, 43690, 11141290, 16711680, 65280, 255};
    const QColor colours[] = {{0, 0, 0},     {0, 0, 170},   {0, 170, 0}, {170, 0, 0}, {0, 170, 170},
                              {170, 170, 0}, {170, 0, 170}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}};
    const char* keys[] = {"Ctrl + 1", "Ctrl + 2", "Ctrl + 3", "Ctrl + 4", "Ctrl + 5",
                          "Ctrl + 6", "Ctrl + 7", "Ctrl + 8", "Ctrl + 9", "Ctrl + 0"};
    for (int n = 1; n <= 10; ++n) {
        EXPECT_EQ(DefaultName(n), QString::fromUtf8(names[n - 1]));
        EXPECT_EQ(DefaultColour(n), values[n - 1]);
        EXPECT_EQ(ColourFromValue(DefaultColour(n)), colours[n - 1]) << n;
        EXPECT_EQ(HotKeyLabel(n), QString::fromUtf8(keys[n - 1]));
    }
    EXPECT_EQ(RowLabel(0), QStringLiteral("Клавиши"));
    EXPECT_EQ(RowLabel(1), QStringLiteral("Фото"));
    EXPECT_EQ(RowLabel(2), QStringLiteral("Имя"));
    EXPECT_EQ(RowLabel(3), QStringLiteral("Текст"));
}

TEST(ColourText, RedInTheLowestByteAndBadTextIsBlack) {
    EXPECT_EQ(ValueFromColour(QColor(1, 2, 3)), 0x030201);
    EXPECT_EQ(ColourFromValue(0x030201), QColor(1, 2, 3));
    EXPECT_EQ(ColourValueFromText("255"), 255);
    EXPECT_EQ(ColourValueFromText("-1"), -1);
    EXPECT_EQ(ColourFromValue(-1), QColor(255, 255, 255));
    EXPECT_EQ(ColourValueFromText("abc"), 0);
    EXPECT_EQ(ColourValueFromText(""), 0);
    EXPECT_EQ(ColourValueFromText("12abc"), 0);
    EXPECT_EQ(ColourValueFromText("0x10"), 0);
    EXPECT_EQ(ColourValueFromText("99999999999"), 0);
}

TEST(ColourText, OnlyDecimalColourValuesMayBeTyped) {
    for (const char* good : {"0", "255", "16777215", "00012"})
        EXPECT_TRUE(IsColourValueText(QString::fromLatin1(good))) << good;
    for (const char* bad :
         {"", "16777216", "99999999999", "-1", "+5", " 5", "5 ", "0x10", "1e3", "red"})
        EXPECT_FALSE(IsColourValueText(QString::fromLatin1(bad))) << bad;
}

TEST(Silhouette, GreyHeadAndShouldersOnWhite) {
    const QImage image = SilhouettePicture();
    ASSERT_EQ(image.size(), QSize(70, 100));
    EXPECT_EQ(image.format(), QImage::Format_RGB888);
    const QColor grey(186, 186, 186), white(255, 255, 255);
    int greyCount = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 70; ++x) {
            const QColor c = image.pixelColor(x, y);
            ASSERT_TRUE(c == grey || c == white) << x << "," << y;
            greyCount += c == grey;
        }
    }
    EXPECT_EQ(image.pixelColor(0, 0), white);
    EXPECT_EQ(image.pixelColor(35, 30), grey);  // head
    EXPECT_EQ(image.pixelColor(35, 95), grey);  // chest at the bottom edge
    EXPECT_EQ(image.pixelColor(8, 30), white);  // beside the head
    EXPECT_EQ(image.pixelColor(0, 99), white);  // shoulders stop short of the edge
    EXPECT_GT(greyCount, 70 * 100 / 5);
    EXPECT_LT(greyCount, 70 * 100 * 3 / 4);
}

class PictureCellTest : public testing::Test {
  protected:
    QString Path(const QString& name) const { return QDir(dir_.path()).filePath(name); }
    QTemporaryDir dir_;
    PictureCell cell_;
};

TEST_F(PictureCellTest, EmptyMissingAndDirectoryPaths) {
    EXPECT_EQ(cell_.Prepare(QString()), PictureCell::Content::Placeholder);
    EXPECT_EQ(cell_.Prepare(Path("missing.jpg")), PictureCell::Content::Background);
    EXPECT_EQ(cell_.Prepare(dir_.path()), PictureCell::Content::Background);
}

TEST_F(PictureCellTest, JpegIsDecodedFittedAndScaled) {
    ASSERT_TRUE(SaveTwoColourJpeg(Path("wide.jpg"), 140, 100, Qt::red, Qt::blue));
    ASSERT_EQ(cell_.Prepare(Path("wide.jpg")), PictureCell::Content::Picture);
    ASSERT_EQ(cell_.Scaled().size(), QSize(70, 50));
    EXPECT_TRUE(Near(cell_.Scaled().pixelColor(5, 25), Qt::red));
    EXPECT_TRUE(Near(cell_.Scaled().pixelColor(64, 25), Qt::blue));

    // The buffers are reused for the next picture, which must not show the previous one.
    ASSERT_TRUE(SaveTwoColourJpeg(Path("tall.jpeg"), 50, 100, Qt::green, Qt::green));
    ASSERT_EQ(cell_.Prepare(Path("tall.jpeg")), PictureCell::Content::Picture);
    EXPECT_EQ(cell_.Scaled().size(), QSize(50, 100));
    EXPECT_TRUE(Near(cell_.Scaled().pixelColor(45, 90), Qt::green));

    // The file is read again every time: a replaced file shows its new content.
    ASSERT_TRUE(SaveTwoColourJpeg(Path("wide.jpg"), 700, 1000, Qt::yellow, Qt::yellow));
    ASSERT_EQ(cell_.Prepare(Path("wide.jpg")), PictureCell::Content::Picture);
    EXPECT_EQ(cell_.Scaled().size(), QSize(70, 100));
    EXPECT_TRUE(Near(cell_.Scaled().pixelColor(5, 5), Qt::yellow));
}

TEST_F(PictureCellTest, OddJpegsNeverFail) {
    // Greyscale JPEG: another pixel format from the decoder.
    QImage grey(20, 40, QImage::Format_Grayscale8);
    grey.fill(128);
    ASSERT_TRUE(grey.save(Path("grey.jpg"), "JPEG", 100));
    ASSERT_EQ(cell_.Prepare(Path("grey.jpg")), PictureCell::Content::Picture);
    EXPECT_EQ(cell_.Scaled().size(), QSize(50, 100));
    EXPECT_TRUE(Near(cell_.Scaled().pixelColor(25, 50), QColor(128, 128, 128), 8));

    // One-pixel and zero-pixel fits.
    ASSERT_TRUE(SaveTwoColourJpeg(Path("strip.jpg"), 700, 10, Qt::red, Qt::blue));
    ASSERT_EQ(cell_.Prepare(Path("strip.jpg")), PictureCell::Content::Picture);
    EXPECT_EQ(cell_.Scaled().size(), QSize(70, 1));
    ASSERT_TRUE(SaveTwoColourJpeg(Path("line.jpg"), 1000, 10, Qt::red, Qt::blue));
    ASSERT_EQ(cell_.Prepare(Path("line.jpg")), PictureCell::Content::Picture);
    EXPECT_TRUE(cell_.Scaled().isNull());
}

TEST_F(PictureCellTest, FilesThatAreNotJpegShowThePlaceholder) {
    QFile text(Path("notes.jpg"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("this is not a picture\n");
    text.close();
    EXPECT_EQ(cell_.Prepare(Path("notes.jpg")), PictureCell::Content::Placeholder);

    QFile empty(Path("empty.jpg"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_EQ(cell_.Prepare(Path("empty.jpg")), PictureCell::Content::Placeholder);

    // A PNG under a JPEG name is not accepted as JPEG.
    QImage png(10, 10, QImage::Format_RGB888);
    png.fill(Qt::red);
    ASSERT_TRUE(png.save(Path("disguised.jpg"), "PNG"));
    EXPECT_EQ(cell_.Prepare(Path("disguised.jpg")), PictureCell::Content::Placeholder);

    // A JPEG cut short after its header: whatever the decoder makes of it, no failure.
    ASSERT_TRUE(SaveTwoColourJpeg(Path("whole.jpg"), 200, 200, Qt::red, Qt::blue));
    QFile whole(Path("whole.jpg"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    QFile cut(Path("cut.jpg"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() / 3));
    cut.close();
    const PictureCell::Content content = cell_.Prepare(Path("cut.jpg"));
    if (content == PictureCell::Content::Picture)
        EXPECT_EQ(cell_.Scaled().size(), QSize(70, 70));
    else
        EXPECT_EQ(content, PictureCell::Content::Placeholder);
}

TEST_F(PictureCellTest, HugeDeclaredSizeIsRefusedWithoutFailing) {
    // A small JPEG whose frame header claims 65000 × 65000 pixels.
    ASSERT_TRUE(SaveTwoColourJpeg(Path("small.jpg"), 16, 16, Qt::red, Qt::blue));
    QFile small(Path("small.jpg"));
    ASSERT_TRUE(small.open(QIODevice::ReadOnly));
    QByteArray bytes = small.readAll();
    const qsizetype frame = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(frame, 0);
    bytes[frame + 5] = char(0xFD), bytes[frame + 6] = char(0xE8);  // height 65000
    bytes[frame + 7] = char(0xFD), bytes[frame + 8] = char(0xE8);  // width 65000
    QFile huge(Path("huge.jpg"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    huge.write(bytes);
    huge.close();
    EXPECT_EQ(cell_.Prepare(Path("huge.jpg")), PictureCell::Content::Placeholder);
}
