// The recovery session on the real windows: what a copy takes from them, what counts as
// saved, the status-bar note, and the restore window.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <csignal>
#include <memory>
#include <vector>

#include "app/application.h"
#include "app/project_commands.h"
#include "app/recovery_session.h"
#include "app/restore_window.h"
#include "app/window_set.h"
#include "editor/editor_window.h"
#include "kill_child.h"
#include "participants/participants_window.h"
#include "player/player_controls.h"
#include "player/player_window.h"

namespace {

class RecoveryWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        folder = dir.filePath(QStringLiteral("recovery"));
        errors.clear();
        ErrorDialogHook = [this](const QString& m) { errors << m; };
        Start();
    }
    void TearDown() override {
        Stop();
        ErrorDialogHook = nullptr;
        project::Dialogs() = {};
    }
    // A fresh start of the program: windows, project state and a session.
    void Start() {
        project::ResetProjectState();
        CreateWindowSet();
        session = std::make_unique<RecoverySession>(*Form1, *Form2, *Form5, folder);
    }
    // An exit: the session finishes, then the windows go.
    void Stop() {
        if (session) session->Finish();
        session.reset();
        DestroyWindowSet();
    }
    void Type(const QString& text) {
        // One key press per character; a surrogate pair is one character.
        for (qsizetype i = 0; i < text.size();) {
            const qsizetype length = text[i].isHighSurrogate() ? 2 : 1;
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text.mid(i, length));
            QApplication::sendEvent(Form2->Memo1, &press);
            i += length;
        }
    }
    // The timer's check, then the writer's work and its report.
    void Copy() {
        session->CheckForChanges();
        session->Writer().WaitIdle();
        QCoreApplication::processEvents();
    }
    QStringList Copies() const {
        QStringList all;
        for (const QString& run : QDir(folder).entryList({QStringLiteral("run-*")}, QDir::Dirs))
            for (const QString& c : QDir(folder + u'/' + run).entryList({QStringLiteral("copy-*")}))
                all << run + u'/' + c;
        return all;
    }

    QTemporaryDir dir;
    QString folder;
    QStringList errors;
    std::unique_ptr<RecoverySession> session;
};

}  // namespace

TEST_F(RecoveryWindows, AnUntouchedRunLeavesNothing) {
    Copy();
    Stop();
    EXPECT_FALSE(QFileInfo::exists(folder));
    Start();
    EXPECT_EQ(session->OfferEarlierCopies(), nullptr);
}

TEST_F(RecoveryWindows, ExitWithUnsavedWorkIsOfferedAndRestoredWhole) {
    Type(QStringLiteral("Жук 日本 😀"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(Form2->Memo1, &enter);
    Type(QStringLiteral("вторая"));
    Form2->TextEncoding = textfiles::Encoding::Utf16LE;
    Form5->SetCells(3, 2, QStringLiteral("Анна\tК."));
    Form1->Edit1->setText(QStringLiteral("7"));
    Form1->ListBox1->addItems({QStringLiteral("/нет/такого/1.mp3"), QStringLiteral("/нет/2.wav")});
    Form1->ListBox1->setCurrentRow(1);
    Form1->SetSpeed(0.75);
    project::ProjectName = QStringLiteral("/tmp/проект.prj");
    const QString text = Form2->Text();
    ASSERT_EQ(text, QStringLiteral("Жук 日本 😀\r\nвторая"));
    // "Выход" asks nothing; the last state is written on the way out.
    Stop();
    ASSERT_EQ(Copies().size(), 1);

    Start();
    EXPECT_TRUE(Form2->Text().isEmpty());
    EXPECT_DOUBLE_EQ(Form1->Speed, 1.0);
    RestoreWindow* window = session->OfferEarlierCopies();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("NUV Tolvek - Восстановление"));
    EXPECT_EQ(window->RestoreButton->text(), QStringLiteral("Восстановить"));
    EXPECT_EQ(window->LaterButton->text(), QStringLiteral("Не сейчас"));
    EXPECT_EQ(window->DeleteButton->text(), QStringLiteral("Удалить"));
    EXPECT_FALSE(window->isModal());
    ASSERT_EQ(window->CopyList->topLevelItemCount(), 1);
    QTreeWidgetItem* row = window->CopyList->topLevelItem(0);
    EXPECT_EQ(row->text(1), QString::number(text.size()));
    EXPECT_EQ(row->text(2), QStringLiteral("вторая"));  // the line typed last
    EXPECT_FALSE(row->text(0).isEmpty());

    QPointer<RestoreWindow> guard(window);
    QTest::mouseClick(window->RestoreButton, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(Form2->Text(), text);
    EXPECT_EQ(Form2->TextEncoding, textfiles::Encoding::Utf16LE);
    EXPECT_EQ(Form5->Cells(3, 2), QStringLiteral("Анна\tК."));
    EXPECT_EQ(Form5->Cells(1, 2), QStringLiteral("Участник 1"));
    EXPECT_EQ(Form1->Edit1->text(), QStringLiteral("7"));
    ASSERT_EQ(Form1->ListBox1->count(), 2);
    EXPECT_EQ(Form1->ListBox1->item(0)->text(), QStringLiteral("/нет/такого/1.mp3"));
    EXPECT_EQ(Form1->ListBox1->currentRow(), 1);
    EXPECT_DOUBLE_EQ(Form1->Speed, 0.75);
    EXPECT_EQ(project::ProjectName, QStringLiteral("/tmp/проект.prj"));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/проект.prj")));  // nothing written
    EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
    // Undo goes back to the empty start, redo to the restored text.
    Form2->N34Click();
    EXPECT_TRUE(Form2->Text().isEmpty());
    Form2->N35Click();
    EXPECT_EQ(Form2->Text(), text);

    // The restored work now lives in this run; the old run is not offered again.
    Copy();
    Stop();
    Start();
    RestoreWindow* again = session->OfferEarlierCopies();
    ASSERT_NE(again, nullptr);
    ASSERT_EQ(again->CopyList->topLevelItemCount(), 1);  // this last run's copy only
    EXPECT_EQ(again->CopyList->topLevelItem(0)->text(1), QString::number(text.size()));
    again->LaterButton->click();
}

TEST_F(RecoveryWindows, SavedWorkIsNotOffered) {
    // A project save covers everything.
    Type(QStringLiteral("проект"));
    Form5->SetCells(1, 2, QStringLiteral("Ведущий"));
    Copy();
    EXPECT_EQ(Copies().size(), 1);
    project::Dialogs().RunSaveDialog = [this](QString& path) {
        path = dir.filePath(QStringLiteral("p.prj"));
        return true;
    };
    project::SaveProject(*Form1, *Form2, *Form5);
    ASSERT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("p.prj"))));
    Copy();
    EXPECT_EQ(Copies().size(), 1);  // equal to the saved state: no new copy
    Stop();
    Start();
    EXPECT_EQ(session->OfferEarlierCopies(), nullptr);

    // The editor's own save covers the text; the rest is still as it started.
    Type(QStringLiteral("только текст"));
    Form2->RunTextFileDialog = [this](TextFileDialog& d, bool) {
        d.FileName = dir.filePath(QStringLiteral("t.txt"));
        return true;
    };
    Form2->N4Click();
    Stop();
    Start();
    EXPECT_EQ(session->OfferEarlierCopies(), nullptr);

    // Saved text typed on afterwards is unsaved again.
    Type(QStringLiteral("ещё"));
    Stop();
    Start();
    RestoreWindow* window = session->OfferEarlierCopies();
    ASSERT_NE(window, nullptr);
    window->close();
}

TEST_F(RecoveryWindows, FailedWriteIsNotedOnceAndTypingGoesOn) {
    Stop();
    // A file where the folder should be: the write fails whoever runs the test.
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Start();
    Form2->show();
    Type(QStringLiteral("раз"));
    Copy();
    QLabel* note = session->Note();
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->parentWidget(), static_cast<QWidget*>(Form2->StatusBar1));
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), QStringLiteral("Копия для восстановления не записана"));
    EXPECT_TRUE(note->toolTip().contains(folder)) << note->toolTip().toStdString();
    EXPECT_EQ(session->NotesShown(), 1);
    for (int i = 0; i < 3; ++i) {
        Type(QStringLiteral(" ещё"));
        Copy();
    }
    EXPECT_EQ(Form2->Text(), QStringLiteral("раз ещё ещё ещё"));
    EXPECT_EQ(session->NotesShown(), 1);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Once the folder can be made, the next check writes the work again without waiting for
    // another change, and the note goes.
    ASSERT_TRUE(QFile::remove(folder));
    Copy();
    EXPECT_FALSE(note->isVisible());
    ASSERT_EQ(Copies().size(), 1);
    EXPECT_EQ(recovery::ReadCopy(folder + u'/' + Copies()[0]).text,
              QStringLiteral("раз ещё ещё ещё"));
    Copy();  // written once: nothing more to do
    EXPECT_EQ(Copies().size(), 1);
}

TEST_F(RecoveryWindows, DamagedCopyIsSkippedAndTheNextOneRestored) {
    Type(QStringLiteral("старая"));
    Copy();
    Type(QStringLiteral(" новая"));
    Copy();
    Stop();
    QStringList copies = Copies();
    ASSERT_EQ(copies.size(), 2);
    copies.sort();
    QFile newest(folder + u'/' + copies.last());
    ASSERT_TRUE(newest.open(QIODevice::ReadWrite));
    newest.seek(newest.size() - 5);
    newest.write("XXXXX");  // the body only: the scan still lists it
    newest.close();

    Start();
    RestoreWindow* window = session->OfferEarlierCopies();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(window->CopyList->topLevelItemCount(), 1);  // one run: its newest copy
    EXPECT_FALSE(window->NoteLabel->isVisibleTo(window));
    window->RestoreButton->click();
    ASSERT_EQ(window->CopyList->topLevelItemCount(), 1);  // now the older one
    EXPECT_EQ(window->CopyList->topLevelItem(0)->childCount(), 0);
    EXPECT_TRUE(window->NoteLabel->isVisibleTo(window));
    EXPECT_EQ(window->NoteLabel->text(), QStringLiteral("Повреждённых копий пропущено: 1"));
    EXPECT_TRUE(Form2->Text().isEmpty());
    window->RestoreButton->click();
    EXPECT_EQ(Form2->Text(), QStringLiteral("старая"));
}

TEST_F(RecoveryWindows, LaterKeepsAndDeleteRemoves) {
    Type(QStringLiteral("текст"));
    Stop();
    Start();
    RestoreWindow* window = session->OfferEarlierCopies();
    ASSERT_NE(window, nullptr);
    window->LaterButton->click();
    Stop();
    Start();
    window = session->OfferEarlierCopies();
    ASSERT_NE(window, nullptr);  // "Не сейчас" kept them
    // Restoring over text already typed asks first; "no" keeps the text.
    Type(QStringLiteral("новое"));
    int asked = 0;
    session->ConfirmReplace = [&] {
        ++asked;
        return false;
    };
    window->RestoreButton->click();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Form2->Text(), QStringLiteral("новое"));
    // "Удалить" asks first: "no" deletes nothing, "yes" everything offered.
    QStringList questions;
    window->ConfirmDelete = [&] {
        questions << QStringLiteral("asked");
        return false;
    };
    window->DeleteButton->click();
    EXPECT_EQ(questions.size(), 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Copies().size(), 1);
    window->ConfirmDelete = [] { return true; };
    window->DeleteButton->click();
    Form2->ReplaceText(QString());
    Stop();
    Start();
    EXPECT_EQ(session->OfferEarlierCopies(), nullptr);
}

// A run in which nothing was typed (recordings added, the playlist moving on, settings
// changed) is not offered; a run with several copies is one row, its older copies inside.
TEST_F(RecoveryWindows, OneRowPerRunOnlyForTextOrParticipantsNotSaved) {
    Form1->ListBox1->addItems({QStringLiteral("/нет/1.wav"), QStringLiteral("/нет/2.wav")});
    Form1->ListBox1->setCurrentRow(0);
    Copy();
    Form1->ListBox1->setCurrentRow(1);
    Form1->Edit1->setText(QStringLiteral("9"));
    Copy();
    Stop();
    Start();
    EXPECT_EQ(session->OfferEarlierCopies(), nullptr);

    Type(QStringLiteral("раз"));
    Copy();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(Form2->Memo1, &enter);
    Type(QStringLiteral("два"));
    Copy();
    Form5->SetCells(2, 2, QStringLiteral("Борис"));
    Copy();
    Stop();
    ASSERT_EQ(Copies().size(), 3);
    Start();
    RestoreWindow* window = session->OfferEarlierCopies();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(window->CopyList->topLevelItemCount(), 1);
    QTreeWidgetItem* run = window->CopyList->topLevelItem(0);
    EXPECT_EQ(run->text(1), "8");  // the newest copy: "раз\r\nдва" and the participant
    EXPECT_EQ(run->text(2), "");   // its text is that of the copy before it
    run->setExpanded(true);
    ASSERT_EQ(run->childCount(), 2);
    EXPECT_EQ(run->child(0)->text(1), "8");
    EXPECT_EQ(run->child(0)->text(2), "два");
    EXPECT_EQ(run->child(1)->text(1), "3");
    EXPECT_EQ(run->child(1)->text(2), "раз");
    // An older copy is restored as chosen.
    window->CopyList->setCurrentItem(run->child(1));
    window->RestoreButton->click();
    EXPECT_EQ(Form2->Text(), QStringLiteral("раз"));
}

TEST_F(RecoveryWindows, TheTimerCopiesWithinTwoSecondsOfTyping) {
    Type(QStringLiteral("по таймеру"));
    QElapsedTimer clock;
    clock.start();
    // The timer alone (no direct check): a copy appears within one interval.
    while (Copies().isEmpty() && clock.elapsed() < 10000) QTest::qWait(20);
    EXPECT_FALSE(Copies().isEmpty());
    EXPECT_LE(clock.elapsed(), RecoverySession::kCopyIntervalMs + 1000);
}

// The program is killed (SIGKILL) in the middle of typing; the next start offers a copy
// holding everything typed up to two seconds before the kill, byte for byte.
TEST_F(RecoveryWindows, KilledWhileTypingLosesAtMostTheLastTwoSeconds) {
    const QString state = dir.filePath(QStringLiteral("state"));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NUV_RECOVERY_CHILD"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_STATE_HOME"), state);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    ASSERT_TRUE(child.waitForStarted(10000));

    // Count typed characters with their times, until 4.5 s of typing.
    QList<QPair<int, qint64>> typed;
    QByteArray pending;
    auto readLines = [&] {
        pending += child.readAllStandardOutput();
        int end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QList<QByteArray> parts = pending.left(end).split(' ');
            pending.remove(0, end + 1);
            if (parts.size() == 3 && parts[0] == "typed")
                typed.append({parts[1].toInt(), parts[2].toLongLong()});
        }
    };
    QElapsedTimer limit;
    limit.start();
    while (limit.elapsed() < 60000 &&
           (typed.isEmpty() || typed.last().second - typed.first().second < 4500000000LL)) {
        if (!child.waitForReadyRead(1000) && child.state() != QProcess::Running) break;
        readLines();
    }
    ASSERT_FALSE(typed.isEmpty()) << child.readAllStandardError().toStdString();
    ASSERT_EQ(child.state(), QProcess::Running) << child.readAllStandardError().toStdString();
    const qint64 killedAt = MonotonicNs();
    child.kill();  // SIGKILL
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
    readLines();

    // Everything typed two seconds (and a second of slack for a loaded machine) before the
    // kill must be in the newest copy.
    constexpr qint64 kSlackNs = 1000000000LL;
    int mustHave = 0;
    for (const auto& [count, at] : typed)
        if (at <= killedAt - qint64(RecoverySession::kCopyIntervalMs) * 1000000 - kSlackNs)
            mustHave = count;
    const int typedCount = typed.last().first;

    const recovery::ScanResult scan = recovery::ScanRecoveryFolder(
        state + QStringLiteral("/nuvtolvek/recovery"), QDateTime::currentMSecsSinceEpoch());
    ASSERT_EQ(scan.offered.size(), 1);
    ASSERT_FALSE(scan.offered[0].copies.isEmpty());
    EXPECT_TRUE(scan.damaged.isEmpty());
    const recovery::CopyInfo newest = scan.offered[0].copies.first();

    // Restored into a fresh program: the text comes back exactly.
    ASSERT_TRUE(session->Restore(newest, scan.offered[0].path));
    const QString restored = Form2->Text();
    QString full = TypedText();
    full.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    QString expectedTyped = TypedText().left(typedCount);
    expectedTyped.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    EXPECT_TRUE(expectedTyped.startsWith(restored));
    QString mustText = TypedText().left(mustHave);
    mustText.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    EXPECT_TRUE(restored.startsWith(mustText)) << "restored " << restored.size() << " units, typed "
                                               << typedCount << ", needed " << mustHave;
    EXPECT_GT(mustHave, 0);
    EXPECT_TRUE(restored.contains(QStringLiteral("日本 😀")));
}

// The desktop logs out (SIGTERM) in the middle of typing: the program ends the way "Выход"
// does, asks nothing, and its last copy holds every character typed.
TEST_F(RecoveryWindows, LogoutWhileTypingKeepsEveryCharacter) {
    const QString state = dir.filePath(QStringLiteral("state"));
    // Everything the child needs is made before the fork.
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
    QList<QByteArray> environment;
    for (const QString& entry : QProcessEnvironment::systemEnvironment().toStringList())
        if (!entry.startsWith(QLatin1String("XDG_STATE_HOME=")))
            environment << QFile::encodeName(entry);
    environment << "NUV_RECOVERY_CHILD=1"
                << "XDG_STATE_HOME=" + QFile::encodeName(state);
    std::vector<char*> envp;
    for (QByteArray& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program.constData()), nullptr};
    int out[2];
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_EQ(spawned, 0);
    ::close(out[1]);

    int typed = 0;
    QByteArray pending;
    auto readLines = [&](int timeoutMs) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return false;
        char buffer[4096];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) return false;
        pending.append(buffer, n);
        int end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QList<QByteArray> parts = pending.left(end).split(' ');
            pending.remove(0, end + 1);
            if (parts.size() == 3 && parts[0] == "typed") typed = parts[1].toInt();
        }
        return true;
    };
    QElapsedTimer limit;
    limit.start();
    // Past the first copy and into the next interval.
    while (limit.elapsed() < 60000 && typed < 150) {
        if (!readLines(1000) && ::waitpid(pid, nullptr, WNOHANG) != 0) break;
    }
    ASSERT_GE(typed, 150);
    ::kill(pid, SIGTERM);
    int status = 0;
    limit.restart();
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        readLines(10);
        if (limit.elapsed() > 20000) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            FAIL() << "no exit after SIGTERM";
        }
    }
    while (readLines(0)) {
    }
    ::close(out[0]);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const recovery::ScanResult scan = recovery::ScanRecoveryFolder(
        state + QStringLiteral("/nuvtolvek/recovery"), QDateTime::currentMSecsSinceEpoch());
    ASSERT_EQ(scan.offered.size(), 1);
    ASSERT_FALSE(scan.offered[0].copies.isEmpty());
    QString expected = TypedText().left(typed);
    expected.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    EXPECT_EQ(recovery::ReadCopy(scan.offered[0].copies.first().path).text, expected);
}
