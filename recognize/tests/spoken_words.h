// English speech that espeak-ng makes at test time, how much of it a draft heard, and the
// shell scripts that stand in for a recognizer.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <vector>

#include "exchange/draft.h"

namespace recognize_test {

// Writes an executable shell script with `body` to `path`.
inline void WriteScript(const QString& path, const QString& body) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("#!/bin/sh\n" + body.toUtf8() + "\n");
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

// Common words, spoken slowly: what the English model hears best in a synthetic voice.
inline const char* const kSpeech =
    "The weather is good today. We will go to the market in the morning. "
    "My brother has a small house near the river.";

// Writes kSpeech to `wav`; false when espeak-ng fails.
inline bool SpeakTo(const QString& wav) {
    return QProcess::execute(QStringLiteral("espeak-ng"),
                             {QStringLiteral("-s"), QStringLiteral("110"), QStringLiteral("-w"),
                              wav, QString::fromLatin1(kSpeech)}) == 0;
}

inline QStringList SpokenWords() {
    return QString::fromLatin1(kSpeech)
        .toLower()
        .remove(QRegularExpression(QStringLiteral("[^a-z ]")))
        .split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// How many of the spoken words the draft holds, each word of the draft counted once.
inline int WordsHeard(const std::vector<exchange::Segment>& draft) {
    QStringList heard;
    for (const exchange::Segment& s : draft)
        heard += s.text.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    int found = 0;
    for (const QString& word : SpokenWords()) {
        const qsizetype at = heard.indexOf(word);
        if (at < 0) continue;
        heard.removeAt(at);
        ++found;
    }
    return found;
}

// Timestamps that increase and lie within a recording of `seconds`.
inline void ExpectIncreasingWithin(const std::vector<exchange::Segment>& draft, double seconds) {
    double last = -1;
    for (const exchange::Segment& s : draft) {
        EXPECT_GT(s.start, last);
        EXPECT_LE(s.start, s.end);
        EXPECT_LE(s.end, seconds + 0.05);
        last = s.start;
    }
}

}  // namespace recognize_test
