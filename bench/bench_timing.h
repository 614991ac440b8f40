// What the window benchmarks share: a median timer and a generated 1 MB transcript.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <vector>

#include "bench/bench_smoke.h"

namespace bench {

// Before the QApplication: no display and no sound card needed, unless the caller says so.
inline void UseOffscreenDefaults() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("NUVTOLVEK_AUDIO")) qputenv("NUVTOLVEK_AUDIO", "null");
}

// After the QApplication: the dictionary window needs its file beside the program.
inline void EnsureDictionaryFile() {
    QFile file(QCoreApplication::applicationDirPath() + "/NUV_Tolvek.lib");
    if (!file.exists() && file.open(QIODevice::WriteOnly)) file.close();
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median of `rounds` timings of `run`, each after an untimed `prepare`, in milliseconds.
inline double TimeMs(const std::function<void()>& prepare, const std::function<void()>& run,
                     int rounds) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return Median(times);
}

// A transcript of turns of ten participants and paragraphs of the given words, at least
// 1 MB in UTF-8 (64 KB in a smoke run); the same seed gives the same text.
inline QString MakeTranscript(const QStringList& words, quint32 seed) {
    QString text;
    qsizetype utf8Bytes = 0;
    const qsizetype target = Sized(1024 * 1024, 64 * 1024);
    while (utf8Bytes < target) {
        QString paragraph = QStringLiteral("\r\n[Участник %1]\r\n").arg(seed % 10);
        const int length = 40 + static_cast<int>(seed % 120);
        for (int i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            paragraph += words[(seed >> 16) % words.size()];
            paragraph += u' ';
        }
        utf8Bytes += paragraph.toUtf8().size();
        text += paragraph;
    }
    return text;
}

}  // namespace bench
