#include "editor/find_replace.h"

#include <gtest/gtest.h>

#include "editor/edit_history.h"
#include "editor/editor_commands.h"
#include "editor/editor_text.h"

namespace {

FindOptions Forward(bool caseSensitive = false) {
    FindOptions options;
    options.caseSensitive = caseSensitive;
    return options;
}

FindOptions Backward() {
    FindOptions options;
    options.backward = true;
    return options;
}

TEST(FindReplace, CyrillicLettersMatchInEitherCaseYoToo) {
    const QString text = QStringLiteral("Мы видели ЁЛКУ. ёлку. Ёлку. ПРИВЕТ, Привет");
    const struct {
        const char* pattern;
        bool caseSensitive;
        int count;
    } cases[] = {
        {"ёлку", false, 3},   {"ЁЛКУ", false, 3},  {"ёлку", true, 1},  {"Ёлку", true, 1},
        {"привет", false, 2}, {"привет", true, 0}, {"елку", false, 0},  // е and ё are different
                                                                        // letters
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(static_cast<int>(
                      MatchesIn(text, QString::fromUtf8(c.pattern), 0, text.size(), c.caseSensitive)
                          .size()),
                  c.count);
    }
}

TEST(FindReplace, NextAndPreviousWrapAroundTheEnds) {
    const QString text = QStringLiteral("кот и кот и кот");
    auto next = FindMatch(text, QStringLiteral("кот"), 1, Forward());
    ASSERT_TRUE(next);
    EXPECT_EQ(*next, (TextMatch{6, 3, false}));
    next = FindMatch(text, QStringLiteral("кот"), 13, Forward());
    ASSERT_TRUE(next);
    EXPECT_EQ(*next, (TextMatch{0, 3, true}));

    auto previous = FindMatch(text, QStringLiteral("кот"), 12, Backward());
    ASSERT_TRUE(previous);
    EXPECT_EQ(*previous, (TextMatch{6, 3, false}));
    previous = FindMatch(text, QStringLiteral("кот"), 2, Backward());
    ASSERT_TRUE(previous);
    EXPECT_EQ(*previous, (TextMatch{12, 3, true}));

    FindOptions noWrap = Forward();
    noWrap.wrap = false;
    EXPECT_FALSE(FindMatch(text, QStringLiteral("кот"), 13, noWrap));
    EXPECT_FALSE(FindMatch(text, QStringLiteral("пёс"), 0, Forward()));
    EXPECT_FALSE(FindMatch(text, QString(), 0, Forward()));
    EXPECT_FALSE(FindMatch(QString(), QStringLiteral("кот"), 0, Forward()));
}

// Every caret position, both directions, against a plain scan of the text: a search finds
// only real matches, and nothing when there is none.
TEST(FindReplace, EveryCaretPositionAgreesWithAPlainScan) {
    const QString text = QStringLiteral("аб\r\nаб аб");
    for (const QString& pattern : {QStringLiteral("аб"), QStringLiteral("б а"),
                                   QStringLiteral("нет"), QStringLiteral("аб\r\nаб аб")}) {
        std::vector<qsizetype> starts;
        for (qsizetype at = 0; at + pattern.size() <= text.size(); ++at) {
            if (text.mid(at, pattern.size()) == pattern) starts.push_back(at);
        }
        for (qsizetype from = 0; from <= text.size(); ++from) {
            SCOPED_TRACE(pattern.toStdString() + " from " + std::to_string(from));
            std::optional<TextMatch> expected;
            for (qsizetype at : starts) {  // first at or after the caret, else the first of all
                if (at >= from) {
                    expected = TextMatch{at, pattern.size(), false};
                    break;
                }
            }
            if (!expected && !starts.empty()) expected = TextMatch{starts[0], pattern.size(), true};
            EXPECT_EQ(FindMatch(text, pattern, from, Forward()), expected);

            expected.reset();  // last ending at or before the caret, else the last of all
            for (qsizetype at : starts) {
                if (at + pattern.size() <= from) expected = TextMatch{at, pattern.size(), false};
            }
            if (!expected && !starts.empty()) {
                expected = TextMatch{starts.back(), pattern.size(), true};
            }
            EXPECT_EQ(FindMatch(text, pattern, from, Backward()), expected);
        }
    }
}

TEST(FindReplace, MatchesNeverSplitALineBreak) {
    const QString text = QStringLiteral("конец\r\nначало\r\n\r\nещё");
    // A typed LF stands for the whole CR LF.
    auto match = FindMatch(text, QStringLiteral("конец\nначало"), 0, Forward());
    ASSERT_TRUE(match);
    EXPECT_EQ(*match, (TextMatch{0, 13, false}));
    for (const QString& pattern :
         {QStringLiteral("\n"), QStringLiteral("\r"), QStringLiteral("\r\n")}) {
        const std::vector<TextMatch> all = MatchesIn(text, pattern, 0, text.size(), false);
        ASSERT_EQ(all.size(), 3u);
        for (const TextMatch& m : all) {
            EXPECT_EQ(text[m.start], u'\r');
            EXPECT_EQ(m.length, 2);
        }
    }
    // Searching backward from between a CR and its LF finds the break before, whole.
    auto back = FindMatch(text, QStringLiteral("\n"), 14, Backward());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->start, 5);
}

TEST(FindReplace, ReplaceAllIsOneUndoStepAndNeverRescans) {
    PlainEditorText text(QStringLiteral("Иванов сказал. иванов ушёл.\r\nИВАНОВ"));
    TEditHistory history;
    RecordSnapshot(text, history);
    const int before = history.Count;
    EXPECT_EQ(ReplaceAllMatches(text, history, QStringLiteral("иванов"),
                                QStringLiteral("Иванов-Иванов"), false),
              3);
    EXPECT_EQ(text.Text(),
              QStringLiteral("Иванов-Иванов сказал. Иванов-Иванов ушёл.\r\nИванов-Иванов"));
    EXPECT_EQ(history.Count, before + 1);
    UndoEdit(text, history);
    EXPECT_EQ(text.Text(), QStringLiteral("Иванов сказал. иванов ушёл.\r\nИВАНОВ"));

    // Nothing found: nothing recorded.
    const int count = history.Count;
    EXPECT_EQ(
        ReplaceAllMatches(text, history, QStringLiteral("Петров"), QStringLiteral("x"), false), 0);
    EXPECT_EQ(history.Count, count);
}

TEST(FindReplace, ReplaceAllWithLineBreaksKeepsCrLf) {
    PlainEditorText text(QStringLiteral("a; b; c"));
    TEditHistory history;
    EXPECT_EQ(ReplaceAllMatches(text, history, QStringLiteral("; "), QStringLiteral("\n"), true),
              2);
    EXPECT_EQ(text.Text(), QStringLiteral("a\r\nb\r\nc"));
    EXPECT_EQ(text.SelStart(), 6);  // after the last replacement
    EXPECT_EQ(ReplaceAllMatches(text, history, QStringLiteral("\n"), QStringLiteral(" "), true), 2);
    EXPECT_EQ(text.Text(), QStringLiteral("a b c"));
}

TEST(FindReplace, ReplaceOneReplacesOnlyASelectedMatchThenSelectsTheNext) {
    PlainEditorText text(QStringLiteral("да, да и ДА"));
    TEditHistory history;
    // Nothing selected: the first press only finds.
    EXPECT_FALSE(ReplaceSelectedMatch(text, history, QStringLiteral("да"), QStringLiteral("нет"),
                                      Forward()));
    EXPECT_EQ(text.Text(), QStringLiteral("да, да и ДА"));
    EXPECT_EQ(text.SelStart(), 0);
    EXPECT_EQ(text.SelLength(), 2);
    EXPECT_TRUE(ReplaceSelectedMatch(text, history, QStringLiteral("да"), QStringLiteral("нет"),
                                     Forward()));
    EXPECT_EQ(text.Text(), QStringLiteral("нет, да и ДА"));
    EXPECT_EQ(text.SelStart(), 5);
    EXPECT_EQ(text.SelLength(), 2);
    // Case-sensitive: the selected "да" matches, the last "ДА" is not offered next.
    EXPECT_TRUE(ReplaceSelectedMatch(text, history, QStringLiteral("да"), QStringLiteral("нет"),
                                     Forward(true)));
    EXPECT_EQ(text.Text(), QStringLiteral("нет, нет и ДА"));
    EXPECT_EQ(text.SelLength(), 0);
    UndoEdit(text, history);
    EXPECT_EQ(text.Text(), QStringLiteral("нет, да и ДА"));
}

}  // namespace
