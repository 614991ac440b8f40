#include "dictionary/variant_chooser.h"

TForm6::TForm6(QWidget* parent) : QDialog(parent) {
    setObjectName("Form6");
    setWindowTitle(QStringLiteral("NUV Tolvek - Выберите вариант из списка"));
    resize(521, 209);
}
