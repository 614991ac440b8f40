// The playlist's add dialog filters, and files dropped from a file manager.
#include "player/playlist_files.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QTemporaryDir>

#include "player/player_controls.h"
#include "player/tests/player_fixture.h"

namespace {

TEST(PlaylistFiles, DialogFiltersListEveryFormatThenTheOldOnesThenAllFiles) {
    const QStringList filters = PlaylistDialogFilters();
    ASSERT_EQ(filters.size(), 6);
    EXPECT_EQ(filters[0], QStringLiteral("Все поддерживаемые файлы (*.wav *.ogg *.mp3 *.m4a *.aac "
                                         "*.mp4 *.m4v *.mov *.mkv *.webm *.wma *.opus *.flac "
                                         "*.amr *.3gp)"));
    EXPECT_EQ(filters[1], QStringLiteral("Все звуковые файлы (*.wav *.ogg *.mp3)"));
    EXPECT_EQ(filters[2], QStringLiteral("Wav-файлы (*.wav)"));
    EXPECT_EQ(filters[3], QStringLiteral("OGG-файлы (*.ogg)"));
    EXPECT_EQ(filters[4], QStringLiteral("Mp3-файлы (*.mp3)"));
    // "*" and not "*.*": Qt's "*.*" leaves out names without a dot.
    EXPECT_EQ(filters[5], QStringLiteral("Все файлы (*)"));
}

TEST(PlaylistFiles, RecordingsKnownByTheirExtensionInAnyCase) {
    for (const char* name : {"a.wav", "/x/b.M4A", "c.d.opus", "запись.WebM", "v.3gp", "f.flac"})
        EXPECT_TRUE(IsRecordingName(QString::fromUtf8(name))) << name;
    for (const char* name : {"notes.txt", "wav", "a.wav.bak", "/x/m4a/", "project.prj", ""})
        EXPECT_FALSE(IsRecordingName(QString::fromUtf8(name))) << name;
}

TEST(PlaylistFiles, OnlyExistingLocalRecordingsAreTakenFromADrop) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.m4a"), b = dir.filePath("б.mp3");
    for (const QString& path : {a, b, dir.filePath("notes.txt")}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QDir(dir.path()).mkdir("folder.wav");
    const QList<QUrl> urls = {QUrl::fromLocalFile(b),
                              QUrl::fromLocalFile(dir.filePath("notes.txt")),
                              QUrl(QStringLiteral("https://example.org/c.wav")),
                              QUrl::fromLocalFile(dir.filePath("missing.wav")),
                              QUrl::fromLocalFile(dir.filePath("folder.wav")),
                              QUrl::fromLocalFile(a)};
    EXPECT_EQ(DroppedRecordings(urls), (QStringList{b, a}));
}

// Drag events as a file manager sends them to the playlist's viewport.
bool Drop(QWidget* target, const QList<QUrl>& urls, bool* enterAccepted) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    *enterAccepted = enter.isAccepted();
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

TEST_F(PlayerTest, DroppedRecordingsAreAppendedLikeChosenOnes) {
    const QString one = Tone("one.wav", 1.0), two = Tone("two.wav", 1.0);
    chosenFiles = {one};
    form->N7Click();
    ASSERT_EQ(form->ListBox1->count(), 1);
    QWidget* viewport = form->ListBox1->viewport();

    bool entered = false;
    EXPECT_TRUE(Drop(viewport, {QUrl::fromLocalFile(two), QUrl::fromLocalFile(one)}, &entered));
    EXPECT_TRUE(entered);
    ASSERT_EQ(form->ListBox1->count(), 3);
    EXPECT_EQ(form->ListBox1->item(1)->text(), two);
    EXPECT_EQ(form->ListBox1->item(2)->text(), one);
    EXPECT_TRUE(form->Stopped);

    // Nothing that is a recording: the drag is refused and the list stays.
    const QString text = folder.filePath("notes.txt");
    QFile(text).open(QIODevice::WriteOnly);
    EXPECT_FALSE(Drop(viewport, {QUrl::fromLocalFile(text)}, &entered));
    EXPECT_FALSE(entered);
    EXPECT_EQ(form->ListBox1->count(), 3);
}

}  // namespace
