// Project save and open with a 1 MB transcript and 500 playlist entries, and the HTML export
// of a 1 MB transcript with ten participants and their pictures. Medians of several runs, ms.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/application.h"
#include "app/html_export_command.h"
#include "app/project_commands.h"
#include "app/window_set.h"
#include "audio/audio.h"
#include "bench/bench_timing.h"
#include "editor/editor_window.h"
#include "participants/participants_window.h"
#include "player/player_controls.h"
#include "player/player_window.h"

namespace {

QString CacheDir() {
    QString dir = qEnvironmentVariable("NUVTOLVEK_BENCH_CACHE");
    if (dir.isEmpty()) dir = QDir::homePath() + "/.cache/nuvtolvek-bench";
    dir += "/project";
    QDir().mkpath(dir);
    return dir;
}

void PutLE(QByteArray& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A 10 s mono 16-bit WAV of a quiet sawtooth, written once into the cache.
QString SoundFile() {
    const QString path = CacheDir() + "/запись.wav";
    if (QFile::exists(path)) return path;
    const std::uint32_t rate = 44100, frames = rate * 10, dataBytes = frames * 2;
    QByteArray wav("RIFF");
    PutLE(wav, 36 + dataBytes, 4);
    wav += "WAVEfmt ";
    PutLE(wav, 16, 4);
    PutLE(wav, 1, 2);
    PutLE(wav, 1, 2);
    PutLE(wav, rate, 4);
    PutLE(wav, rate * 2, 4);
    PutLE(wav, 2, 2);
    PutLE(wav, 16, 2);
    wav += "data";
    PutLE(wav, dataBytes, 4);
    for (std::uint32_t i = 0; i < frames; ++i)
        PutLE(wav, static_cast<std::uint16_t>(static_cast<std::int16_t>((i % 100) * 40 - 2000)), 2);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(wav);
    return path;
}

// A transcript of turns of ten participants, at least 1 MB in UTF-8.
QString MakeTranscript() {
    const QStringList words = {
        "расшифровка", "запись", "интервью", "говорит", "что",     "и",      "в",
        "recording",   "был",    "очень",    "важный",  "вопрос,", "ответ.", "«<неразборчиво>»"};
    return bench::MakeTranscript(words, 4711);
}

}  // namespace

int main(int argc, char** argv) {
    bench::UseOffscreenDefaults();
    QApplication app(argc, argv);
    bench::EnsureDictionaryFile();
    audio::OpenManualOutput(44100);
    CreateWindowSet();

    int errors = 0;
    ErrorDialogHook = [&errors](const QString& m) {
        ++errors;
        std::fprintf(stderr, "error: %s\n", qPrintable(m));
    };

    const QString dir = CacheDir();
    const QString sound = SoundFile();
    const QString transcript = MakeTranscript();
    for (int n = 1; n <= 10; ++n) {
        const QString picture = dir + QStringLiteral("/фото %1.jpg").arg(n);
        if (!QFile::exists(picture)) {
            QFile file(picture);
            if (file.open(QIODevice::WriteOnly)) file.write(QByteArray(40000, char(n)));
        }
        Form5->SetCells(n, 1, picture);
        Form5->SetCells(n, 2, QStringLiteral("Участник %1").arg(n % 10));
        Form5->SetCells(n, 3, QString::number(n * 1234567));
    }

    // Project: 500 entries, the current one playing for a while.
    const int entries = bench::Sized(500, 50);
    QStringList playlist;
    for (int i = 0; i < entries; ++i)
        playlist << (i == entries / 2 ? sound
                                      : dir + QStringLiteral("/папка %1/запись %1.wav").arg(i));
    Form1->ListBox1->addItems(playlist);
    Form1->ListBox1->setCurrentRow(entries / 2);
    Form1->ListBox1Click();
    audio::AdvanceManualOutput(44100 * 3);
    Form2->ReplaceText(transcript);

    const QString projectPath = dir + "/проект.prj";
    project::Dialogs().RunSaveDialog = [&](QString& path) {
        path = projectPath;
        return true;
    };
    project::Dialogs().RunOpenDialog = [&](QString& path) {
        path = projectPath;
        return true;
    };
    project::Dialogs().ConfirmDataLoss = [] { return true; };

    const double save = bench::TimeMs([] {}, [] { project::SaveProjectAs(*Form1, *Form2, *Form5); },
                                      bench::Sized(7, 3));
    const double open = bench::TimeMs([] {}, [] { project::OpenProject(*Form1, *Form2, *Form5); },
                                      bench::Sized(7, 3));
    if (Form1->ListBox1->count() != entries || Form2->Text() != transcript || Form1->Stream == 0)
        std::fprintf(stderr, "the reopened project differs from the saved one\n");

    // HTML export of the same transcript with the ten participants.
    const QString pageDir = dir + "/страница";
    QDir().mkpath(pageDir);
    project::HtmlHooks().RunSaveDialog = [&](QString& path) {
        path = pageDir + "/протокол";
        return true;
    };
    project::HtmlHooks().OpenPage = [](const QString&) {};
    const double html =
        bench::TimeMs([] {}, [] { project::ExportHtmlCommand(*Form2, *Form5); }, bench::Sized(7, 3));

    std::printf("BENCH project_save_ms %.2f ms\n", save);
    std::printf("BENCH project_open_ms %.2f ms\n", open);
    std::printf("BENCH html_export_ms %.2f ms\n", html);

    DestroyWindowSet();
    audio::CloseDevice();
    return errors == 0 ? 0 : 1;
}
