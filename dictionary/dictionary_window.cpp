#include "dictionary/dictionary_window.h"

TForm3::TForm3(QWidget* parent) : QWidget(parent) {
    setObjectName("Form3");
    setWindowTitle(QStringLiteral("NUV Tolvek - Словарь"));
    resize(652, 419);
}
