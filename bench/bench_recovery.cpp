// Recovery copies: what one copy costs the user-interface thread while typing in a 1 MB
// transcript with 500 playlist entries, how long the whole write takes on the writer thread,
// and the start-up scan with 50 copies present. "--smoke": small inputs, few rounds.
#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstring>

#include "app/recovery_session.h"
#include "app/restore_window.h"
#include "app/window_set.h"
#include "bench/bench_common.h"
#include "bench/bench_timing.h"
#include "editor/editor_window.h"
#include "participants/participants_window.h"
#include "player/player_controls.h"
#include "player/player_window.h"
#include "recovery/recovery_store.h"

int main(int argc, char** argv) {
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    bench::UseOffscreenDefaults();
    QApplication app(argc, argv);
    bench::EnsureDictionaryFile();
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("recovery"));

    const QStringList words = {QStringLiteral("расшифровка"), QStringLiteral("интервью"),
                               QStringLiteral("значит"),      QStringLiteral("вот"),
                               QStringLiteral("понимаете"),   QStringLiteral("recording")};
    QString transcript = bench::MakeTranscript(words, 4242);
    if (smoke) transcript.truncate(20000);
    const int entries = smoke ? 20 : 500;
    const int rounds = smoke ? 3 : 30;

    CreateWindowSet();
    Form2->ReplaceText(transcript);
    for (int i = 0; i < entries; ++i)
        Form1->ListBox1->addItem(
            QStringLiteral("/home/typist/Записи/интервью-%1/часть-%2.mp3").arg(i / 10).arg(i));

    {
        RecoverySession session(*Form1, *Form2, *Form5, folder);
        auto typeOne = [&] {
            session.Writer().WaitIdle();
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("ж"));
            QApplication::sendEvent(Form2->Memo1, &press);
        };
        // The user-interface thread's part: looking for changes, taking the state, handing it over.
        bench::Print("recovery_write_ms",
                     bench::TimeMs(
                         typeOne, [&] { session.CheckForChanges(); }, rounds),
                     "ms");
        // The whole write, from the hand-over to the synced copy in place.
        bench::Print("recovery_write_thread_ms",
                     bench::TimeMs(
                         typeOne,
                         [&] {
                             session.CheckForChanges();
                             session.Writer().WaitIdle();
                         },
                         rounds),
                     "ms");
        // Of that, the part without the disk: building and checking the copy's bytes.
        const recovery::RecoveryState state = session.Capture();
        bench::Print("recovery_encode_ms",
                     bench::TimeMs([] {},
                                   [&] {
                                       const QByteArray bytes = recovery::EncodeCopy(state, 1, 1);
                                       if (!recovery::DecodeCopyHeader(bytes, bytes.size()))
                                           std::abort();
                                   },
                                   rounds),
                     "ms");
        // An idle check (nothing changed) costs the thread next to nothing.
        bench::Print("recovery_idle_check_ms",
                     bench::TimeMs([] {}, [&] { session.CheckForChanges(); }, rounds), "ms");
        session.Finish();
    }

    // Start-up with a crashed run's 50 copies of that state present: the scan and the window.
    {
        QTemporaryDir scanDir;
        const QString scanFolder = scanDir.filePath(QStringLiteral("recovery"));
        {
            RecoverySession source(*Form1, *Form2, *Form5, scanFolder);
            recovery::RunFolder run(scanFolder, QDateTime::currentMSecsSinceEpoch() - 100000, 1);
            const recovery::RecoveryState state = source.Capture();
            for (int i = 0; i < recovery::kCopiesPerRun; ++i)
                run.WriteCopy(state, QDateTime::currentMSecsSinceEpoch() - 1000 * (50 - i));
        }  // the run's lock goes as in a crash
        RecoverySession session(*Form1, *Form2, *Form5, scanFolder);
        bench::Print("recovery_scan_ms",
                     bench::TimeMs([] {},
                                   [&] {
                                       RestoreWindow* window = session.OfferEarlierCopies();
                                       // One row for the run, its newest copy, with the 49 older
                                       // ones behind it.
                                       if (window == nullptr ||
                                           window->CopyList->topLevelItemCount() != 1 ||
                                           !window->CopyList->topLevelItem(0)->text(0).endsWith(
                                               QStringLiteral("(+49)")))
                                           std::abort();
                                       delete window;
                                   },
                                   rounds),
                     "ms");
        session.Finish();
    }
    DestroyWindowSet();
    return 0;
}
