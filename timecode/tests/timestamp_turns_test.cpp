#include "timecode/timestamp_turns.h"

#include <gtest/gtest.h>

TEST(TimestampTurns, TimestampsWithTheSpeakerOfATurnMarkerThatFollows) {
    struct Case {
        const char16_t* text;
        std::vector<std::pair<double, const char16_t*>> want;  // seconds, speaker
    } cases[] = {
        {u"[00:00:05]\r\n[Анна]\r\nДобрый день", {{5, u"Анна"}}},
        {u"[00:01:00]\n[Борис]", {{60, u"Борис"}}},               // LF, at the end
        {u"[00:01:00]  \r\n[Борис]\r\n", {{60, u"Борис"}}},       // blanks before
        {u"[0:07] просто текст [0:09]", {{7, u""}, {9, u""}}},    // no marker
        {u"[00:00:05]\r\n\r\n[Анна]\r\n", {{5, u""}}},            // an empty line between
        {u"[00:00:05]\r\n[Анна] сказала", {{5, u""}}},            // not a marker line
        {u"[00:00:05]\r\n[00:00:09]\r\n", {{5, u""}, {9, u""}}},  // a timestamp is no name
        {u"[00:00:05]\r\n[]\r\n", {{5, u""}}},
        {u"[99:99]\r\n[Анна]\r\n", {}},  // not a timestamp
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        const auto turns = TimestampTurns(text);
        ASSERT_EQ(turns.size(), c.want.size()) << text.toStdString();
        for (std::size_t i = 0; i < turns.size(); ++i) {
            EXPECT_DOUBLE_EQ(turns[i].Seconds, c.want[i].first) << text.toStdString();
            EXPECT_EQ(turns[i].Speaker, QString::fromUtf16(c.want[i].second)) << text.toStdString();
            EXPECT_EQ(text.mid(turns[i].Start, 1), "[");
        }
    }
}
