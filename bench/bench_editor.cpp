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
#include "bench/bench_timing.h"
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
    return bench::MakeTranscript(words, 12345);
}

void Print(const char* name, double value) {
    std::printf("BENCH %s %.2f ms\n", name, value);
}

}  // namespace

int main(int argc, char** argv) {
    bench::UseOffscreenDefaults();
    QApplication app(argc, argv);
    bench::EnsureDictionaryFile();
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

    const int rounds = bench::Sized(7, 3);
    Print("editor_open_ms", bench::TimeMs([&] { editor.ReplaceText(QString()); },
                                          [&] { editor.N2Click(); }, bench::Sized(5, 2)));

    reload();
    const int middle = text.TextLength() / 2;
    // 100 000 characters around the middle (less of a smoke run's shorter text).
    const int span = std::min(100000, middle);
    const auto selectSpan = [&] { text.SetSelection(middle - span / 2, span); };
    QElapsedTimer firstLayout;
    firstLayout.start();
    editor.Memo1Click();  // lays out every paragraph once
    Print("editor_status_first_ms", firstLayout.nsecsElapsed() / 1e6);

    Print("editor_marker_ms",
          bench::TimeMs([&] { text.SetCaret(middle); },
                        [&] { QTest::keyClick(editor.Memo1, Qt::Key_1, Qt::ControlModifier); },
                        rounds));
    Print("editor_status_ms", bench::TimeMs([&] { QTest::keyClick(editor.Memo1, Qt::Key_Right); },
                                            [&] { editor.Memo1Click(); }, rounds));
    Print("editor_invert_ms", bench::TimeMs(
                                  selectSpan, [&] { editor.N37Click(); }, rounds));
    Print("editor_layout_ms", bench::TimeMs(
                                  selectSpan, [&] { editor.N38Click(); }, rounds));
    Print("editor_undo_ms", bench::TimeMs(
                                [&] {
                                    selectSpan();
                                    editor.N37Click();
                                },
                                [&] { editor.N34Click(); }, rounds));

    DestroyWindowSet();
    return 0;
}
