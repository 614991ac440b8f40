#include "app/about_box.h"

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle(QStringLiteral("О программе"));
    setFixedSize(298, 213);
}
