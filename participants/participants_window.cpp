#include "participants/participants_window.h"

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
    setObjectName("Form5");
    setWindowTitle(QStringLiteral("NUV Tolvek - Участники"));
    resize(787, 214);
}
