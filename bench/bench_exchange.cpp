// Documents, subtitles and drafts: a 1 MB transcript with 5 000 timestamps and ten speakers
// written as DOCX, ODT and SRT files, and a 10 000-cue SRT draft read into transcript text.
// Medians of several runs, ms of the thread's CPU time, and of wall time beside them.
#include <time.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <utility>

#include "bench/bench_timing.h"
#include "exchange/draft.h"
#include "exchange/export.h"
#include "exchange/subtitles.h"

namespace {

const QStringList kWords = {"расшифровка", "запись",  "интервью",  "говорит",       "что",
                            "и",           "в",       "recording", "был",           "очень",
                            "важный",      "вопрос,", "ответ.",    "«неразборчиво»"};

std::vector<exchange::Speaker> Speakers() {
    std::vector<exchange::Speaker> speakers;
    for (int n = 1; n <= 10; ++n) {
        speakers.push_back({QStringLiteral("Участник %1").arg(n), 0x10203u * n});
    }
    return speakers;
}

// `stamps` timestamps, a turn marker before every third, words between them up to about
// `bytes` of UTF-8 in all.
QString MakeTranscript(int stamps, qsizetype bytes) {
    QString text;
    quint32 seed = 4711;
    const qsizetype perStamp = bytes / stamps;
    for (int i = 0; i < stamps; ++i) {
        if (i % 3 == 0) text += QStringLiteral("\r\n[Участник %1]\r\n").arg(1 + (seed >> 8) % 10);
        text += FormatTimestamp(i * 2.5) + u' ';
        qsizetype written = 0;
        while (written < perStamp) {
            seed = seed * 1103515245u + 12345u;
            const QString& word = kWords[(seed >> 16) % kWords.size()];
            text += word + u' ';
            written += word.toUtf8().size() + 1;
        }
    }
    return text;
}

// Medians of `rounds` runs: the thread's CPU milliseconds (the figure judged, as other
// processes on a shared machine do not count there) and the wall milliseconds (the file
// system's flush included).
std::pair<double, double> CpuAndWallMs(const std::function<void()>& run, int rounds) {
    std::vector<double> cpu, wall;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        timespec a{}, b{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
        run();
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
        wall.push_back(timer.nsecsElapsed() / 1e6);
        cpu.push_back((b.tv_sec - a.tv_sec) * 1e3 + (b.tv_nsec - a.tv_nsec) / 1e6);
    }
    return {bench::Median(cpu), bench::Median(wall)};
}

}  // namespace

int main(int argc, char** argv) {
    bench::UseOffscreenDefaults();
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const std::vector<exchange::Speaker> speakers = Speakers();
    const int stamps = bench::Sized(5000, 500);
    const QString transcript = MakeTranscript(stamps, bench::Sized(1024 * 1024, 100 * 1024));
    const int rounds = bench::Sized(7, 2);

    const struct {
        const char* name;
        const char* file;
    } exports[] = {
        {"export_docx_ms", "t.docx"}, {"export_odt_ms", "t.odt"}, {"export_srt_ms", "t.srt"}};
    for (const auto& e : exports) {
        const QString path = dir.filePath(QString::fromLatin1(e.file));
        const auto [cpu, wall] =
            CpuAndWallMs([&] { exchange::ExportFile(path, transcript, speakers, {}); }, rounds);
        std::printf("BENCH %s %.2f ms\n", e.name, cpu);
        std::printf("BENCH %s_wall %.2f ms\n", e.name, wall);
    }

    // A draft as a recogniser writes it: 10 000 cues of a sentence each.
    std::vector<exchange::Cue> cues;
    const int cueCount = bench::Sized(10000, 1000);
    for (int i = 0; i < cueCount; ++i) {
        cues.push_back(
            {i * 3.0,
             i * 3.0 + 2.5,
             {{i % 10, QStringLiteral("Фраза номер %1 из черновика распознавания.").arg(i)}}});
    }
    const QByteArray srt = exchange::SrtBytes(cues, speakers);
    QStringList names;
    for (const exchange::Speaker& s : speakers) names << s.name;
    qsizetype length = 0;
    const auto [import, importWall] = CpuAndWallMs(
        [&] {
            const QString text = exchange::DraftText(
                exchange::ReadSrt(exchange::DecodeTextBytes(srt)), names, TimestampStyle{});
            length = text.size();
        },
        rounds);
    if (length == 0) return 1;
    std::printf("BENCH import_srt_ms %.2f ms\n", import);
    std::printf("BENCH import_srt_ms_wall %.2f ms\n", importWall);
    return 0;
}
