// A key press to the start of its command's code, through the command layer: the key goes
// through the application-wide key filter (shortcut override, then the press) from the
// editor's text, as a typist's F3 does. Median of many presses, in microseconds.
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>
#include <cstdio>
#include <vector>

#include "app/window_set.h"
#include "bench/bench_smoke.h"
#include "bench/bench_timing.h"
#include "commands/registry.h"
#include "editor/editor_window.h"

int main(int argc, char** argv) {
    bench::UseOffscreenDefaults();
    QApplication app(argc, argv);
    bench::EnsureDictionaryFile();
    CreateWindowSet();
    commands::Registry& registry = CommandSet();
    TForm2& editor = *Form2;
    editor.show();
    editor.activateWindow();
    if (!QTest::qWaitForWindowActive(&editor)) std::fprintf(stderr, "editor window not active\n");
    editor.Memo1->setFocus();

    // A command of every window, as the player's keys are, whose code only notes the time.
    QElapsedTimer clock;
    clock.start();
    qint64 reached = 0;
    registry.Add({"bench.mark",
                  "Отметка",
                  {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F11)},
                  commands::Kind::Plain,
                  commands::Reach::Everywhere,
                  "bench"});
    registry.SetHandler("bench.mark", [&] { reached = clock.nsecsElapsed(); });

    const int presses = bench::Sized(2000, 200);
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(presses));
    for (int i = 0; i < presses; ++i) {
        reached = 0;
        const qint64 start = clock.nsecsElapsed();
        QTest::keyPress(editor.Memo1, Qt::Key_F11, Qt::ControlModifier | Qt::AltModifier);
        if (reached == 0) {
            std::fprintf(stderr, "the key did not reach its command\n");
            return 1;
        }
        times.push_back(static_cast<double>(reached - start) / 1000.0);
        QTest::keyRelease(editor.Memo1, Qt::Key_F11, Qt::ControlModifier | Qt::AltModifier);
    }
    std::printf("BENCH command_dispatch_us %.2f us\n", bench::Median(times));
    DestroyWindowSet();
    return 0;
}
