#include "app/application.h"
#include "app/program_icon.h"
#include "app/window_set.h"
#include "player/player_window.h"

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("NUV Tolvek"));
    TApplication::setWindowIcon(ProgramIcon());
    // A failure while the windows are built (a missing dictionary file) ends the program
    // after its message.
    if (!RunShowingErrors(CreateWindowSet)) return 1;
    Form1->show();
    const int result = app.exec();
    DestroyWindowSet();
    return result;
}
