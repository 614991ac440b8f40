#include "recovery/recovery_copy.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <cstring>

using recovery::RecoveryState;

namespace {

RecoveryState SampleState(const QString& text) {
    RecoveryState s;
    s.text = text;
    s.textEncoding = textfiles::Encoding::Utf16BE;
    s.projectName = QStringLiteral("/home/т/интервью.prj");
    s.projectEncoding = textfiles::Encoding::Utf8;
    s.projectLines = {QStringLiteral("PLAYING=5"),    QStringLiteral("CIRCLES=2"),
                      QStringLiteral("PAUSE=2"),      QStringLiteral("SHIFT_BACK=1"),
                      QStringLiteral("CURRENT=1"),    QStringLiteral("POS=37"),
                      QStringLiteral("SPEED=0.75"),   QStringLiteral("FILE=/a/один.mp3"),
                      QStringLiteral("FILE=/b/2.wav")};
    for (int k = 0; k < project::kParticipantCount; ++k) {
        s.participants[k] = {QStringLiteral("/p/%1.jpg").arg(k), QStringLiteral("Имя\t%1").arg(k),
                             QString::number(k * 1000)};
    }
    return s;
}

}  // namespace

TEST(RecoveryCopy, RoundTripKeepsEveryText) {
    const QString cases[] = {
        QString(),
        QStringLiteral("Жили-были дед да баба.\r\nВторая строка"),
        // Outside Windows-1251: CJK, a surrogate pair, and a lone surrogate.
        QStringLiteral("日本語 😀 ") + QChar(0xD800) + QStringLiteral(" конец"),
        QString(5000, QChar(u'щ')),
    };
    for (const QString& text : cases) {
        const RecoveryState state = SampleState(text);
        const QByteArray file = recovery::EncodeCopy(state, 1765100000123, 42);
        const std::optional<RecoveryState> back = recovery::DecodeCopy(file);
        ASSERT_TRUE(back.has_value()) << text.size();
        EXPECT_EQ(*back, state);
        const auto header = recovery::DecodeCopyHeader(file.left(600), file.size());
        ASSERT_TRUE(header.has_value());
        EXPECT_EQ(header->timeMs, 1765100000123);
        EXPECT_EQ(header->sequence, 42);
        EXPECT_EQ(header->characters, text.size());
        EXPECT_EQ(header->firstLine, text.left(recovery::kFirstLineLength).section(u'\r', 0, 0));
    }
}

TEST(RecoveryCopy, ChecksumIsTheStandardCrc32) {
    // Check values of CRC-32 (zip, PNG) at lengths around the eight-byte steps.
    const struct {
        const char* text;
        quint32 crc;
    } cases[] = {{"", 0x00000000u},
                 {"a", 0xE8B7BE43u},
                 {"123456789", 0xCBF43926u},
                 {"The quick brown fox jumps over the lazy dog", 0x414FA339u}};
    for (const auto& c : cases)
        EXPECT_EQ(recovery::Crc32(c.text, qsizetype(std::strlen(c.text))), c.crc) << c.text;
}

TEST(RecoveryCopy, FirstLineStopsAtTheLineBreakOrTheLimit) {
    const struct {
        QString text;
        QString first;
    } cases[] = {
        {QStringLiteral("Первая\r\nвторая"), QStringLiteral("Первая")},
        {QStringLiteral("\r\nпосле пустой"), QString()},
        {QString(300, u'ж'), QString(recovery::kFirstLineLength, u'ж')},
    };
    for (const auto& c : cases) {
        const QByteArray file = recovery::EncodeCopy(SampleState(c.text), 1, 1);
        EXPECT_EQ(recovery::DecodeCopyHeader(file, file.size())->firstLine, c.first);
    }
}

TEST(RecoveryCopy, EveryDamageIsFound) {
    const QByteArray file =
        recovery::EncodeCopy(SampleState(QStringLiteral("Текст копии\r\nстрока")), 7, 3);
    // Any changed byte, anywhere.
    for (qsizetype i = 0; i < file.size(); ++i) {
        QByteArray damaged = file;
        damaged[i] = char(damaged[i] ^ 0x5A);
        EXPECT_FALSE(recovery::DecodeCopy(damaged).has_value()) << "byte " << i;
    }
    // Cut short (a write that never finished), or grown.
    for (qsizetype size = 0; size < file.size(); size += 7)
        EXPECT_FALSE(recovery::DecodeCopy(file.left(size)).has_value()) << "size " << size;
    EXPECT_FALSE(recovery::DecodeCopy(file + "x").has_value());
    // The header alone knows that the file is cut short.
    EXPECT_FALSE(recovery::DecodeCopyHeader(file.left(600), file.size() - 1).has_value());
}

TEST(RecoveryCopy, HostileBytesNeverCrash) {
    QRandomGenerator random(1234);
    const QByteArray good = recovery::EncodeCopy(SampleState(QStringLiteral("abc")), 1, 1);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes = good.left(random.bounded(int(good.size()) + 1));
        const int flips = random.bounded(1, 6);
        for (int f = 0; f < flips && !bytes.isEmpty(); ++f)
            bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
        // Huge counts must be refused, not allocated.
        if (round % 3 == 0 && bytes.size() > 24) bytes.replace(16, 4, "\xff\xff\xff\x7f");
        const auto decoded = recovery::DecodeCopy(bytes);
        (void)recovery::DecodeCopyHeader(bytes, bytes.size());
        // Changed bytes never pass for a copy; unchanged ones still read back.
        EXPECT_EQ(decoded.has_value(), bytes == good) << "round " << round;
    }
}

TEST(RecoveryCopy, LastChangedLineTellsACopyFromTheOneBefore) {
    const struct {
        const char *older, *newer, *expected;
    } cases[] = {
        {"", "", ""},
        {"раз\r\nдва", "раз\r\nдва", ""},
        {"", "раз", "раз"},
        {"раз\r\nдва", "раз\r\nдва три", "два три"},               // typed at the end
        {"раз\r\nдва\r\nтри", "раз\r\nДВА\r\nтри", "ДВА"},         // in the middle
        {"раз\r\nдва\r\nтри", "раз\r\nдва\r\nдва\r\nтри", "два"},  // a line inserted
        {"раз\r\nдва\r\nтри", "раз\r\nтри", "раз"},                // a line removed
        {"раз\r\nдва", "", ""},
        {"а\r\nб", "в\r\nб\r\nг", "г"},  // changed in two places: the later one
    };
    for (const auto& c : cases) {
        EXPECT_EQ(recovery::LastChangedLine(QString::fromUtf8(c.older), QString::fromUtf8(c.newer)),
                  QString::fromUtf8(c.expected))
            << c.older << " → " << c.newer;
    }
    EXPECT_EQ(recovery::LastChangedLine("", QString(500, u'ж')).size(), recovery::kFirstLineLength);
}

TEST(RecoveryCopy, SameWorkLeavesOutWhatMovesByItself) {
    const RecoveryState base = SampleState(QStringLiteral("текст"));
    // The position, and the playlist moving on to the next recording.
    for (const auto& [index, line] :
         {std::pair{5, "POS=900"}, std::pair{4, "CURRENT=2"}, std::pair{4, "CURRENT=-1"}}) {
        RecoveryState moved = base;
        moved.projectLines[index] = QString::fromLatin1(line);
        EXPECT_TRUE(recovery::SameWork(base, moved)) << line;
    }

    auto changed = [&](auto change) {
        RecoveryState s = base;
        change(s);
        return !recovery::SameWork(base, s);
    };
    EXPECT_TRUE(changed([](RecoveryState& s) { s.text += u'!'; }));
    EXPECT_TRUE(changed([](RecoveryState& s) { s.textEncoding = textfiles::Encoding::Ansi; }));
    EXPECT_TRUE(changed([](RecoveryState& s) { s.participants[9].name.clear(); }));
    EXPECT_TRUE(changed([](RecoveryState& s) { s.projectLines[0] = QStringLiteral("PLAYING=6"); }));
    EXPECT_TRUE(changed([](RecoveryState& s) { s.projectLines.removeLast(); }));
    EXPECT_TRUE(changed([](RecoveryState& s) { s.projectLines[4] = QStringLiteral("POS=1"); }));
    EXPECT_TRUE(changed([](RecoveryState& s) { s.projectName.clear(); }));
}
