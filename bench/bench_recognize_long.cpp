// A three-hour recording recognised as `nuvtolvek --recognize` does it, with a recogniser of
// the benchmark's own that answers at once: the peak resident memory of the whole process
// (the WAV handed over is streamed, so it stays far below the 345 MB that three hours of
// 16 kHz samples take, let alone the 3.8 GB of the decoded recording) and the per cent the
// progress reached. The recording is a minute of the speech-like signal as 48 kbps mono MP3,
// its frames repeated by ffmpeg without encoding again: 65 MB. Ten minutes in a smoke run.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "bench/bench_process.h"
#include "bench/bench_smoke.h"
#include "recognize/recognize_file.h"

namespace {

std::string LongMonoMp3(int minutes) {
    const std::string wav = bench::LongWav(1);
    if (wav.empty()) return {};
    const std::string clip = bench::EnsureFile(
        bench::CacheDir() / "speech-1min-48k-mono.mp3", [&](const std::string& part) {
            return std::system(("lame --quiet -b 48 -m m '" + wav + "' '" + part + "'").c_str()) ==
                   0;
        });
    if (clip.empty()) return {};
    return bench::EnsureFile(
        bench::CacheDir() / ("speech-" + std::to_string(minutes) + "min-48k-mono.mp3"),
        [&](const std::string& part) {
            const std::string command = "ffmpeg -v error -y -stream_loop " +
                                        std::to_string(minutes - 1) + " -i '" + clip +
                                        "' -c copy -f mp3 '" + part + "'";
            return std::system(command.c_str()) == 0;
        });
}

// Tells the time it has reached every five minutes of the WAV (as SRT times on standard
// error), then writes one cue per five minutes: the draft of a fast recogniser.
const char* const kRecognizer = R"(#!/bin/sh
seconds=$(( $(stat -c %s "$1") / 32000 ))
t=300
while [ $t -le $seconds ]; do
  printf '00:00:00,000 --> %02d:%02d:%02d,000\n' $((t / 3600)) $((t % 3600 / 60)) $((t % 60)) >&2
  t=$((t + 300))
done
t=0
n=1
while [ $t -lt $seconds ]; do
  printf '%d\n%02d:%02d:00,000 --> %02d:%02d:05,000\nслово\n\n' $n $((t / 3600)) \
    $((t % 3600 / 60)) $((t / 3600)) $((t % 3600 / 60))
  t=$((t + 300))
  n=$((n + 1))
done
)";

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const int minutes = bench::Sized(180, 10);
    const std::string recording = LongMonoMp3(minutes);
    if (recording.empty()) {
        std::fprintf(stderr, "no test recording\n");
        return 1;
    }
    const QString script = dir.filePath(QStringLiteral("recognizer.sh"));
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly) || file.write(kRecognizer) < 0) return 1;
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    recognize::Settings settings;
    settings.engine = recognize::Engine::Command;
    settings.commandTemplate = script + QStringLiteral(" {input}");
    settings.commandFormat = exchange::DraftFormat::Srt;

    std::vector<int> progress;
    double firstMove = -1;
    const auto start = std::chrono::steady_clock::now();
    const QString error =
        recognize::RecognizeToFile(QString::fromStdString(recording),
                                   dir.filePath(QStringLiteral("draft.srt")), settings, [&](int p) {
                                       if (p > 0 && firstMove < 0)
                                           firstMove = bench::SecondsSince(start);
                                       progress.push_back(p);
                                   });
    const double wall = bench::SecondsSince(start);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", error.toUtf8().constData());
        return 1;
    }
    std::fprintf(stderr,
                 "bench: %d minutes in %.1f s, the WAV handed over after %.1f s, %zu "
                 "progress steps\n",
                 minutes, wall, firstMove, progress.size());
    // One step per five minutes of the recording, besides 0 and 100.
    if (progress.size() < std::size_t(minutes / 5)) {
        std::fprintf(stderr, "the progress did not move\n");
        return 1;
    }
    bench::Print("recognize_3h_peak_rss_mb", bench::StatusKb("VmHWM") / 1024.0, "MB");
    bench::Print("recognize_3h_progress_percent", progress.back(), "%");
    return 0;
}
