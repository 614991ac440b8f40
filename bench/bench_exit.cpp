// Closing the program: the whole window set with a recording playing and its envelope
// worker in the middle of a pass, from the player's close to the end of the clean-up that
// main runs before returning (the windows, the worker, the output).
#include <QApplication>
#include <chrono>
#include <cstring>
#include <thread>

#include "app/window_set.h"
#include "audio/audio.h"
#include "bench/bench_common.h"
#include "bench/bench_timing.h"
#include "player/player_controls.h"
#include "player/player_window.h"

int main(int argc, char** argv) {
    bench::UseOffscreenDefaults();
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    QApplication app(argc, argv);
    bench::EnsureDictionaryFile();
    // An hour-long MP3: the worker decodes it for seconds, so it is surely mid-pass.
    const QString path = QString::fromStdString(bench::LongMp3(smoke ? 5 : 60));
    const int runs = smoke ? 1 : 5;
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        CreateWindowSet();
        Form1->show();
        Form1->MessageHook = [](const QString&) {};
        Form1->OpenFilesHook = [&] { return QStringList{path}; };
        Form1->N7Click();
        Form1->ListBox1->setCurrentRow(0);
        Form1->ListBox1Click();
        if (Form1->Stream == 0) return 1;
        // Let the worker get into its pass and the stream play for a moment.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
        while (std::chrono::steady_clock::now() < until) {
            app.processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (audio::StreamActivity(Form1->Stream) != audio::ACTIVE_PLAYING) return 1;
        const auto start = std::chrono::steady_clock::now();
        Form1->close();
        app.processEvents();
        DestroyWindowSet();
        audio::CloseDevice();
        times.push_back(bench::SecondsSince(start) * 1000.0);
    }
    std::sort(times.begin(), times.end());
    bench::Print("exit_ms", times[times.size() / 2], "ms");
    return 0;
}
