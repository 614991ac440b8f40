#include <QDir>
#include <QTimer>
#include <cstdio>

#include "app/application.h"
#include "app/command_line_export.h"
#include "app/command_line_open.h"
#include "app/command_line_recognize.h"
#include "app/look_and_feel.h"
#include "app/program_icon.h"
#include "app/recovery_session.h"
#include "app/termination_signals.h"
#include "app/window_set.h"
#include "audio/audio.h"
#include "player/player_window.h"

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = ParseCommandLine(arguments, QDir::currentPath());
    // `nuvtolvek --version` answers before any window or display is touched.
    if (line.showVersion) {
        std::printf("NUV Tolvek %s\n", NUVTOLVEK_VERSION);
        return 0;
    }
    // `nuvtolvek --export IN OUT` converts and ends, without a window or a display.
    if (line.exportRequest || !line.exportError.isEmpty()) return RunExportCommand(line);
    // `nuvtolvek --recognize IN OUT` likewise, showing its progress on standard error.
    if (line.recognizeRequest || !line.recognizeError.isEmpty())
        return RunRecognizeCommand(argc, argv, line);
    TApplication app(argc, argv);
    SetUpLookAndFeel(app);
    TApplication::setApplicationName(QStringLiteral("NUV Tolvek"));
    // Ties the windows to the installed menu entry (icon and name in docks, Wayland app id).
    TApplication::setDesktopFileName(QStringLiteral("nuvtolvek"));
    TApplication::setWindowIcon(ProgramIcon());
    // A failure while the windows are built (a missing dictionary file) ends the program
    // after its message.
    if (!RunShowingErrors(CreateWindowSet)) return 1;
    Form1->show();
    OpenFromCommandLine(line, *Form1, *Form2, *Form5);
    // Recovery copies of unsaved work; copies left by an earlier run are offered once the
    // player is on screen.
    RecoverySession copies(*Form1, *Form2, *Form5, recovery::DefaultRecoveryFolder());
    QTimer::singleShot(0, &copies, [&copies] { copies.OfferEarlierCopies(); });
    QuitOnTerminationSignals();
    const int result = app.exec();
    copies.Finish();
    DestroyWindowSet();
    // The render thread ends now rather than being torn down with the process.
    audio::CloseDevice();
    return result;
}
