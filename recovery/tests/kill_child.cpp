#include "kill_child.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>
#include <ctime>

#include "app/recovery_session.h"
#include "app/termination_signals.h"
#include "app/window_set.h"
#include "editor/editor_window.h"
#include "player/player_window.h"

QString TypedText() {
    // Cyrillic, characters outside Windows-1251 (CJK, a surrogate pair), line breaks.
    const QString line = QStringLiteral("Жили-были дед да баба, 日本 😀 ёЁ №%1\n");
    QString text;
    for (int i = 0; i < 40; ++i) text += line.arg(i);
    return text;
}

qint64 MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int RunTypingChild() {
    CreateWindowSet();
    Form2->show();
    RecoverySession session(*Form1, *Form2, *Form5, recovery::DefaultRecoveryFolder());
    const QString text = TypedText();
    int typed = 0;
    QTimer typing;
    typing.setTimerType(Qt::PreciseTimer);
    QObject::connect(&typing, &QTimer::timeout, [&] {
        if (typed >= text.size()) return;
        // One user-visible character: a surrogate pair is one key press.
        const int length = text[typed].isHighSurrogate() ? 2 : 1;
        const QString piece = text.mid(typed, length);
        const bool enter = piece == QStringLiteral("\n");
        QKeyEvent press(QEvent::KeyPress, enter ? Qt::Key_Return : 0, Qt::NoModifier,
                        enter ? QStringLiteral("\r") : piece);
        QApplication::sendEvent(Form2->Memo1, &press);
        typed += length;
        std::printf("typed %d %lld\n", typed, static_cast<long long>(MonotonicNs()));
        std::fflush(stdout);
    });
    typing.start(kTypingStepMs);
    QTimer::singleShot(60000, qApp, &QCoreApplication::quit);  // never outlive a broken test
    QuitOnTerminationSignals();
    const int result = QApplication::exec();
    session.Finish();
    DestroyWindowSet();
    return result;
}
