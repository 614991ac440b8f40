// The dictionary with 50 000 entries: start-up load and sort, add (rebuild, sort, save) and
// F9 lookup with insertion. Each figure is the median of several runs, in ms.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "app/window_set.h"
#include "bench/bench_timing.h"
#include "dictionary/dictionary_window.h"
#include "dictionary/expansion.h"
#include "dictionary/variant_chooser.h"
#include "editor/editor_window.h"
#include "textfiles/textfiles.h"

namespace {

const int kEntries = bench::Sized(50000, 2000);

QString CacheDir() {
    QString dir = qEnvironmentVariable("NUVTOLVEK_BENCH_CACHE");
    if (dir.isEmpty()) dir = QDir::homePath() + "/.cache/nuvtolvek-bench";
    QDir().mkpath(dir);
    return dir;
}

// Random Cyrillic and Latin abbreviations with phrase texts, in Windows-1251, unsorted.
QString GeneratedDictionary() {
    const QString path = CacheDir() + QStringLiteral("/dictionary_%1.lib").arg(kEntries);
    if (QFile::exists(path)) return path;
    const QString letters = QString::fromUtf8("абвгдежзийклмнопрстуфхцчшщэюяabcdefghijklmnop");
    const QStringList words = QString::fromUtf8(
                                  "расшифровка запись интервью говорит очень важный вопрос "
                                  "ответ наверное участник recording meeting")
                                  .split(' ');
    QStringList lines;
    quint32 seed = 2024;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    for (int i = 0; i < kEntries; ++i) {
        QString abbreviation;
        const int length = 2 + static_cast<int>(next() % 5);
        for (int k = 0; k < length; ++k) abbreviation += letters[next() % letters.size()];
        QString text;
        const int count = 2 + static_cast<int>(next() % 6);
        for (int k = 0; k < count; ++k) text += words[next() % words.size()] + u' ';
        lines.append(abbreviation + u'\t' + text.trimmed());
    }
    textfiles::WriteLines(path, lines, textfiles::Encoding::Ansi);
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString source = GeneratedDictionary();
    QTemporaryDir work;
    const QString path = work.filePath("NUV_Tolvek.lib");
    QFile::remove(path);
    QFile::copy(source, path);

    std::unique_ptr<TForm3> dictionary;
    const double load =
        bench::TimeMs([&] { dictionary.reset(); },
                      [&] { dictionary = std::make_unique<TForm3>(path); }, bench::Sized(7, 3));
    std::printf("BENCH dict_load_ms %.2f ms\n", load);

    int added = 0;
    dictionary->ShowMessage = [](const QString&) {};
    const double add = bench::TimeMs(
        [&] {
            dictionary->Edit1->setText(QStringLiteral("новое%1").arg(added++));
            dictionary->Edit2->setText(QStringLiteral("новая запись словаря"));
        },
        [&] { dictionary->Button1Click(); }, bench::Sized(7, 3));
    std::printf("BENCH dict_add_ms %.2f ms\n", add);

    auto editor = std::make_unique<TForm2>();
    auto chooser = std::make_unique<TForm6>();
    Form2 = editor.get();
    Form3 = dictionary.get();
    Form6 = chooser.get();
    // The last entry added has exactly one variant; a transcript of about 100 000 characters
    // in paragraphs of about 400, the abbreviation typed at its end.
    const QString abbreviation = QStringLiteral("новое%1").arg(added - 1);
    QString transcript;
    while (transcript.size() < bench::Sized(100000, 10000)) {
        for (int i = 0; i < 24; ++i) transcript += QStringLiteral("слово за словом, ");
        transcript += QStringLiteral("\r\n");
    }
    transcript += abbreviation;
    const double expand = bench::TimeMs(
        [&] {
            editor->MemoText().SetText(transcript);
            editor->MemoText().SetCaret(editor->MemoText().TextLength());
        },
        [&] { ExpandBeforeCaret(*editor, Form3, Form6, false); }, bench::Sized(9, 3));
    if (!editor->MemoText().Text().endsWith(QStringLiteral("новая запись словаря")))
        std::printf("expansion did not insert the text\n");
    std::printf("BENCH dict_expand_ms %.2f ms\n", expand);

    Form2 = nullptr;
    Form3 = nullptr;
    Form6 = nullptr;
    return 0;
}
