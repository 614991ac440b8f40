#pragma once

#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

#include "participants/participants_table.h"

class QColorDialog;
class QFileDialog;
class QMenu;
class QPainter;
class QRect;
class QTableWidget;

// "NUV Tolvek - Участники": the table of up to ten participants. Participant n (1 … 10)
// is column n; row 1 is the picture path, row 2 the name, row 3 the colour as decimal text.
// Created hidden once at start-up; closing it only hides it. User-interface thread only.
class TForm5 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm5(QWidget* parent = nullptr);
    ~TForm5() override;

    // The text of a cell of the table (column, row), as the other windows read and write it.
    QString Cells(int col, int row) const;
    void SetCells(int col, int row, const QString& text);

    // Menu commands: clear the table, default colours, black only.
    void N1Click();
    void N3Click();
    void N2Click();

    // Double click on the table: picture or colour chooser for the current cell.
    void StringGrid1DblClick();

    // Paints cell (col, row) into `rect`, the cell's whole area, after the standard painting.
    void StringGrid1DrawCell(QPainter* painter, int col, int row, const QRect& rect, bool selected);

    // The choosers, replaceable (tests). A picture chooser returns the chosen file's full path,
    // a colour chooser the chosen colour from the preset one; std::nullopt means cancelled.
    std::function<std::optional<QString>()> ChoosePicture;
    std::function<std::optional<QColor>(const QColor& preset)> ChooseColour;

    // The window it is centred over when it has no parent: the player's, set by the window set.
    QPointer<QWidget> CentreOver;

    // Picture dialog filter, written as "description|patterns".
    static const QString kPictureFilter;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void PaintStandardCell(QPainter* painter, int col, int row, const QRect& rect,
                           bool selected) const;

    QTableWidget* StringGrid1;
    QFileDialog* OpenPictureDialog1;
    QColorDialog* ColorDialog1;
    QMenu* PopupMenu1;
    // Shown for a participant without a picture (never put on screen by itself).
    const QImage Image1;
    participants::PictureCell pictures_;
};
