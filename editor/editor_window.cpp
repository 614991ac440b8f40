#include "editor/editor_window.h"

TForm2::TForm2(QWidget* parent) : QMainWindow(parent) {
    setObjectName("Form2");
    setWindowTitle(QStringLiteral("NUV Tolvek - Редактор"));
    resize(652, 399);
}
