#include "player/player_window.h"

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setObjectName("Form1");
    setWindowTitle(QStringLiteral("NUV Tolvek - Проигрыватель"));
    resize(662, 503);
}
