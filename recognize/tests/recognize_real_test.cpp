// PocketSphinx, as installed, on English speech that espeak-ng makes at test time.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "recognize/recognize_file.h"
#include "recognize/recognizer_wav.h"

namespace {

using namespace recognize;

// Common words, spoken slowly: what the English model hears best in a synthetic voice.
const char* const kSpeech =
    "The weather is good today. We will go to the market in the morning. "
    "My brother has a small house near the river.";

TEST(PocketSphinx, RecognisesMostSpokenWordsWithIncreasingTimes) {
    QTemporaryDir dir;
    const QString recording = dir.filePath(QStringLiteral("speech.wav"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("espeak-ng"),
                                {QStringLiteral("-s"), QStringLiteral("110"), QStringLiteral("-w"),
                                 recording, QString::fromLatin1(kSpeech)}),
              0);
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

    QStringList heard;
    double last = -1;
    for (const exchange::Segment& s : draft) {
        EXPECT_GT(s.start, last);
        EXPECT_LE(s.start, s.end);
        EXPECT_LE(s.end, length + 0.05);
        last = s.start;
        heard += s.text.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    const QStringList spoken = QString::fromLatin1(kSpeech)
                                   .toLower()
                                   .remove(QRegularExpression(QStringLiteral("[^a-z ]")))
                                   .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    int found = 0;
    for (const QString& word : spoken) {
        const qsizetype at = heard.indexOf(word);
        if (at < 0) continue;
        heard.removeAt(at);
        ++found;
    }
    std::printf("PocketSphinx heard %d of %d spoken words\n", found, int(spoken.size()));
    EXPECT_GE(found * 100, spoken.size() * 60) << found << " of " << spoken.size();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
