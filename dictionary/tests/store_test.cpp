#include <gtest/gtest.h>

#include "dictionary/abbreviation.h"
#include "dictionary/dictionary_store.h"
#include "dictionary/tests/test_printers.h"

namespace {

DictionaryRows Load(const QString& fileText) {
    return RowsFromLines(SplitDictionaryLines(fileText));
}

TEST(DictionaryLines, LineEndsOfEveryKindAndNoExtraLineAtTheEnd) {
    EXPECT_TRUE(SplitDictionaryLines(QString()).isEmpty());
    EXPECT_EQ(SplitDictionaryLines("a\r\nb\nc\rd"), QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(SplitDictionaryLines("a\r\nb\r\n"), QStringList({"a", "b"}));
    EXPECT_EQ(SplitDictionaryLines("a\r\n\r\n"), QStringList({"a", ""}));
    EXPECT_EQ(SplitDictionaryLines("\n"), QStringList({""}));
    // LF CR is two line ends, not one.
    EXPECT_EQ(SplitDictionaryLines("a\n\rb"), QStringList({"a", "", "b"}));
}

TEST(DictionaryLoad, EmptyFileIsOneBlankRow) {
    const DictionaryRows rows = Load(QString());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], DictionaryRow{});
}

TEST(DictionaryLoad, LastLineWithoutLineEndLoadsTheSameAndIsWrittenWithOne) {
    const DictionaryRows withEnd = Load("ab\tx\r\ncd\ty\r\n");
    const DictionaryRows withoutEnd = Load("ab\tx\r\ncd\ty");
    EXPECT_EQ(withEnd, withoutEnd);
    EXPECT_EQ(JoinDictionaryLines(EntryLines(withoutEnd)), QString("ab\tx\r\ncd\ty\r\n"));
}

TEST(DictionaryLoad, OrdinalOrderByCodeUnit) {
    // abc before ab in the file; the shorter prefix sorts first because TAB is below letters.
    DictionaryRows rows = Load("abc\t1\r\nab\t2\r\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].abbreviation, "ab");
    EXPECT_EQ(rows[1].abbreviation, "abc");

    // Latin before Cyrillic, all Cyrillic capitals before the small letters, Ё (U+0401)
    // before А, ё (U+0451) after я, capitals before small Latin letters.
    rows =
        Load(QString::fromUtf8("я\n"
                               "ё\n"
                               "а\n"
                               "Я\n"
                               "А\n"
                               "Ё\n"
                               "b\n"
                               "B\n"
                               "ж\n"
                               "Ж\n"));
    QStringList order;
    for (const DictionaryRow& row : rows) order.append(row.abbreviation);
    EXPECT_EQ(order, QString::fromUtf8("B b Ё А Ж Я а ж я ё").split(' '));
}

TEST(DictionaryLoad, LinesAlikeInTheirFirstUnitsAreOrderedByTheRest) {
    const QString withNul = QString("ab") + QChar(0);
    const DictionaryRows rows =
        RowsFromLines({"abcdz", withNul + "b", "abcda", "ab", withNul, "abcd", "abcd\tx"});
    QStringList order;
    for (const DictionaryRow& row : rows) order.append(row.abbreviation + "|" + row.text);
    EXPECT_EQ(order, QStringList({"ab|", withNul + "|", withNul + "b|", "abcd|", "abcd|x", "abcda|",
                                  "abcdz|"}));
}

TEST(DictionaryLoad, CodeUnitsCompareUnsignedAndSurrogatesAreNotCombined) {
    // U+FF41 (a code unit above every surrogate) sorts after U+1F600 (surrogates D83D DE00)
    // in code-unit order, though its code point is smaller.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString fullwidth = QString(QChar(0xFF41));
    EXPECT_TRUE(OrdinalLess(emoji, fullwidth));
    EXPECT_FALSE(OrdinalLess(fullwidth, emoji));
    EXPECT_TRUE(OrdinalLess("", "a"));
    EXPECT_FALSE(OrdinalLess("a", "a"));
    EXPECT_TRUE(OrdinalLess("a", "a\t"));
}

TEST(DictionaryLoad, TabsSplitAtTheFirstOnly) {
    DictionaryRows rows = Load("ab\tone\ttwo\r\n");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].abbreviation, "ab");
    EXPECT_EQ(rows[0].text, "one\ttwo");
    EXPECT_EQ(EntryLines(rows), QStringList({"ab\tone\ttwo"}));

    rows = Load("word\r\n");
    EXPECT_EQ(rows[0], (DictionaryRow{"word", ""}));
    EXPECT_EQ(JoinDictionaryLines(EntryLines(rows)), QString("word\t\r\n"));
}

TEST(DictionaryLoad, EmptyAndTabFirstLinesComeFirstAndAreDroppedOnSave) {
    const DictionaryRows rows = Load("zz\tlast\r\n\r\n\tlost text\r\naa\tfirst\r\n");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (DictionaryRow{"", ""}));
    EXPECT_EQ(rows[1], (DictionaryRow{"", "lost text"}));
    EXPECT_EQ(rows[2].abbreviation, "aa");
    EXPECT_EQ(EntryLines(rows), QStringList({"aa\tfirst", "zz\tlast"}));
}

TEST(DictionaryLoad, DuplicatesKeptAndOrderedByTextStably) {
    const DictionaryRows rows = Load("k\tzeta\r\nk\talpha\r\nk\talpha\r\nj\tx\r\n");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (DictionaryRow{"j", "x"}));
    EXPECT_EQ(rows[1], (DictionaryRow{"k", "alpha"}));
    EXPECT_EQ(rows[2], (DictionaryRow{"k", "alpha"}));
    EXPECT_EQ(rows[3], (DictionaryRow{"k", "zeta"}));
    EXPECT_EQ(EntryLines(rows).size(), 4);
}

TEST(DictionaryLoad, ManyLinesComeOutSortedAndComplete) {
    QStringList lines;
    for (int i = 0; i < 200; ++i) lines << QString("b%1\t%2").arg(i % 7).arg(199 - i) << "a\tsame";
    const DictionaryRows rows = RowsFromLines(lines);
    ASSERT_EQ(rows.size(), 400u);
    QStringList back = EntryLines(rows);
    for (qsizetype i = 1; i < back.size(); ++i)
        EXPECT_FALSE(OrdinalLess(back[i], back[i - 1])) << i;
    back.sort();
    lines.sort();
    EXPECT_EQ(back, lines);
}

TEST(DictionarySave, BlankRowOnlyWritesNoLines) {
    EXPECT_TRUE(EntryLines(DictionaryRows{DictionaryRow{}}).isEmpty());
    EXPECT_TRUE(JoinDictionaryLines({}).isEmpty());
}

TEST(DictionarySave, LineBreakInsideATextIsWrittenUnchangedAndSplitsOnNextLoad) {
    const DictionaryRows rows{{"ab", "first\r\nsecond"}};
    const QString file = JoinDictionaryLines(EntryLines(rows));
    EXPECT_EQ(file, QString("ab\tfirst\r\nsecond\r\n"));
    const DictionaryRows again = Load(file);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0], (DictionaryRow{"ab", "first"}));
    EXPECT_EQ(again[1], (DictionaryRow{"second", ""}));
}

TEST(DictionarySave, TabInsideAnAbbreviationMovesToTheTextOnRebuild) {
    const DictionaryRows rows{{"a\tb", "text"}};
    const DictionaryRows again = RowsFromLines(EntryLines(rows));
    EXPECT_EQ(again[0], (DictionaryRow{"a", "b\ttext"}));
}

TEST(Abbreviation, BackwardScanStopsAtSpaceTabCrLfAndStart) {
    const QString text = "one tw,o\tthr\r\nfour";
    EXPECT_EQ(AbbreviationStart(text, 0), 0);
    EXPECT_EQ(AbbreviationStart(text, 3), 0);    // "one"
    EXPECT_EQ(AbbreviationStart(text, 4), 4);    // right after the space: empty
    EXPECT_EQ(AbbreviationStart(text, 8), 4);    // "tw,o": punctuation belongs to it
    EXPECT_EQ(AbbreviationStart(text, 6), 4);    // inside the word: "tw"
    EXPECT_EQ(AbbreviationStart(text, 12), 9);   // after the TAB
    EXPECT_EQ(AbbreviationStart(text, 13), 13);  // between CR and LF
    EXPECT_EQ(AbbreviationStart(text, 18), 14);  // "four" after CR LF
    EXPECT_EQ(AbbreviationStart(text, 999), 14);
}

TEST(Abbreviation, VariantsExactCaseSensitiveInTableOrder) {
    const DictionaryRows rows{{"", ""},       {"ab", "beta"},   {"ab", "alpha"},
                              {"AB", "caps"}, {"ab,", "comma"}, {"abc", "longer"}};
    EXPECT_EQ(FindVariants(rows, "ab", false), QStringList({"beta", "alpha"}));
    EXPECT_EQ(FindVariants(rows, "AB", false), QStringList({"caps"}));
    EXPECT_EQ(FindVariants(rows, "ab,", false), QStringList({"comma"}));
    EXPECT_EQ(FindVariants(rows, "", false), QStringList({""}));
    EXPECT_TRUE(FindVariants(rows, "Ab", false).isEmpty());
}

TEST(Abbreviation, FirstCapitalForCyrillicLatinAndOthersUnchanged) {
    EXPECT_EQ(WithFirstCapital(QString::fromUtf8("ёлка")), QString::fromUtf8("Ёлка"));
    EXPECT_EQ(WithFirstCapital(QString::fromUtf8("привет мир")), QString::fromUtf8("Привет мир"));
    EXPECT_EQ(WithFirstCapital("hello world"), QString("Hello world"));
    EXPECT_EQ(WithFirstCapital(" space"), QString(" space"));
    EXPECT_EQ(WithFirstCapital("1st"), QString("1st"));
    EXPECT_EQ(WithFirstCapital(",x"), QString(",x"));
    EXPECT_EQ(WithFirstCapital(""), QString(""));
    const DictionaryRows rows{{"k", QString::fromUtf8("кот")}};
    EXPECT_EQ(FindVariants(rows, "k", true), QStringList({QString::fromUtf8("Кот")}));
}

}  // namespace
