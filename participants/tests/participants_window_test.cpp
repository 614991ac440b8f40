#include "participants/participants_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "participants/tests/test_pictures.h"

using participants::SilhouettePicture;

namespace {

const QColor kWhite(255, 255, 255);
const QColor kGrey(186, 186, 186);

class ParticipantsWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        grid_ = form_.findChild<QTableWidget*>("StringGrid1");
        ASSERT_NE(grid_, nullptr);
    }

    QString Path(const QString& name) const { return QDir(dir_.path()).filePath(name); }

    // The cell's own area on the grid's viewport, without the grid line.
    QRect CellRect(int col, int row) const { return grid_->visualItemRect(grid_->item(row, col)); }

    // The viewport as painted, with no cell highlighted.
    QImage Painted() {
        grid_->clearSelection();
        return grid_->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB888);
    }

    void DoubleClick(int col, int row) {
        // A double click comes after a first press on the same cell.
        QTest::mouseClick(grid_->viewport(), Qt::LeftButton, Qt::NoModifier,
                          CellRect(col, row).center());
        QTest::mouseDClick(grid_->viewport(), Qt::LeftButton, Qt::NoModifier,
                           CellRect(col, row).center());
    }

    // Types text into the current cell, as a user would: the first key opens the editor.
    void TypeIntoCurrentCell(const QString& text) {
        QWidget* target = grid_;
        for (const QChar ch : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(target, &press);
            if (auto* editor = grid_->findChild<QLineEdit*>()) target = editor;
        }
        QTest::keyClick(target, Qt::Key_Return);
        QApplication::processEvents();  // the editor commits through a queued call
    }

    QTemporaryDir dir_;
    TForm5 form_;
    QTableWidget* grid_ = nullptr;
};

TEST_F(ParticipantsWindowTest, StartsWithLabelsAndDefaults) {
    EXPECT_EQ(form_.windowTitle(), QStringLiteral("NUV Tolvek - Участники"));
    EXPECT_EQ(form_.size(), QSize(787, 214));
    EXPECT_EQ(form_.minimumSize(), form_.maximumSize());
    EXPECT_EQ(grid_->geometry(), QRect(0, 0, 793, 233));
    EXPECT_EQ(grid_->columnCount(), 11);
    EXPECT_EQ(grid_->rowCount(), 4);

    EXPECT_EQ(form_.Cells(0, 0), QStringLiteral("Клавиши"));
    EXPECT_EQ(form_.Cells(0, 1), QStringLiteral("Фото"));
    EXPECT_EQ(form_.Cells(0, 2), QStringLiteral("Имя"));
    EXPECT_EQ(form_.Cells(0, 3), QStringLiteral("Текст"));
    EXPECT_EQ(form_.Cells(1, 0), QStringLiteral("Ctrl + 1"));
    EXPECT_EQ(form_.Cells(10, 0), QStringLiteral("Ctrl + 0"));
    EXPECT_EQ(form_.Cells(10, 2), QStringLiteral("Участник 10"));
    EXPECT_EQ(form_.Cells(4, 3), QStringLiteral("170"));
    EXPECT_EQ(form_.Cells(2, 3), QStringLiteral("11141120"));
    for (int n = 1; n <= 10; ++n) EXPECT_TRUE(form_.Cells(n, 1).isEmpty());
    // Outside the table: nothing, and writing there changes nothing.
    form_.SetCells(11, 2, "x");
    EXPECT_TRUE(form_.Cells(11, 2).isEmpty());
    EXPECT_TRUE(form_.Cells(-1, 0).isEmpty());

    // Each cell is the box of the table: 70 wide, rows 24, 100, 60, 20 high.
    EXPECT_EQ(CellRect(1, 0).size(), QSize(70, 24));
    EXPECT_EQ(CellRect(1, 1).size(), QSize(70, 100));
    EXPECT_EQ(CellRect(1, 2).size(), QSize(70, 60));
    EXPECT_EQ(CellRect(1, 3).size(), QSize(70, 20));
    // The whole table is visible in the window.
    EXPECT_LE(grid_->visualItemRect(grid_->item(3, 10)).bottom() + 2, 214);
    EXPECT_LE(grid_->visualItemRect(grid_->item(3, 10)).right() + 2, 787);

    auto* dialog = form_.findChild<QFileDialog*>("OpenPictureDialog1");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->nameFilters(), QStringList{"JPEG Image File (*.jpg *.jpeg)"});
    EXPECT_NE(form_.findChild<QColorDialog*>("ColorDialog1"), nullptr);
}

TEST_F(ParticipantsWindowTest, MenuCommandsClearAndRestoreColours) {
    auto* menu = form_.findChild<QMenu*>("PopupMenu1");
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("Очистить таблицу"));
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->text(), QStringLiteral("Цвета по умолчанию"));
    EXPECT_EQ(actions[3]->text(), QStringLiteral("Только чёрный цвет"));

    const QString defaults[] = {"0",     "11141120", "43520",    "170",   "11184640",
                                "43690", "11141290", "16711680", "65280", "255"};
    actions[3]->trigger();  // black only
    for (int n = 1; n <= 10; ++n) EXPECT_EQ(form_.Cells(n, 3), QStringLiteral("0"));
    EXPECT_EQ(form_.Cells(3, 2), QStringLiteral("Участник 3"));  // names untouched
    actions[2]->trigger();                                       // default colours
    for (int n = 1; n <= 10; ++n) EXPECT_EQ(form_.Cells(n, 3), defaults[n - 1]);

    for (int n = 1; n <= 10; ++n) {
        form_.SetCells(n, 1, Path(QStringLiteral("p%1.jpg").arg(n)));
        form_.SetCells(n, 2, QStringLiteral("Name %1").arg(n));
        form_.SetCells(n, 3, "12345");
    }
    actions[0]->trigger();  // clear, without asking
    for (int n = 1; n <= 10; ++n) {
        EXPECT_TRUE(form_.Cells(n, 1).isEmpty());
        EXPECT_EQ(form_.Cells(n, 2), QStringLiteral("Участник %1").arg(n));
        EXPECT_EQ(form_.Cells(n, 3), defaults[n - 1]);
    }
    EXPECT_EQ(form_.Cells(10, 0), QStringLiteral("Ctrl + 0"));  // labels stay
}

TEST_F(ParticipantsWindowTest, DoubleClickChoosesPictureOrColour) {
    int pictureCalls = 0, colourCalls = 0;
    std::optional<QString> chosenPath;
    std::optional<QColor> presetSeen, chosenColour;
    form_.ChoosePicture = [&]() {
        ++pictureCalls;
        return chosenPath;
    };
    form_.ChooseColour = [&](const QColor& preset) {
        ++colourCalls;
        presetSeen = preset;
        return chosenColour ? chosenColour : std::optional<QColor>(preset);
    };

    // Cancel changes nothing; a choice writes the full path.
    form_.SetCells(3, 1, "old.jpg");
    DoubleClick(3, 1);
    EXPECT_EQ(pictureCalls, 1);
    EXPECT_EQ(form_.Cells(3, 1), QStringLiteral("old.jpg"));
    chosenPath = Path("face.jpg");
    DoubleClick(3, 1);
    EXPECT_EQ(form_.Cells(3, 1), Path("face.jpg"));

    // The colour chooser starts at the cell's colour; confirming unchanged writes it back.
    DoubleClick(2, 3);
    ASSERT_EQ(colourCalls, 1);
    EXPECT_EQ(*presetSeen, QColor(0, 0, 170));
    EXPECT_EQ(form_.Cells(2, 3), QStringLiteral("11141120"));
    chosenColour = QColor(1, 2, 3);
    DoubleClick(2, 3);
    EXPECT_EQ(form_.Cells(2, 3), QString::number(0x030201));

    // Text that is no number presets black.
    form_.SetCells(5, 3, "teal");
    chosenColour.reset();
    DoubleClick(5, 3);
    EXPECT_EQ(*presetSeen, QColor(0, 0, 0));
    EXPECT_EQ(form_.Cells(5, 3), QStringLiteral("0"));

    // Cancelling the colour chooser changes nothing.
    form_.ChooseColour = [&](const QColor&) -> std::optional<QColor> {
        ++colourCalls;
        return std::nullopt;
    };
    DoubleClick(6, 3);
    EXPECT_EQ(colourCalls, 4);
    EXPECT_EQ(form_.Cells(6, 3), QStringLiteral("43690"));

    // Names, labels and hot keys open no chooser.
    DoubleClick(4, 2);
    DoubleClick(0, 1);
    DoubleClick(7, 0);
    EXPECT_EQ(pictureCalls, 2);
    EXPECT_EQ(colourCalls, 4);
    EXPECT_FALSE(grid_->findChild<QLineEdit*>() && grid_->findChild<QLineEdit*>()->isVisible());
}

TEST_F(ParticipantsWindowTest, NamesAreTypedInPlace) {
    form_.show();
    grid_->setFocus();
    grid_->setCurrentCell(2, 3);
    TypeIntoCurrentCell(QStringLiteral("Анна"));
    EXPECT_EQ(form_.Cells(3, 2), QStringLiteral("Анна"));

    grid_->setCurrentCell(0, 3);  // hot-key labels are not editable
    TypeIntoCurrentCell(QStringLiteral("x"));
    EXPECT_EQ(form_.Cells(3, 0), QStringLiteral("Ctrl + 3"));
}

TEST_F(ParticipantsWindowTest, ColourCellsTakeOnlyADecimalColourValue) {
    form_.show();
    grid_->setFocus();
    const QString before = form_.Cells(4, 3);
    struct Case {
        const char* typed;
        const char* kept;  // nullptr: the old value stays
    };
    // Letters cannot be typed there at all; a number beyond white is refused at the end.
    const Case cases[] = {{"красный", nullptr},
                          {"16777216", nullptr},
                          {"255", "255"},
                          {"16777215", "16777215"},
                          {"0", "0"}};
    for (const Case& c : cases) {
        form_.SetCells(4, 3, before);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // earlier editors
        grid_->setCurrentCell(3, 4);
        TypeIntoCurrentCell(QString::fromUtf8(c.typed));
        EXPECT_EQ(form_.Cells(4, 3), c.kept ? QString::fromLatin1(c.kept) : before) << c.typed;
    }
}

TEST_F(ParticipantsWindowTest, PaintsPlaceholderPicturesAndMissingFiles) {
    ASSERT_TRUE(SaveTwoColourJpeg(Path("wide.jpg"), 140, 100, Qt::red, Qt::blue));
    ASSERT_TRUE(SaveTwoColourJpeg(Path("tall.jpg"), 50, 100, Qt::green, Qt::green));
    ASSERT_TRUE(SaveTwoColourJpeg(Path("strip.jpg"), 700, 10, Qt::magenta, Qt::magenta));
    QFile junk(Path("junk.jpg"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(500, '\x5a'));
    junk.close();

    form_.SetCells(2, 1, Path("wide.jpg"));
    form_.SetCells(3, 1, Path("tall.jpg"));
    form_.SetCells(4, 1, Path("nowhere.jpg"));
    form_.SetCells(5, 1, Path("junk.jpg"));
    form_.SetCells(6, 1, Path("strip.jpg"));
    form_.show();
    const QImage image = Painted();

    // Participant 1 has no picture: the silhouette, pixel for pixel, at the cell's corner.
    const QRect empty = CellRect(1, 1);
    const QImage placeholder = SilhouettePicture();
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 70; ++x)
            ASSERT_EQ(image.pixelColor(empty.x() + x, empty.y() + y), placeholder.pixelColor(x, y));
    EXPECT_EQ(image.pixelColor(empty.x() + 35, empty.y() + 30), kGrey);

    // 140 × 100 shows 70 × 50 at the top: red left, blue right, background below.
    const QRect wide = CellRect(2, 1);
    EXPECT_TRUE(Near(image.pixelColor(wide.x() + 3, wide.y() + 2), Qt::red));
    EXPECT_TRUE(Near(image.pixelColor(wide.x() + 66, wide.y() + 47), Qt::blue));
    EXPECT_EQ(image.pixelColor(wide.x() + 35, wide.y() + 50), kWhite);
    EXPECT_EQ(image.pixelColor(wide.x() + 35, wide.y() + 99), kWhite);

    // 50 × 100 shows 50 × 100 at the left.
    const QRect tall = CellRect(3, 1);
    EXPECT_TRUE(Near(image.pixelColor(tall.x(), tall.y() + 99), Qt::green));
    EXPECT_TRUE(Near(image.pixelColor(tall.x() + 49, tall.y()), Qt::green));
    EXPECT_EQ(image.pixelColor(tall.x() + 50, tall.y() + 50), kWhite);
    EXPECT_EQ(image.pixelColor(tall.x() + 69, tall.y() + 50), kWhite);

    // A missing file leaves the whole cell empty, and its path in the table.
    const QRect missing = CellRect(4, 1);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 70; ++x)
            ASSERT_EQ(image.pixelColor(missing.x() + x, missing.y() + y), kWhite);
    EXPECT_EQ(form_.Cells(4, 1), Path("nowhere.jpg"));

    // A file that is not a JPEG shows the silhouette.
    const QRect junkCell = CellRect(5, 1);
    EXPECT_EQ(image.pixelColor(junkCell.x() + 35, junkCell.y() + 30), kGrey);
    EXPECT_EQ(image.pixelColor(junkCell.x(), junkCell.y()), kWhite);

    // A 700 × 10 picture fits as a single 70 × 1 line.
    const QRect strip = CellRect(6, 1);
    EXPECT_TRUE(Near(image.pixelColor(strip.x() + 10, strip.y()), Qt::magenta));
    EXPECT_EQ(image.pixelColor(strip.x() + 10, strip.y() + 1), kWhite);
}

TEST_F(ParticipantsWindowTest, PaintsColoursAndNames) {
    form_.SetCells(1, 3, "255");
    form_.SetCells(2, 3, "not a colour");
    form_.SetCells(3, 3, QString::number(0x00FF00));
    form_.SetCells(4, 2, "");
    form_.SetCells(1, 2, QStringLiteral("Анна Петровна"));
    form_.show();
    const QImage image = Painted();

    const auto filledWith = [&](const QRect& cell, const QColor& colour) {
        for (int y = 0; y < cell.height(); ++y)
            for (int x = 0; x < cell.width(); ++x)
                if (image.pixelColor(cell.x() + x, cell.y() + y) != colour) return false;
        return true;
    };
    EXPECT_TRUE(filledWith(CellRect(1, 3), QColor(255, 0, 0)));  // red, no text
    EXPECT_TRUE(filledWith(CellRect(2, 3), QColor(0, 0, 0)));    // bad text: black
    EXPECT_TRUE(filledWith(CellRect(3, 3), QColor(0, 255, 0)));
    EXPECT_TRUE(filledWith(CellRect(4, 2), kWhite));  // empty name: background only

    // A name is drawn from the top, centred, wrapped onto a second line.
    const QRect name = CellRect(1, 2);
    int top = name.height(), bottom = -1, left = name.width(), right = -1;
    for (int y = 0; y < name.height(); ++y)
        for (int x = 0; x < name.width(); ++x)
            if (image.pixelColor(name.x() + x, name.y() + y) != kWhite) {
                top = std::min(top, y), bottom = std::max(bottom, y);
                left = std::min(left, x), right = std::max(right, x);
            }
    ASSERT_GE(bottom, 0) << "no text drawn";
    EXPECT_LT(top, 6);
    EXPECT_LT(bottom, 45);
    EXPECT_GT(bottom - top, QFontMetrics(grid_->font()).height());  // two lines
    EXPECT_NEAR((left + right) / 2.0, 35, 4);
}

TEST_F(ParticipantsWindowTest, PaintsOntoAnyPainterAtTheGivenRectangle) {
    QImage canvas(100, 120, QImage::Format_RGB888);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    form_.StringGrid1DrawCell(&painter, 1, 1, QRect(10, 5, 70, 100), false);
    painter.end();
    const QImage placeholder = SilhouettePicture();
    EXPECT_EQ(canvas.copy(10, 5, 70, 100), placeholder);
    EXPECT_EQ(canvas.pixelColor(9, 5), QColor(Qt::black));
    EXPECT_EQ(canvas.pixelColor(80, 105), QColor(Qt::black));
}

TEST_F(ParticipantsWindowTest, ClosingHidesAndShowingCentresOverTheOwner) {
    QWidget owner;
    owner.setGeometry(200, 150, 662, 503);
    owner.show();
    TForm5 form(&owner);
    form.SetCells(1, 2, "Kept");
    form.show();
    EXPECT_TRUE(form.isWindow());
    const QPoint formCentre = form.frameGeometry().center();
    const QPoint ownerCentre = owner.frameGeometry().center();
    EXPECT_LE((formCentre - ownerCentre).manhattanLength(), 2);

    EXPECT_TRUE(form.close());
    EXPECT_TRUE(form.isHidden());
    EXPECT_EQ(form.Cells(1, 2), QStringLiteral("Kept"));
    owner.move(400, 300);
    form.show();
    EXPECT_LE((form.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(),
              2);
}

}  // namespace
