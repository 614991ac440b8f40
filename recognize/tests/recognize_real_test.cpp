// PocketSphinx, as installed, on English speech that espeak-ng makes at test time.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include "recognize/recognize_file.h"
#include "recognize/recognizer_wav.h"
#include "recognize/tests/spoken_words.h"

namespace {

using namespace recognize;
using namespace recognize_test;

TEST(PocketSphinx, RecognisesMostSpokenWordsWithIncreasingTimes) {
    QTemporaryDir dir;
    const QString recording = dir.filePath(QStringLiteral("speech.wav"));
    ASSERT_TRUE(SpeakTo(recording));
    const double length = WriteRecognizerWav(recording, dir.filePath(QStringLiteral("probe.wav")));

    // Through the file the command line writes, read back as any draft is.
    const QString out = dir.filePath(QStringLiteral("draft.srt"));
    std::vector<int> progress;
    const QString error =
        RecognizeToFile(recording, out, Settings{}, [&](int p) { progress.push_back(p); });
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    const std::vector<exchange::Segment> draft = exchange::ReadDraftFile(out);
    ASSERT_FALSE(draft.empty());
    ASSERT_GT(progress.size(), 3u);  // moves while the recogniser works, not only at the end
    EXPECT_EQ(progress.back(), 100);
    std::printf("progress:");
    for (int p : progress) std::printf(" %d", p);
    std::printf("\n");

    ExpectIncreasingWithin(draft, length);
    const int found = WordsHeard(draft);
    const qsizetype spoken = SpokenWords().size();
    std::printf("PocketSphinx heard %d of %d spoken words\n", found, int(spoken));
    EXPECT_GE(found * 100, spoken * 60) << found << " of " << spoken;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
