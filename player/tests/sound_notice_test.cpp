// The word about a lost sound card: a label (no box) that appears while the engine looks
// for the device, once per loss, and goes when the device is back; the player's own
// controls keep their places.
#include "player/sound_notice.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "audio/audio.h"
#include "player/player_window.h"

namespace {

TEST(SoundNotice, ShownWhileReconnectingOncePerLoss) {
    QWidget parent;
    SoundNotice::Health health;
    SoundNotice notice(&parent, QRect(180, 5, 250, 16), [&] { return health; });
    QLabel* label = notice.Label();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Звук недоступен — переподключение…"));
    EXPECT_FALSE(label->isVisibleTo(&parent));

    // A loss: shown and told once, however often the health is asked.
    health = {1, true};
    for (int i = 0; i < 5; ++i) notice.Poll();
    EXPECT_TRUE(label->isVisibleTo(&parent));
    EXPECT_EQ(notice.Told(), 1u);
    // Back: gone.
    health = {1, false};
    notice.Poll();
    EXPECT_FALSE(label->isVisibleTo(&parent));
    // A second loss is told again; one that came and went between two looks is not shown.
    health = {2, true};
    notice.Poll();
    EXPECT_TRUE(label->isVisibleTo(&parent));
    EXPECT_EQ(notice.Told(), 2u);
    health = {3, false};
    notice.Poll();
    EXPECT_FALSE(label->isVisibleTo(&parent));
    EXPECT_EQ(notice.Told(), 2u);
}

TEST(SoundNotice, PlayerStartsQuietWithTheNullOutputAndKeepsItsControls) {
    // NUVTOLVEK_AUDIO=null: the null output is chosen on purpose, nothing is looked for.
    setenv("NUVTOLVEK_AUDIO", "null", 1);
    audio::CloseDevice();
    TForm1 form;
    auto* label = form.findChild<QLabel*>(QStringLiteral("SoundNotice"));
    ASSERT_NE(label, nullptr);
    EXPECT_FALSE(label->isVisibleTo(&form));
    EXPECT_FALSE(audio::OutputReconnecting());
    EXPECT_FALSE(audio::RetryDefaultDevice());
    // The label sits in free space: it overlaps none of the player's controls.
    for (QWidget* w : form.centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w == label || !w->isVisibleTo(&form)) continue;
        EXPECT_FALSE(w->geometry().intersects(label->geometry())) << w->objectName().toStdString();
    }
    // And the whole text fits.
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
    audio::CloseDevice();
}

}  // namespace
