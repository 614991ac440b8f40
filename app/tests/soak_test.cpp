// Thirty short recordings played through at full speed on the real window set: every file
// opens in turn, the last halts the player, no tick stalls, the replaced streams are freed
// and the memory stays flat from the tenth file to the end.
#include "app/tests/soak.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "player/player_window.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers hold freed memory back for a while and keep shadow memory of their own.
constexpr double kGrowthBoundMegabytes = 400;
#else
constexpr double kGrowthBoundMegabytes = 40;
#endif

TEST(Soak, ThirtyRecordingsPlayThroughAndFreeTheirStreams) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QStringList recordings = e2e::WriteSoakRecordings(dir.path(), 30);
    ASSERT_EQ(recordings.size(), 30);

    audio::CloseDevice();
    ASSERT_TRUE(audio::OpenManualOutput(44100));
    CreateWindowSet();
    Form1->Timer1->stop();
    QStringList messages;
    Form1->MessageHook = [&](const QString& text) { messages << text; };

    // With the default cycle a recording of at most 6.5 s needs well under 300 ticks.
    const e2e::SoakRun run = e2e::PlayThrough(recordings, 30 * 300);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_TRUE(Form1->Stopped) << "no halt after " << run.ticks << " ticks";
    EXPECT_EQ(run.opened, recordings);
    ASSERT_EQ(run.streams.size(), 30u);
    EXPECT_EQ(Form1->ListBox1->currentRow(), 29);

    // The last stream waits at its end; every earlier one was freed when replaced.
    const audio::HSTREAM last = run.streams.back();
    EXPECT_EQ(Form1->Stream, last);
    EXPECT_EQ(audio::StreamActivity(last), audio::ACTIVE_STOPPED);
    EXPECT_EQ(audio::StreamPosition(last, audio::POS_BYTE),
              audio::StreamLength(last, audio::POS_BYTE));
    for (std::size_t i = 0; i + 1 < run.streams.size(); ++i) {
        EXPECT_EQ(audio::StreamLength(run.streams[i], audio::POS_BYTE), audio::BAD_POSITION) << i;
        EXPECT_LT(audio::BytesToSeconds(run.streams[i], 0), 0) << i;
    }

    // The worker was asked for every recording and ends with the last one drawn.
    Form1->EnvelopeWorker->WaitIdle();
    EXPECT_EQ(Form1->EnvelopeFile, recordings.back());
    EXPECT_GT(Form1->Envelope.Count(), 0);

    ASSERT_GT(run.rssAtTenthMegabytes, 0);
    EXPECT_LT(run.rssAtEndMegabytes - run.rssAtTenthMegabytes, kGrowthBoundMegabytes)
        << "at the tenth file " << run.rssAtTenthMegabytes << " MB, at the end "
        << run.rssAtEndMegabytes << " MB";

    DestroyWindowSet();
    audio::CloseDevice();
    EXPECT_EQ(audio::StreamLength(last, audio::POS_BYTE), audio::BAD_POSITION);
}

}  // namespace
