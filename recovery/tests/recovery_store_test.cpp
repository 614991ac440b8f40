#include "recovery/recovery_store.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>

#include "recovery/copy_writer.h"
#include "recovery_test_support.h"

using recovery::RecoveryState;
using recovery::RunFolder;

namespace {

constexpr qint64 kNow = 1765100000000;
constexpr qint64 kDay = recovery::kKeepEndedRunsMs;

QStringList CopyFiles(const QString& runPath) {
    return QDir(runPath).entryList({QStringLiteral("copy-*.nrc")}, QDir::Files, QDir::Name);
}

}  // namespace

TEST(RecoveryStore, DefaultFolderFollowsXdgStateHome) {
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "/tmp/state-here");
    EXPECT_EQ(recovery::DefaultRecoveryFolder(),
              QStringLiteral("/tmp/state-here/nuvtolvek/recovery"));
    qputenv("XDG_STATE_HOME", "relative/is/ignored");
    EXPECT_EQ(recovery::DefaultRecoveryFolder(),
              QDir::homePath() + QStringLiteral("/.local/state/nuvtolvek/recovery"));
    qunsetenv("XDG_STATE_HOME");
    EXPECT_EQ(recovery::DefaultRecoveryFolder(),
              QDir::homePath() + QStringLiteral("/.local/state/nuvtolvek/recovery"));
    if (!saved.isNull()) qputenv("XDG_STATE_HOME", saved);
}

TEST(RecoveryStore, KeepsTheNewestFiftyCopiesOfARun) {
    QTemporaryDir dir;
    RunFolder run(dir.path() + QStringLiteral("/deep/recovery"), kNow, 77);
    EXPECT_FALSE(QFileInfo::exists(run.Path()));  // nothing on disk before the first copy
    for (int i = 1; i <= 55; ++i)
        EXPECT_EQ(run.WriteCopy(TestState(QString::number(i)), kNow + i), i);
    const QStringList files = CopyFiles(run.Path());
    ASSERT_EQ(files.size(), recovery::kCopiesPerRun);
    EXPECT_EQ(files.first(), QStringLiteral("copy-00000006.nrc"));
    EXPECT_EQ(files.last(), QStringLiteral("copy-00000055.nrc"));
    EXPECT_EQ(recovery::ReadCopy(run.Path() + u'/' + files.last()).text, QStringLiteral("55"));
    // No temporary file is left behind.
    EXPECT_EQ(QDir(run.Path()).entryList(QDir::Files | QDir::Hidden).size(),
              recovery::kCopiesPerRun + 2);  // + lock and marker
}

TEST(RecoveryStore, ScanOffersOnlyRunsThatEndedWithoutSaving) {
    QTemporaryDir dir;
    const QString root = dir.path();
    // A: crashed (lock released without a marker change), B: exit with unsaved work,
    // C: clean exit, D: still running, E: crashed before its first copy.
    {
        RunFolder a(root, kNow - 5000, 1);
        a.WriteCopy(TestState(QStringLiteral("первая")), kNow - 4000);
        a.WriteCopy(TestState(QStringLiteral("вторая\r\nстрока")), kNow - 3000);
    }
    RunFolder b(root, kNow - 4000, 2);
    b.WriteCopy(TestState(QStringLiteral("б")), kNow - 2000);
    b.Close(false, kNow - 1000);
    RunFolder c(root, kNow - 3000, 3);
    c.WriteCopy(TestState(QStringLiteral("в")), kNow - 2000);
    c.Close(true, kNow - 1000);
    RunFolder d(root, kNow - 2000, 4);
    d.WriteCopy(TestState(QStringLiteral("г")), kNow - 1000);
    {
        RunFolder e(root, kNow - 1000, 5);
        e.Open();
    }

    const recovery::ScanResult scan = recovery::ScanRecoveryFolder(root, kNow);
    ASSERT_EQ(scan.offered.size(), 2);
    EXPECT_EQ(scan.offered[0].path, b.Path());  // newest run first
    ASSERT_EQ(scan.offered[1].copies.size(), 2);
    const recovery::CopyHeader& newest = scan.offered[1].copies[0].header;
    EXPECT_EQ(newest.timeMs, kNow - 3000);
    EXPECT_EQ(newest.firstLine, QStringLiteral("вторая"));
    EXPECT_EQ(newest.characters, 14);
    EXPECT_TRUE(scan.damaged.isEmpty());
    // The clean run stays for a day, the empty crashed run is gone at once.
    EXPECT_TRUE(QFileInfo::exists(c.Path()));
    EXPECT_EQ(QDir(root).entryList({QStringLiteral("run-*")}, QDir::Dirs).size(), 4);

    // A day later the clean run goes too; the running one is never touched.
    const recovery::ScanResult later = recovery::ScanRecoveryFolder(root, kNow + kDay + 1);
    EXPECT_EQ(later.offered.size(), 2);
    EXPECT_FALSE(QFileInfo::exists(c.Path()));
    EXPECT_TRUE(QFileInfo::exists(d.Path()));
    EXPECT_THROW(recovery::DeleteRun(d.Path()), textfiles::FileError);
    EXPECT_TRUE(QFileInfo::exists(d.Path()));
}

TEST(RecoveryStore, RestoredAndDeletedRunsAreNotOfferedAgain) {
    QTemporaryDir dir;
    QString first, second;
    {
        RunFolder a(dir.path(), kNow - 2000, 1);
        a.WriteCopy(TestState(QStringLiteral("a")), kNow - 1500);
        first = a.Path();
        RunFolder b(dir.path(), kNow - 1000, 2);
        b.WriteCopy(TestState(QStringLiteral("b")), kNow - 500);
        second = b.Path();
    }
    EXPECT_EQ(recovery::ScanRecoveryFolder(dir.path(), kNow).offered.size(), 2);
    recovery::MarkRunRestored(first, kNow);
    recovery::DeleteRun(second);
    EXPECT_FALSE(QFileInfo::exists(second));
    EXPECT_TRUE(recovery::ScanRecoveryFolder(dir.path(), kNow + 1).offered.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(first));
    recovery::ScanRecoveryFolder(dir.path(), kNow + kDay + 1);
    EXPECT_FALSE(QFileInfo::exists(first));
}

TEST(RecoveryStore, DamagedCopiesAreSkippedWithANote) {
    QTemporaryDir dir;
    QString runPath;
    {
        RunFolder run(dir.path(), kNow, 1);
        for (int i = 1; i <= 4; ++i)
            run.WriteCopy(TestState(QStringLiteral("копия %1").arg(i)), kNow + i);
        runPath = run.Path();
    }
    const QStringList files = CopyFiles(runPath);
    // Copy 4 cut short, copy 3 with a flipped header byte, copy 2 with a flipped body byte
    // (the scan reads headers only; reading the copy finds it).
    auto damage = [&](const QString& name, auto change) {
        QFile file(runPath + u'/' + name);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        change(bytes);
        file.resize(0);
        file.seek(0);
        file.write(bytes);
    };
    damage(files[3], [](QByteArray& b) { b.chop(3); });
    damage(files[2], [](QByteArray& b) { b[20] = char(b[20] ^ 1); });
    damage(files[1], [](QByteArray& b) { b[b.size() - 2] = char(b[b.size() - 2] ^ 1); });
    QFile garbage(runPath + QStringLiteral("/copy-00000099.nrc"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a copy at all");
    garbage.close();

    const recovery::ScanResult scan = recovery::ScanRecoveryFolder(dir.path(), kNow + 10);
    ASSERT_EQ(scan.offered.size(), 1);
    EXPECT_EQ(scan.damaged.size(), 3);
    ASSERT_EQ(scan.offered[0].copies.size(), 2);
    EXPECT_THROW(recovery::ReadCopy(scan.offered[0].copies[0].path), textfiles::FileError);
    EXPECT_EQ(recovery::ReadCopy(scan.offered[0].copies[1].path).text, QStringLiteral("копия 1"));
}

TEST(RecoveryStore, UnwritableFolderFailsWithoutHarm) {
    QTemporaryDir dir;
    // A file where the folder should be: no permission check (tests run as root) can help.
    QFile blocker(dir.filePath(QStringLiteral("state")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    RunFolder run(dir.filePath(QStringLiteral("state/nuvtolvek/recovery")), kNow, 1);
    try {
        run.WriteCopy(TestState(QStringLiteral("x")), kNow);
        FAIL() << "no error";
    } catch (const textfiles::FileError& error) {
        EXPECT_FALSE(error.reason().isEmpty());
    }
    EXPECT_FALSE(run.IsOpen());
}

TEST(RecoveryStore, DiskFullLeavesEarlierCopiesIntact) {
    QTemporaryDir dir;
    RunFolder run(dir.path(), kNow, 1);
    run.WriteCopy(TestState(QStringLiteral("сохранено")), kNow);
    const QString first = run.Path() + QStringLiteral("/copy-00000001.nrc");
    QFile f(first);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();

    // The file size limit stands in for a full disk: writes beyond it fail with EFBIG.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tight = old;
    tight.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    bool failed = false;
    try {
        run.WriteCopy(TestState(QString(100000, u'ж')), kNow + 1);
    } catch (const textfiles::FileError&) {
        failed = true;
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(failed);

    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(QDir(run.Path()).entryList(QDir::Files | QDir::Hidden).size(), 3);  // no leftovers
    // The next write that fits goes on with the next number.
    EXPECT_EQ(run.WriteCopy(TestState(QStringLiteral("дальше")), kNow + 2), 3);
}
