// The cost of one player tick: Timer1Timer on a playing stream, with the cycle step, its
// jumps and pauses, the waveform strip and the full status refresh. The sound output is
// advanced by hand between ticks, so only the tick itself is timed.
#include <QApplication>
#include <QTimer>
#include <chrono>

#include "audio/audio.h"
#include "bench/bench_common.h"
#include "player/player_controls.h"
#include "player/player_window.h"

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString path = QString::fromStdString(bench::LongWav(bench::Sized(3, 1)));
    if (!audio::OpenManualOutput(44100)) return 1;
    {
        TForm1 form;
        form.Timer1->stop();
        form.MessageHook = [](const QString&) {};
        form.OpenFilesHook = [&] { return QStringList{path}; };
        form.N7Click();
        form.ListBox1->setCurrentRow(0);
        form.ListBox1Click();
        if (form.Stream == 0) return 1;

        const auto tick = [&] {
            audio::AdvanceManualOutput(8820);
            const auto start = std::chrono::steady_clock::now();
            form.Timer1Timer();
            return bench::SecondsSince(start);
        };
        for (int i = 0; i < bench::Sized(100, 10); ++i) tick();  // warm-up
        // 2000 ticks: about 28 fragment cycles with the default parameters.
        const int ticks = bench::Sized(2000, 200);
        double total = 0.0;
        for (int i = 0; i < ticks; ++i) total += tick();
        bench::Print("tick_ms", total / ticks * 1000.0, "ms");
    }
    audio::CloseDevice();
    return 0;
}
