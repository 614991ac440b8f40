#include "recovery/copy_writer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <mutex>
#include <vector>

#include "recovery_test_support.h"

using recovery::CopyWriter;
using recovery::RunFolder;

namespace {

constexpr qint64 kNow = 1765100000000;

struct Reports {
    std::mutex mutex;
    std::vector<recovery::WriteReport> list;
    CopyWriter::Report Callback() {
        return [this](const recovery::WriteReport& r) {
            std::lock_guard lock(mutex);
            list.push_back(r);
        };
    }
    std::vector<recovery::WriteReport> Take() {
        std::lock_guard lock(mutex);
        return list;
    }
};

QStringList Copies(const QString& path) {
    return QDir(path).entryList({QStringLiteral("copy-*.nrc")}, QDir::Files, QDir::Name);
}

}  // namespace

TEST(CopyWriter, WritesOnlyWorkThatDiffersFromTheSavedState) {
    QTemporaryDir dir;
    Reports reports;
    auto run = std::make_unique<RunFolder>(dir.path(), kNow, 1);
    const QString path = run->Path();
    CopyWriter writer(std::move(run), reports.Callback());
    writer.SetSaved(TestState(QString()));
    writer.Submit(TestState(QString()), kNow);  // the start-up state: nothing to keep
    writer.WaitIdle();
    EXPECT_FALSE(QFileInfo::exists(path));
    // Settings, the playlist and its current entry changed without a word typed: nothing.
    recovery::RecoveryState played = TestState(QString());
    played.projectLines[0] = QStringLiteral("PLAYING=7");
    played.projectLines.append(QStringLiteral("FILE=/b/3.wav"));
    played.textEncoding = textfiles::Encoding::Utf16BE;
    writer.Submit(played, kNow);
    writer.WaitIdle();
    EXPECT_FALSE(QFileInfo::exists(path));

    // The text control's paragraph separators arrive as they are and are stored as CR LF.
    writer.Submit(
        TestState(QStringLiteral("раз") + QChar::ParagraphSeparator + QStringLiteral("два")),
        kNow + 1);
    writer.WaitIdle();
    ASSERT_EQ(Copies(path).size(), 1);
    EXPECT_EQ(recovery::ReadCopy(path + QStringLiteral("/copy-00000001.nrc")).text,
              QStringLiteral("раз\r\nдва"));

    // The same work again, or moved only in position: no new copy.
    recovery::RecoveryState moved = TestState(QStringLiteral("раз\r\nдва"));
    moved.projectLines[5] = QStringLiteral("POS=12");
    writer.Submit(moved, kNow + 2);
    writer.WaitIdle();
    EXPECT_EQ(Copies(path).size(), 1);

    // Saved: equal to the saved state, nothing more is written, and the run ends clean.
    writer.SetSaved(TestState(QStringLiteral("раз\r\nдва три")));
    writer.Submit(TestState(QStringLiteral("раз\r\nдва три")), kNow + 3);
    writer.Finish(kNow + 4);
    EXPECT_EQ(Copies(path).size(), 1);
    EXPECT_TRUE(recovery::ScanRecoveryFolder(dir.path(), kNow + 5).offered.isEmpty());
    const auto list = reports.Take();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].ok);
    EXPECT_EQ(list[0].sequence, 1);
}

TEST(CopyWriter, ExitWithUnsavedWorkWritesItAndKeepsItOffered) {
    QTemporaryDir dir;
    auto run = std::make_unique<RunFolder>(dir.path(), kNow, 1);
    CopyWriter writer(std::move(run), nullptr);
    writer.Submit(TestState(QStringLiteral("первое")), kNow + 1);
    // Typed right before the exit: the last state is written by Finish itself.
    writer.Submit(TestState(QStringLiteral("первое и последнее")), kNow + 2);
    writer.Finish(kNow + 3);
    const recovery::ScanResult scan = recovery::ScanRecoveryFolder(dir.path(), kNow + 4);
    ASSERT_EQ(scan.offered.size(), 1);
    ASSERT_FALSE(scan.offered[0].copies.isEmpty());
    EXPECT_EQ(recovery::ReadCopy(scan.offered[0].copies[0].path).text,
              QStringLiteral("первое и последнее"));
    // Finishing twice, and submitting after the end, do nothing.
    writer.Finish(kNow + 5);
    writer.Submit(TestState(QStringLiteral("поздно")), kNow + 6);
}

TEST(CopyWriter, FailuresAreReportedAndTheWriterGoesOn) {
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("state")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Reports reports;
    CopyWriter writer(std::make_unique<RunFolder>(dir.filePath(QStringLiteral("state/r")), kNow, 1),
                      reports.Callback());
    writer.Submit(TestState(QStringLiteral("a")), kNow + 1);
    writer.WaitIdle();
    writer.Submit(TestState(QStringLiteral("ab")), kNow + 2);
    writer.WaitIdle();
    // The folder becomes possible: the next change is written.
    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("state"))));
    writer.Submit(TestState(QStringLiteral("abc")), kNow + 3);
    writer.WaitIdle();
    const auto list = reports.Take();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_FALSE(list[0].ok);
    EXPECT_FALSE(list[1].ok);
    EXPECT_TRUE(list[0].error.startsWith(dir.filePath(QStringLiteral("state"))))
        << list[0].error.toStdString();
    EXPECT_TRUE(list[2].ok);
    writer.Finish(kNow + 4);
}

// Many quick submissions from one thread while the writer writes: the newest state always
// wins, nothing is torn, and stopping is prompt (ThreadSanitizer checks the hand-over).
TEST(CopyWriter, NewestStateWinsUnderLoad) {
    QTemporaryDir dir;
    auto run = std::make_unique<RunFolder>(dir.path(), kNow, 1);
    const QString path = run->Path();
    std::atomic<int> written{0};
    CopyWriter writer(std::move(run), [&](const recovery::WriteReport& r) {
        if (r.ok) ++written;
    });
    QString text;
    for (int i = 0; i < 400; ++i) {
        text += QStringLiteral("слово %1 ").arg(i);
        writer.Submit(TestState(text), kNow + i);
    }
    writer.WaitIdle();
    EXPECT_GE(written.load(), 1);
    EXPECT_LE(written.load(), 400);
    const QStringList copies = Copies(path);
    ASSERT_FALSE(copies.isEmpty());
    EXPECT_LE(copies.size(), recovery::kCopiesPerRun);
    EXPECT_EQ(recovery::ReadCopy(path + u'/' + copies.last()).text, text);
    writer.Finish(kNow + 1000);
}
