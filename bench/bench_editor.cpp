// Editor commands on a 1 MB transcript: each figure is the median of several runs, in ms.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/window_set.h"
#include "editor/editor_window.h"
#include "participants/participants_window.h"
#include "textfiles/textfiles.h"

namespace {

QString CacheDir() {
    QString dir = qEnvironmentVariable("NUVTOLVEK_BENCH_CACHE");
    if (dir.isEmpty()) dir = QDir::homePath() + "/.cache/nuvtolvek-bench";
    QDir().mkpath(dir);
    return dir;
}

// A transcript of turns and paragraphs, at least 1 MB in UTF-8.
QString MakeTranscript() {
    const QStringList words = {
        "расшифровка", "запись", "интервью", "говорит", "что",    "и",        "в",  "recording",
        "был",         "очень",  "важный",   "вопрос,", "ответ.", "наверное", "да", "нет"};
    QString text;
    quint32 seed = 12345;
    qsizetype utf8Bytes = 0;
    while (utf8Bytes < 1024 * 1024) {
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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double TimeMs(const std::function<void()>& prepare, const std::function<void()>& run, int rounds) {
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

void Print(const char* name, double value) {
    std::printf("BENCH %s %.2f ms\n", name, value);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("NUVTOLVEK_AUDIO")) qputenv("NUVTOLVEK_AUDIO", "null");
    QApplication app(argc, argv);
    const QString lib = QCoreApplication::applicationDirPath() + "/NUV_Tolvek.lib";
    if (!QFile::exists(lib)) {
        QFile file(lib);
        file.open(QIODevice::WriteOnly);
    }
    CreateWindowSet();
    TForm2& editor = *Form2;
    Form5->SetCells(1, 2, QStringLiteral("Анна"));
    editor.show();
    editor.activateWindow();
    if (!QTest::qWaitForWindowActive(&editor)) std::fprintf(stderr, "editor window not active\n");
    editor.Memo1->setFocus();

    const QString path = CacheDir() + "/editor_transcript_utf8.txt";
    const QString transcript = MakeTranscript();
    textfiles::WriteTextFile(path, transcript, textfiles::Encoding::Utf8);
    editor.RunTextFileDialog = [&](TextFileDialog& dialog, bool) {
        dialog.FileName = path;
        dialog.Encoding = textfiles::Encoding::Utf8;
        return true;
    };
    EditorText& text = editor.MemoText();
    auto reload = [&] {
        editor.ReplaceText(transcript);
        editor.History = TEditHistory();
        editor.History.Push(transcript, 0);
    };

    Print("editor_open_ms",
          TimeMs([&] { editor.ReplaceText(QString()); }, [&] { editor.N2Click(); }, 5));

    reload();
    const int middle = text.TextLength() / 2;
    QElapsedTimer firstLayout;
    firstLayout.start();
    editor.Memo1Click();  // lays out every paragraph once
    Print("editor_status_first_ms", firstLayout.nsecsElapsed() / 1e6);

    Print("editor_marker_ms",
          TimeMs([&] { text.SetCaret(middle); },
                 [&] { QTest::keyClick(editor.Memo1, Qt::Key_1, Qt::ControlModifier); }, 7));
    Print("editor_status_ms", TimeMs([&] { QTest::keyClick(editor.Memo1, Qt::Key_Right); },
                                     [&] { editor.Memo1Click(); }, 7));
    Print("editor_invert_ms", TimeMs([&] { text.SetSelection(middle - 50000, 100000); },
                                     [&] { editor.N37Click(); }, 7));
    Print("editor_layout_ms", TimeMs([&] { text.SetSelection(middle - 50000, 100000); },
                                     [&] { editor.N38Click(); }, 7));
    Print("editor_undo_ms", TimeMs(
                                [&] {
                                    text.SetSelection(middle - 50000, 100000);
                                    editor.N37Click();
                                },
                                [&] { editor.N34Click(); }, 7));

    DestroyWindowSet();
    return 0;
}
