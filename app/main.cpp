#include <QApplication>

#include "app/window_set.h"
#include "player/player_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    CreateWindowSet();
    Form1->show();
    const int result = app.exec();
    DestroyWindowSet();
    return result;
}
