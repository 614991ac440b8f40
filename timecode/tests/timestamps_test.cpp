#include "timecode/timestamps.h"

#include <gtest/gtest.h>

namespace {

TEST(Timestamps, FormatShowsHoursAndTruncatesSeconds) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {0.0, "[00:00:00]"},
        {59.9, "[00:00:59]"},
        {60.0, "[00:01:00]"},
        {3 * 3600 + 5 * 60, "[03:05:00]"},
        {727.4, "[00:12:07]"},
        {-3.0, "[00:00:00]"},
        {100 * 3600 + 1, "[100:00:01]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(FormatTimestamp(c.seconds), QString::fromUtf8(c.text));
    }
}

TEST(Timestamps, ParsesEveryRecognisedForm) {
    const struct {
        const char* text;
        double seconds;
    } good[] = {
        {"[00:12:07]", 727},     {"[1:02:03]", 3723},    {"[02:03]", 123},        {"[2:03]", 123},
        {"[00:02:03.5]", 123.5}, {"[02:03.25]", 123.25}, {"[100:00:01]", 360001}, {"[00:00:00]", 0},
    };
    for (const auto& c : good) {
        SCOPED_TRACE(c.text);
        const auto seconds = ParseTimestamp(QString::fromUtf8(c.text));
        ASSERT_TRUE(seconds.has_value());
        EXPECT_DOUBLE_EQ(*seconds, c.seconds);
    }
    const char* bad[] = {"[Анна]",    "[]",       "[12]",         "[1:2:03]",   "[02:60]",
                         "[1:60:00]", "[123:45]", "[1:02:03:04]", "[02:03.]",   "[02:03.1234]",
                         "02:03",     "[02:03",   "[ 02:03]",     "[-1:02:03]", "[02:3]"};
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(ParseTimestamp(QString::fromUtf8(text)).has_value());
    }
}

TEST(Timestamps, FormattedTextReadsBackToTheWholeSecond) {
    for (double seconds : {0.0, 1.5, 59.9, 3599.99, 11100.0, 86399.0}) {
        const auto back = ParseTimestamp(FormatTimestamp(seconds));
        ASSERT_TRUE(back.has_value());
        EXPECT_DOUBLE_EQ(*back, static_cast<long long>(seconds));
    }
}

TEST(Timestamps, TheOneUnderTheCaretFromItsBracketToJustAfterIt) {
    const QString text = QStringLiteral("ab [00:01:05] cd\r\n[Анна]\r\nx[2:03]");
    const qsizetype open = text.indexOf(u'[');
    for (qsizetype at = open; at <= open + 10; ++at) {
        SCOPED_TRACE(at);
        const auto span = TimestampAt(text, at);
        ASSERT_TRUE(span.has_value());
        EXPECT_EQ(span->start, open);
        EXPECT_EQ(span->length, 10);
        EXPECT_DOUBLE_EQ(span->seconds, 65.0);
    }
    EXPECT_FALSE(TimestampAt(text, open - 1).has_value());
    EXPECT_FALSE(TimestampAt(text, open + 12).has_value());
    EXPECT_FALSE(TimestampAt(text, text.indexOf(QStringLiteral("Анна")) + 1).has_value());
    const auto last = TimestampAt(text, text.size());
    ASSERT_TRUE(last.has_value());
    EXPECT_DOUBLE_EQ(last->seconds, 123.0);
    EXPECT_FALSE(TimestampAt(text, -1).has_value());
    EXPECT_FALSE(TimestampAt(text, text.size() + 1).has_value());
}

TEST(Timestamps, AllOfARangeInOrderSkippingLookalikes) {
    const QString text = QStringLiteral("[00:00:01] [x] [[00:00:02]] [99:99] [1:00:00.5]");
    const std::vector<TimestampSpan> found = TimestampsIn(text, 0, text.size());
    ASSERT_EQ(found.size(), 3u);
    EXPECT_DOUBLE_EQ(found[0].seconds, 1.0);
    EXPECT_EQ(found[1].start, text.indexOf(QStringLiteral("[00:00:02]")));
    EXPECT_DOUBLE_EQ(found[2].seconds, 3600.5);
    EXPECT_EQ(TimestampsIn(text, 1, 12).size(), 0u);
}

TEST(Timestamps, EveryStyleWrittenAndReadBackWithTheOffset) {
    const struct {
        TimestampFormat format;
        double offset;
        const char* written;
        double found;  // the recording position read back
    } cases[] = {
        {TimestampFormat::Seconds, 0.0, "[00:01:05]", 65.0},
        {TimestampFormat::Tenths, 0.0, "[00:01:05.3]", 65.3},
        {TimestampFormat::Hundredths, 0.0, "#00:01:05.37#", 65.37},
        {TimestampFormat::Tenths, 36000.0, "[10:01:05.3]", 65.3},
        {TimestampFormat::Hundredths, 3600.0, "#01:01:05.37#", 65.37},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        const TimestampStyle style{c.format, c.offset};
        const QString written = FormatTimestamp(65.379, style);
        EXPECT_EQ(written, QString::fromUtf8(c.written));
        const auto back = ParseTimestamp(written);
        ASSERT_TRUE(back.has_value());
        EXPECT_NEAR(RecordingSeconds(*back, style), c.found, 1e-9);
    }
    const QString mixed = QStringLiteral("#00:00:01.50# x [00:00:02.5] #00:00:0# [00:00:03]");
    const std::vector<TimestampSpan> all = TimestampsIn(mixed, 0, mixed.size());
    ASSERT_EQ(all.size(), 3u);
    EXPECT_DOUBLE_EQ(all[0].seconds, 1.5);
    EXPECT_DOUBLE_EQ(all[1].seconds, 2.5);
    EXPECT_DOUBLE_EQ(all[2].seconds, 3.0);
    EXPECT_DOUBLE_EQ(RecordingSeconds(5.0, {TimestampFormat::Seconds, 3600.0}), 0.0);
}

// The reading shared by timestamps and subtitle times: the whole text or nothing, ranges left
// to the caller.
TEST(Timestamps, ClockReadingTakesTheWholeTextOrNothing) {
    const struct {
        const char* text;
        int maxDigits;
        const char16_t* marks;
        int count;  // 0: not a clock time
        std::array<int, 3> numbers;
        std::array<int, 3> digits;
        double fraction;
    } cases[] = {
        {"01:02:03", 3, u".", 3, {1, 2, 3}, {2, 2, 2}, 0.0},
        {"7:99", 3, u".", 2, {7, 99}, {1, 2}, 0.0},
        {"00:01,5", 9, u",.", 2, {0, 1}, {2, 2}, 0.5},
        {"00:01.250", 9, u",.", 2, {0, 1}, {2, 2}, 0.25},
        {"123456789:00", 9, u".", 2, {123456789, 0}, {9, 2}, 0.0},
        {"00:01,5", 3, u".", 0, {}, {}, 0.0},     // a mark not allowed
        {"1234:00", 3, u".", 0, {}, {}, 0.0},     // too many digits
        {"1:2:3:4", 3, u".", 0, {}, {}, 0.0},     // a fourth number
        {"12", 3, u".", 0, {}, {}, 0.0},          // one number
        {"00:01.", 3, u".", 0, {}, {}, 0.0},      // a mark without digits
        {"00:01.1234", 3, u".", 0, {}, {}, 0.0},  // a fourth fraction digit
        {" 00:01", 3, u".", 0, {}, {}, 0.0},      // blanks are the caller's
        {"00:-1", 3, u".", 0, {}, {}, 0.0},
        {"", 3, u".", 0, {}, {}, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto clock = ReadClock(QString::fromUtf8(c.text), c.maxDigits, c.marks);
        if (c.count == 0) {
            EXPECT_FALSE(clock.has_value());
            continue;
        }
        ASSERT_TRUE(clock.has_value());
        EXPECT_EQ(clock->count, c.count);
        EXPECT_EQ(clock->numbers, c.numbers);
        EXPECT_EQ(clock->digits, c.digits);
        EXPECT_DOUBLE_EQ(clock->fraction, c.fraction);
    }
}

TEST(Timestamps, OffsetsReadAsTapeTimesOrSeconds) {
    const struct {
        const char* text;
        std::optional<double> seconds;
    } cases[] = {{"01:00:00", 3600.0}, {"1:00:00", 3600.0},  {"10:30", 630.0},     {"90", 90.0},
                 {"", std::nullopt},   {"-5", std::nullopt}, {"1:2", std::nullopt}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseOffset(QString::fromUtf8(c.text)), c.seconds);
    }
    EXPECT_EQ(FormatOffset(3725.0), QStringLiteral("01:02:05"));
}

}  // namespace
