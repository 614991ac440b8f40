#include "participants/participants_window.h"

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
    setObjectName("Form5");
    setWindowTitle(QStringLiteral("NUV Tolvek - Участники"));
    resize(787, 214);
}

QString TForm5::Cells(int col, int row) const {
    if (col < 0 || col > 10 || row < 0 || row > 3) return {};
    return cells_[col][row];
}

void TForm5::SetCells(int col, int row, const QString& text) {
    if (col < 0 || col > 10 || row < 0 || row > 3) return;
    cells_[col][row] = text;
}
