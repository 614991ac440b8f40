// Spell checking of the transcript in Russian and English with Hunspell.
// Words are runs of letters (an inner hyphen or apostrophe keeps a word together); a run
// that touches a digit is not a word. Text inside square brackets on one line (turn markers
// and timestamps) is never checked, nor are the words of the abbreviation dictionary and of
// the personal word list. A word with a Cyrillic letter is checked in Russian (a Latin
// letter inside one is a misprint), any other Latin word in English; other scripts are not
// checked. A dictionary that cannot be found only switches its language off.
// SpellChecker: one thread at a time (the user-interface thread in the program).
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <vector>

#include "editor/editor_text.h"

class Hunspell;
class TEditHistory;

// Where the personal word list lives: $XDG_DATA_HOME/nuvtolvek/words.txt.
QString PersonalWordListPath();

// The words of `text` that start in [from, to), in order, brackets and digit runs skipped.
std::vector<TextRange> WordsToCheck(QStringView text, qsizetype from, qsizetype to);

class SpellChecker {
  public:
    static constexpr int kMaxSuggestions = 8;

    // Loads ru_RU and en_US from `dictionaryFolder` and the personal list from
    // `personalListPath` (missing: empty).
    SpellChecker(const QString& dictionaryFolder, const QString& personalListPath);
    ~SpellChecker();
    SpellChecker(const SpellChecker&) = delete;
    SpellChecker& operator=(const SpellChecker&) = delete;

    bool HasRussian() const { return russian_ != nullptr; }
    bool HasEnglish() const { return english_ != nullptr; }
    // Why some or all checking is off, for the status bar; empty when both languages work.
    QString MissingNote() const;

    // True for a correct or unchecked word.
    bool IsCorrect(const QString& word);
    // The misspelt words among WordsToCheck(text, from, to).
    std::vector<TextRange> Misspelt(QStringView text, qsizetype from, qsizetype to);
    // Up to kMaxSuggestions corrections, best first.
    QStringList Suggestions(const QString& word);
    // Accepts the word from now on and appends it to the personal list (created with its
    // folder when missing). False when the file cannot be written; the word is accepted
    // for this run all the same.
    bool AddToPersonalList(const QString& word);
    // Words never marked besides the dictionaries' (the abbreviation dictionary's words);
    // compared in lower case.
    void SetIgnoredWords(QSet<QString> lowerCaseWords);
    // Forgets the remembered answers (they are kept for every word checked so far).
    void ClearCache() { cache_.clear(); }

  private:
    enum class Language { None, Russian, English };
    static Language LanguageOf(QStringView word);
    bool CheckUncached(const QString& word);

    std::unique_ptr<Hunspell> russian_;
    std::unique_ptr<Hunspell> english_;
    QString folder_;
    QString personalPath_;
    QSet<QString> personal_;  // lower case
    QSet<QString> ignored_;   // lower case
    QHash<QString, bool> cache_;
};

// Replaces [start, start + length) with `replacement` between two snapshots.
void ReplaceRange(EditorText& text, TEditHistory& history, qsizetype start, qsizetype length,
                  const QString& replacement);
