// Speech recognition for a first draft: our own part (10 minutes of speech handed over as
// 16 kHz WAV and a recogniser's output for them read as a draft, thread CPU ms, median of 3;
// from a WAV recording, as decoding a compressed one is the engine's own cost, shown beside)
// and the whole run with the installed PocketSphinx on English speech from espeak-ng
// (seconds of recording per second of wall time).
#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/bench_common.h"
#include "bench/bench_smoke.h"
#include "exchange/draft.h"
#include "recognize/recognize_file.h"
#include "recognize/recognizer_wav.h"

namespace {

// What PocketSphinx prints for `seconds` of speech: an utterance every 5 s, 12 words each.
QString SphinxOutput(int seconds) {
    QString out;
    for (int u = 0; u * 5 < seconds; ++u) {
        const double t0 = u * 5.0;
        out += QStringLiteral("we will go to the market in the morning my brother has a\n");
        out += QStringLiteral("<s> %1 %2 0.999\n").arg(t0, 0, 'f', 3).arg(t0 + 0.2, 0, 'f', 3);
        for (int w = 0; w < 12; ++w) {
            const double a = t0 + 0.2 + w * 0.38;
            out += QStringLiteral("word %1 %2 0.5\n").arg(a, 0, 'f', 3).arg(a + 0.37, 0, 'f', 3);
        }
        out += QStringLiteral("</s> %1 %2 1.000\n").arg(t0 + 4.8, 0, 'f', 3).arg(t0 + 5, 0, 'f', 3);
    }
    return out;
}

double OverheadMs(const std::string& recording, const QString& wav, const QString& output) {
    const double start = bench::ThreadCpuSeconds();
    recognize::WriteRecognizerWav(QString::fromStdString(recording), wav);
    const double wavDone = bench::ThreadCpuSeconds();
    const std::vector<exchange::Segment> draft = exchange::ReadPocketSphinx(output);
    const double ms = (bench::ThreadCpuSeconds() - start) * 1000.0;
    std::fprintf(stderr, "bench: WAV %.0f ms, draft %.0f ms\n", (wavDone - start) * 1000.0,
                 ms - (wavDone - start) * 1000.0);
    if (draft.empty()) std::fprintf(stderr, "no draft read\n");
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const int minutes = bench::Sized(10, 1);
    const std::string wav = bench::LongWav(minutes);
    const std::string mp3 = bench::LongMp3(minutes);
    if (wav.empty() || mp3.empty()) {
        std::fprintf(stderr, "no test recording\n");
        return 1;
    }
    const QString output = SphinxOutput(minutes * 60);
    auto median = [&](const std::string& recording) {
        std::vector<double> runs;
        for (int i = 0; i < 3; ++i)
            runs.push_back(OverheadMs(recording, dir.filePath(QStringLiteral("r.wav")), output));
        std::sort(runs.begin(), runs.end());
        return runs[1];
    };
    bench::Print("recognize_overhead_ms", median(wav), "ms");
    // Beside it, without a goal: three quarters of this is the MP3 decoder's own work.
    bench::Print("recognize_overhead_mp3_ms", median(mp3), "ms");

    // About a minute of English speech (a few seconds in a smoke run).
    QString text;
    const char* sentence =
        "The weather is good today. We will go to the market in the morning. "
        "My brother has a small house near the river. ";
    for (int i = 0; i < bench::Sized(6, 1); ++i) text += QString::fromLatin1(sentence);
    const QString speech = dir.filePath(QStringLiteral("speech.wav"));
    if (QProcess::execute(QStringLiteral("espeak-ng"), {QStringLiteral("-s"), QStringLiteral("110"),
                                                        QStringLiteral("-w"), speech, text}) != 0) {
        std::fprintf(stderr, "espeak-ng failed\n");
        return 1;
    }
    const double seconds =
        recognize::WriteRecognizerWav(speech, dir.filePath(QStringLiteral("probe.wav")));
    const auto start = std::chrono::steady_clock::now();
    const QString error = recognize::RecognizeToFile(
        speech, dir.filePath(QStringLiteral("draft.srt")), recognize::Settings{}, nullptr);
    const double wall = bench::SecondsSince(start);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", error.toUtf8().constData());
        return 1;
    }
    bench::Print("recognize_xrealtime_pocketsphinx", seconds / wall, "x");
    return 0;
}
