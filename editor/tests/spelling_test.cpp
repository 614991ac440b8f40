#include "editor/spelling.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "editor/edit_history.h"
#include "editor/editor_commands.h"

namespace {

const QString kSystemDictionaries = QStringLiteral("/usr/share/hunspell");

QStringList Words(const QString& text) {
    QStringList out;
    for (const TextRange& w : WordsToCheck(text, 0, text.size()))
        out << text.mid(w.start, w.length);
    return out;
}

QStringList Marked(SpellChecker& checker, const QString& text) {
    QStringList out;
    for (const TextRange& w : checker.Misspelt(text, 0, text.size())) {
        out << text.mid(w.start, w.length);
    }
    return out;
}

TEST(Spelling, WordsSkipBracketsDigitsAndKeepJoinedWords) {
    EXPECT_EQ(Words(QStringLiteral("\r\n[Анна Петровна]\r\nкто-то сказал [00:12:07] don't")),
              (QStringList{"кто-то", "сказал", "don't"}));
    EXPECT_EQ(Words(QStringLiteral("mp3 файл 2-й, 100%, Windows10 -- тире - и 'кавычки'")),
              (QStringList{"файл", "тире", "и", "кавычки"}));
    EXPECT_EQ(Words(QStringLiteral("[незакрытая скобка\r\nновая строка")),
              (QStringList{"новая", "строка"}));
    // A range that starts inside a bracket or a word.
    const QString text = QStringLiteral("[Анна] слово");
    std::vector<TextRange> inside = WordsToCheck(text, 2, text.size());
    ASSERT_EQ(inside.size(), 1u);
    EXPECT_EQ(text.mid(inside[0].start, inside[0].length), QStringLiteral("слово"));
    inside = WordsToCheck(text, 9, text.size());
    ASSERT_EQ(inside.size(), 1u);
    EXPECT_EQ(inside[0].start, 7);
}

class SpellCheckerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!QFile::exists(kSystemDictionaries + "/ru_RU.dic") ||
            !QFile::exists(kSystemDictionaries + "/en_US.dic")) {
            GTEST_SKIP() << "hunspell-ru and hunspell-en-us are not installed";
        }
        ASSERT_TRUE(folder.isValid());
        personal = folder.filePath("nuvtolvek/words.txt");
    }
    // One loaded checker for the tests that only read (loading takes a while).
    static SpellChecker& Shared() {
        static QTemporaryDir empty;
        static SpellChecker checker(kSystemDictionaries, empty.filePath("words.txt"));
        return checker;
    }
    QTemporaryDir folder;
    QString personal;
};

TEST_F(SpellCheckerTest, KnownWordsOfBothLanguagesPassMisspeltOnesAreMarked) {
    SpellChecker& checker = Shared();
    ASSERT_TRUE(checker.HasRussian());
    ASSERT_TRUE(checker.HasEnglish());
    EXPECT_TRUE(checker.MissingNote().isEmpty());
    EXPECT_EQ(Marked(checker, QStringLiteral("Молоко было очень вкусное, the interview was "
                                             "recorded. Ёлка, ёжик, кто-то.")),
              QStringList());
    EXPECT_EQ(Marked(checker, QStringLiteral("Малако было вкуснае, the intervew was recieved.")),
              (QStringList{"Малако", "вкуснае", "intervew", "recieved"}));
    // A Latin letter inside a Russian word is a misprint.
    EXPECT_EQ(Marked(checker, QStringLiteral("молокo")), QStringList{"молокo"});
}

TEST_F(SpellCheckerTest, MarkersTimestampsAndAbbreviationsAreNeverMarked) {
    SpellChecker& checker = Shared();
    const QString text =
        QStringLiteral("\r\n[Фрдтщщ Йцукен]\r\nвопрос [00:12:07] [1:02:03.5] зпт ЖЖЖ");
    EXPECT_EQ(Marked(checker, text), (QStringList{"зпт", "ЖЖЖ"}));
    checker.SetIgnoredWords({QStringLiteral("зпт"), QStringLiteral("жжж")});
    EXPECT_EQ(Marked(checker, text), QStringList());
    checker.SetIgnoredWords({});
    EXPECT_EQ(Marked(checker, text), (QStringList{"зпт", "ЖЖЖ"}));
}

TEST_F(SpellCheckerTest, SuggestionsAreOfferedAtMostEight) {
    SpellChecker& checker = Shared();
    const QStringList russian = checker.Suggestions(QStringLiteral("малоко"));
    EXPECT_TRUE(russian.contains(QStringLiteral("молоко"))) << russian.join(',').toStdString();
    const QStringList english = checker.Suggestions(QStringLiteral("recieve"));
    EXPECT_TRUE(english.contains(QStringLiteral("receive"))) << english.join(',').toStdString();
    EXPECT_LE(english.size(), SpellChecker::kMaxSuggestions);
    EXPECT_LE(checker.Suggestions(QStringLiteral("а")).size(), SpellChecker::kMaxSuggestions);
    EXPECT_TRUE(checker.Suggestions(QStringLiteral("日本")).isEmpty());
}

TEST_F(SpellCheckerTest, AWordAddedToThePersonalListStaysAcceptedAfterARestart) {
    {
        SpellChecker checker(kSystemDictionaries, personal);
        EXPECT_FALSE(checker.IsCorrect(QStringLiteral("Толвек")));
        EXPECT_TRUE(checker.AddToPersonalList(QStringLiteral("Толвек")));
        EXPECT_TRUE(checker.IsCorrect(QStringLiteral("Толвек")));
        EXPECT_TRUE(checker.AddToPersonalList(QStringLiteral("nuvtolvek")));
    }
    QFile file(personal);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), QStringLiteral("Толвек\nnuvtolvek\n"));
    SpellChecker restarted(kSystemDictionaries, personal);
    EXPECT_TRUE(restarted.IsCorrect(QStringLiteral("Толвек")));
    EXPECT_TRUE(restarted.IsCorrect(QStringLiteral("nuvtolvek")));
    EXPECT_FALSE(restarted.IsCorrect(QStringLiteral("Толвеки")));
}

TEST_F(SpellCheckerTest, AnUnwritableListStillAcceptsTheWordForThisRun) {
    QFile blocker(folder.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SpellChecker checker(kSystemDictionaries, folder.filePath("file/words.txt"));
    EXPECT_FALSE(checker.AddToPersonalList(QStringLiteral("Толвек")));
    EXPECT_TRUE(checker.IsCorrect(QStringLiteral("Толвек")));
}

TEST(Spelling, MissingDictionariesSwitchTheirLanguageOffWithANote) {
    QTemporaryDir empty;
    SpellChecker none(empty.path(), empty.filePath("words.txt"));
    EXPECT_FALSE(none.HasRussian());
    EXPECT_FALSE(none.HasEnglish());
    EXPECT_FALSE(none.MissingNote().isEmpty());
    EXPECT_TRUE(none.IsCorrect(QStringLiteral("Малако")));
    EXPECT_TRUE(none.Suggestions(QStringLiteral("Малако")).isEmpty());

    if (!QFile::exists(kSystemDictionaries + "/en_US.dic")) GTEST_SKIP();
    ASSERT_TRUE(QFile::copy(kSystemDictionaries + "/en_US.aff", empty.filePath("en_US.aff")));
    ASSERT_TRUE(QFile::copy(kSystemDictionaries + "/en_US.dic", empty.filePath("en_US.dic")));
    SpellChecker english(empty.path(), empty.filePath("words.txt"));
    EXPECT_FALSE(english.HasRussian());
    EXPECT_TRUE(english.HasEnglish());
    EXPECT_TRUE(english.MissingNote().contains(QStringLiteral("ru_RU")));
    EXPECT_TRUE(english.IsCorrect(QStringLiteral("Малако")));
    EXPECT_FALSE(english.IsCorrect(QStringLiteral("recieve")));
}

TEST(Spelling, PersonalListLivesInTheUsersDataFolder) {
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/tmp/data-home");
    EXPECT_EQ(PersonalWordListPath(), QStringLiteral("/tmp/data-home/nuvtolvek/words.txt"));
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(PersonalWordListPath(), QDir::homePath() + "/.local/share/nuvtolvek/words.txt");
    if (!saved.isNull()) qputenv("XDG_DATA_HOME", saved);
}

TEST(Spelling, ACorrectionIsOneUndoStep) {
    PlainEditorText text(QStringLiteral("он сказл так"));
    TEditHistory history;
    RecordSnapshot(text, history);
    ReplaceRange(text, history, 3, 5, QStringLiteral("сказал"));
    EXPECT_EQ(text.Text(), QStringLiteral("он сказал так"));
    UndoEdit(text, history);
    EXPECT_EQ(text.Text(), QStringLiteral("он сказл так"));
}

}  // namespace
