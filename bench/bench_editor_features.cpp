// Timestamps, find and replace and the spell check on a 1 MB transcript, in ms (medians).
// timestamp_seek_ms: a Ctrl+click on a timestamp until the player has sought and plays;
// find_next_ms: one find that runs through the whole text; replace_all_ms: 1 000
// replacements in one step; spell_keystroke_ms: the check's work after one typed character;
// spell_open_ms: the check's first pass after a file is opened (what is on screen, no
// answers remembered yet); spell_load_ms: loading both dictionaries, once.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <cstdio>

#include "app/window_set.h"
#include "audio/audio.h"
#include "bench/bench_common.h"
#include "bench/bench_timing.h"
#include "editor/editor_window.h"
#include "editor/find_bar.h"
#include "editor/spell_marks.h"
#include "editor/spelling.h"
#include "player/player_controls.h"
#include "player/player_window.h"

namespace {

void Print(const char* name, double value) {
    std::printf("BENCH %s %.3f ms\n", name, value);
    std::fflush(stdout);
}

// Words as varied as real speech: stems of the installed dictionaries (so most are correct
// and each screen holds hundreds of different words), every tenth one misspelt.
QStringList SpeechWords() {
    QStringList words;
    quint32 seed = 77;
    for (const char* name : {"ru_RU", "en_US"}) {
        QFile file(QStringLiteral("/usr/share/hunspell/%1.dic").arg(QLatin1String(name)));
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        const int wanted = QLatin1String(name) == QLatin1String("ru_RU") ? 4000 : 1000;
        for (int i = 0; i < wanted && lines.size() > 1; ++i) {
            seed = seed * 1103515245u + 12345u;
            QString word = lines[1 + (seed >> 8) % (lines.size() - 1)].section(u'/', 0, 0);
            if (word.isEmpty()) continue;
            if (i % 10 == 0 && word.size() > 3) std::swap(word[1], word[2]);
            words << word;
        }
    }
    if (words.isEmpty()) words = QStringList{"расшифровка", "запись", "малако", "teh"};
    return words;
}

// Paragraphs of turns with a timestamp each.
QString MakeTranscript(int replaceTargets) {
    QString text = bench::MakeTranscript(SpeechWords(), 4242);
    // Timestamps at the start of every turn's text, and the names to replace spread evenly.
    QString out;
    out.reserve(text.size() + text.size() / 10);
    int turn = 0;
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(u']', from); at >= 0; at = text.indexOf(u']', from)) {
        out.append(QStringView(text).mid(from, at + 3 - from));  // "]\r\n"
        out += QStringLiteral("[%1:%2:%3] ")
                   .arg(turn / 3600 % 3, 2, 10, QChar(u'0'))
                   .arg(turn / 60 % 60, 2, 10, QChar(u'0'))
                   .arg(turn % 60, 2, 10, QChar(u'0'));
        ++turn;
        from = at + 3;
    }
    out.append(QStringView(text).mid(from));
    const qsizetype step = out.size() / (replaceTargets + 1);
    QString result;
    result.reserve(out.size() + replaceTargets * 10);
    qsizetype copied = 0;
    for (int i = 1; i <= replaceTargets; ++i) {
        qsizetype at = out.indexOf(u' ', i * step);
        result.append(QStringView(out).mid(copied, at + 1 - copied));
        result += QStringLiteral("Смирнов ");
        copied = at + 1;
    }
    result.append(QStringView(out).mid(copied));
    return result;
}

// The control position of the first character of `needle` after `from`.
int ControlPosition(QPlainTextEdit* memo, const QString& needle, int from) {
    return static_cast<int>(memo->document()->find(needle, from).selectionStart());
}

}  // namespace

int main(int argc, char** argv) {
    bench::UseOffscreenDefaults();
    const bool smoke = argc > 1 && QByteArray(argv[1]) == "--smoke";
    QApplication app(argc, argv);
    bench::EnsureDictionaryFile();
    const QString sound = QString::fromStdString(bench::LongWav(smoke ? 1 : 3));
    if (!audio::OpenManualOutput(44100)) return 1;
    CreateWindowSet();
    Form1->Timer1->stop();
    Form1->MessageHook = [](const QString&) {};
    Form1->OpenFilesHook = [&] { return QStringList{sound}; };
    Form1->N7Click();
    Form1->ListBox1->setCurrentRow(0);
    Form1->ListBox1Click();
    if (Form1->Stream == 0) return 1;

    TForm2& editor = *Form2;
    editor.show();
    editor.activateWindow();
    (void)QTest::qWaitForWindowActive(&editor);
    editor.Memo1->setFocus();
    QPlainTextEdit* memo = editor.Memo1;
    const int rounds = smoke ? 1 : 7;
    const QString transcript = MakeTranscript(1000);
    const QString small = transcript.left(smoke ? 20000 : transcript.size());
    editor.ReplaceText(small);
    editor.History = TEditHistory();
    editor.History.Push(small, 0);
    QCoreApplication::processEvents();

    // Middle of the text on screen.
    const int middle = memo->document()->characterCount() / 2;
    QTextCursor caret(memo->document());
    caret.setPosition(middle);
    memo->setTextCursor(caret);
    memo->centerCursor();
    QCoreApplication::processEvents();

    // ---- Timestamps: Ctrl+click on one in view.
    {
        const int stamp = ControlPosition(memo, QStringLiteral("[0"), middle - 2000) + 3;
        QTextCursor at(memo->document());
        at.setPosition(stamp);
        memo->setTextCursor(at);
        memo->ensureCursorVisible();
        QCoreApplication::processEvents();
        const QRect r = memo->cursorRect(at);
        const QPoint point(r.left() + 2, r.center().y());
        Print("timestamp_seek_ms",
              bench::TimeMs([&] { audio::SeekStream(Form1->Stream, 0, audio::POS_BYTE); },
                            [&] {
                                QMouseEvent press(QEvent::MouseButtonPress, point,
                                                  memo->viewport()->mapToGlobal(point),
                                                  Qt::LeftButton, Qt::LeftButton,
                                                  Qt::ControlModifier);
                                QApplication::sendEvent(memo->viewport(), &press);
                            },
                            rounds * 3));
        QMouseEvent release(QEvent::MouseButtonRelease, point, memo->viewport()->mapToGlobal(point),
                            Qt::LeftButton, Qt::NoButton, Qt::ControlModifier);
        QApplication::sendEvent(memo->viewport(), &release);
        audio::SeekStream(Form1->Stream, 0, audio::POS_BYTE);
        QApplication::sendEvent(memo->viewport(), &release);
        QMouseEvent again(QEvent::MouseButtonPress, point, memo->viewport()->mapToGlobal(point),
                          Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
        QApplication::sendEvent(memo->viewport(), &again);
        QApplication::sendEvent(memo->viewport(), &release);
        if (audio::StreamPosition(Form1->Stream, audio::POS_BYTE) == 0) {
            std::fprintf(stderr, "the click did not seek\n");
            return 1;
        }
    }

    // ---- Find: from the start to a word that occurs once, near the end.
    {
        const QString rare = QStringLiteral("единственный");
        const QString withRare =
            small.left(small.size() - 100) + u' ' + rare + u' ' + small.right(100);
        editor.ReplaceText(withRare);
        editor.FindBar1->Open(false);
        editor.FindBar1->FindEdit->setText(rare.toUpper());
        Print("find_next_ms", bench::TimeMs([&] { editor.MemoText().SetCaret(0); },
                                            [&] { editor.FindBar1->FindNext(); }, rounds));
        if (editor.MemoText().SelLength() != rare.size()) {
            std::fprintf(stderr, "find did not find\n");
            return 1;
        }
        editor.FindBar1->Close();
    }

    // ---- Replace all: 1 000 names.
    {
        editor.FindBar1->Open(true);
        editor.FindBar1->FindEdit->setText(QStringLiteral("смирнов"));
        editor.FindBar1->ReplaceEdit->setText(QStringLiteral("Смирнова"));
        int replaced = 0;
        Print("replace_all_ms", bench::TimeMs(
                                    [&] {
                                        editor.ReplaceText(small);
                                        QCoreApplication::processEvents();
                                    },
                                    [&] { replaced = editor.FindBar1->ReplaceAll(); }, rounds));
        if (replaced != (smoke ? small.count(QStringLiteral("Смирнов")) : 1000)) {
            std::fprintf(stderr, "replace all replaced %d\n", replaced);
            return 1;
        }
        editor.FindBar1->Close();
    }

    // ---- Spelling.
    {
        {
            QElapsedTimer load;
            load.start();
            SpellChecker fresh(editor.Spelling->DictionaryFolder, PersonalWordListPath());
            Print("spell_load_ms", load.nsecsElapsed() / 1e6);
        }
        editor.Spelling->WaitUntilLoaded();
        SpellChecker* checker = editor.Spelling->Checker();
        if (checker == nullptr) {
            std::fprintf(stderr, "no Hunspell dictionaries\n");
            return 1;
        }
        Print("spell_open_ms", bench::TimeMs(
                                   [&] {
                                       editor.ReplaceText(small);
                                       QTextCursor c(memo->document());
                                       c.setPosition(middle);
                                       memo->setTextCursor(c);
                                       memo->centerCursor();
                                       checker->ClearCache();
                                   },
                                   [&] { editor.Spelling->Refresh(); }, rounds));
        editor.Spelling->Refresh();
        const QString letters = QStringLiteral("абвгдежзиклмнопрст");
        int typed = 0;
        Print("spell_keystroke_ms", bench::TimeMs(
                                        [&] {
                                            const QString c =
                                                letters.mid(typed++ % letters.size(), 1);
                                            QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, c);
                                            QApplication::sendEvent(memo, &key);
                                        },
                                        [&] { editor.Spelling->Refresh(); }, rounds * 3));
    }

    DestroyWindowSet();
    audio::CloseDevice();
    return 0;
}
