// Soak of the player: thirty short recordings played through at full speed by the tick on
// the manual output, with the waveform worker asked for each. Prints the peak resident
// memory of the whole run and how fast the ticks went.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

#include "app/tests/soak.h"
#include "bench/bench_timing.h"
#include "player/player_window.h"

int main(int argc, char** argv) {
    bench::UseOffscreenDefaults();
    QApplication app(argc, argv);
    bench::EnsureDictionaryFile();

    QTemporaryDir dir;
    const int count = bench::Sized(30, 4);
    const QStringList recordings = e2e::WriteSoakRecordings(dir.path(), count);
    if (recordings.size() != count) {
        std::fprintf(stderr, "cannot write the recordings\n");
        return 1;
    }
    audio::OpenManualOutput(44100);
    CreateWindowSet();
    Form1->Timer1->stop();
    Form1->MessageHook = [](const QString& text) {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    };
    const auto start = std::chrono::steady_clock::now();
    const e2e::SoakRun run = e2e::PlayThrough(recordings, count * 300);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Form1->EnvelopeWorker->WaitIdle();
    const bool complete = Form1->Stopped && run.opened == recordings;
    DestroyWindowSet();
    audio::CloseDevice();
    if (!complete) {
        std::fprintf(stderr, "the playlist did not play through (%d ticks)\n", run.ticks);
        return 1;
    }
    std::printf("BENCH soak_peak_rss_mb %.1f MB\n", e2e::ProcStatusMegabytes("VmHWM"));
    std::printf("BENCH soak_rss_growth_mb %.1f MB\n",
                run.rssAtEndMegabytes - run.rssAtTenthMegabytes);
    std::printf("BENCH soak_ticks_per_s %.0f ticks/s\n", run.ticks / seconds);
    return 0;
}
