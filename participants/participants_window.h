#pragma once

#include <QDialog>
#include <QString>

// "NUV Tolvek - Участники": the table of up to ten participants. Participant n (1 … 10)
// is column n; row 1 is the picture path, row 2 the name, row 3 the colour as decimal text.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    // The text of a cell of the table (column, row), as the other windows read and write it.
    QString Cells(int col, int row) const;
    void SetCells(int col, int row, const QString& text);

private:
    QString cells_[11][4];
};
