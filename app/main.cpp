#include <QTimer>
#include <cstdio>
#include <cstring>

#include "app/application.h"
#include "app/program_icon.h"
#include "app/recovery_session.h"
#include "app/window_set.h"
#include "player/player_window.h"

namespace {

// `nuvtolvek --version` answers before any window or display is touched.
bool AsksForVersion(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false;
        if (std::strcmp(argv[i], "--version") == 0) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (AsksForVersion(argc, argv)) {
        std::printf("NUV Tolvek %s\n", NUVTOLVEK_VERSION);
        return 0;
    }
    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("NUV Tolvek"));
    // Ties the windows to the installed menu entry (icon and name in docks, Wayland app id).
    TApplication::setDesktopFileName(QStringLiteral("nuvtolvek"));
    TApplication::setWindowIcon(ProgramIcon());
    // A failure while the windows are built (a missing dictionary file) ends the program
    // after its message.
    if (!RunShowingErrors(CreateWindowSet)) return 1;
    Form1->show();
    // Recovery copies of unsaved work; copies left by an earlier run are offered once the
    // player is on screen.
    RecoverySession copies(*Form1, *Form2, *Form5, recovery::DefaultRecoveryFolder());
    QTimer::singleShot(0, &copies, [&copies] { copies.OfferEarlierCopies(); });
    const int result = app.exec();
    copies.Finish();
    DestroyWindowSet();
    return result;
}
