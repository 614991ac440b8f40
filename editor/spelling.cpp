#include "editor/spelling.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>
#include <hunspell/hunspell.hxx>

#include "editor/edit_history.h"
#include "editor/editor_commands.h"
#include "textfiles/textfiles.h"

namespace {

constexpr qsizetype kCacheLimit = 100000;

bool IsCyrillic(QChar c) {
    return c.script() == QChar::Script_Cyrillic;
}

bool IsLatin(QChar c) {
    return c.script() == QChar::Script_Latin;
}

bool IsWordLetter(QChar c) {
    return c.isLetter() || c.isMark();
}

bool IsJoiner(QChar c) {
    return c == u'-' || c == u'\'' || c == u'\u2019';
}

std::string ToStd(const QString& word) {
    return word.toStdString();
}

}  // namespace

QString PersonalWordListPath() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.local/share");
    }
    return base + QStringLiteral("/nuvtolvek/words.txt");
}

std::vector<TextRange> WordsToCheck(QStringView text, qsizetype from, qsizetype to) {
    std::vector<TextRange> words;
    from = std::max<qsizetype>(from, 0);
    to = std::min(to, text.size());
    // A bracket opened before `from` on the same line still hides what follows it.
    bool inBracket = false;
    for (qsizetype i = from - 1; i >= 0; --i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n' || c == u']') break;
        if (c == u'[') {
            inBracket = true;
            break;
        }
    }
    // Also start at the beginning of a word that `from` cuts.
    while (from > 0 && (IsWordLetter(text[from - 1]) || text[from - 1].isDigit())) --from;
    qsizetype i = from;
    while (i < to) {
        const QChar c = text[i];
        if (inBracket) {
            if (c == u']' || c == u'\r' || c == u'\n') inBracket = false;
            ++i;
            continue;
        }
        if (c == u'[') {
            inBracket = true;
            ++i;
            continue;
        }
        if (!IsWordLetter(c) && !c.isDigit()) {
            ++i;
            continue;
        }
        // One token of letters and digits, with joiners between letters.
        const qsizetype start = i;
        bool digits = false;
        while (i < text.size()) {
            const QChar d = text[i];
            if (IsWordLetter(d)) {
                ++i;
            } else if (d.isDigit()) {
                digits = true;
                ++i;
            } else if (IsJoiner(d) && i + 1 < text.size() && i > start &&
                       (IsWordLetter(text[i + 1]) || text[i + 1].isDigit()) &&
                       (IsWordLetter(text[i - 1]) || text[i - 1].isDigit())) {
                // "кто-то", "don't"; and "2-й" stays one token, which its digit excludes.
                ++i;
            } else {
                break;
            }
        }
        if (!digits) words.push_back({start, i - start});
    }
    return words;
}

SpellChecker::SpellChecker(const QString& dictionaryFolder, const QString& personalListPath)
    : folder_(dictionaryFolder), personalPath_(personalListPath) {
    auto load = [&](const char* name) -> std::unique_ptr<Hunspell> {
        const QString aff = dictionaryFolder + u'/' + QLatin1String(name) + QStringLiteral(".aff");
        const QString dic = dictionaryFolder + u'/' + QLatin1String(name) + QStringLiteral(".dic");
        if (!QFileInfo(aff).isReadable() || !QFileInfo(dic).isReadable()) return nullptr;
        const QByteArray affPath = QFile::encodeName(aff);
        const QByteArray dicPath = QFile::encodeName(dic);
        return std::make_unique<Hunspell>(affPath.constData(), dicPath.constData());
    };
    russian_ = load("ru_RU");
    english_ = load("en_US");

    QFile file(personalListPath);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream in(&file);
        in.setEncoding(QStringConverter::Utf8);
        QString line;
        while (in.readLineInto(&line)) {
            const QString word = line.trimmed();
            if (!word.isEmpty()) personal_.insert(word.toLower());
        }
    }
}

SpellChecker::~SpellChecker() = default;

QString SpellChecker::MissingNote() const {
    if (russian_ && english_) return {};
    if (!russian_ && !english_) {
        return QStringLiteral("Проверка орфографии отключена: нет словарей ru_RU и en_US в ") +
               folder_;
    }
    return QStringLiteral("Проверка орфографии без словаря %1: его нет в %2")
        .arg(russian_ ? QStringLiteral("en_US") : QStringLiteral("ru_RU"), folder_);
}

SpellChecker::Language SpellChecker::LanguageOf(QStringView word) {
    bool latin = false;
    for (QChar c : word) {
        if (IsCyrillic(c)) return Language::Russian;
        if (IsLatin(c)) latin = true;
    }
    return latin ? Language::English : Language::None;
}

bool SpellChecker::CheckUncached(const QString& word) {
    const QString lower = word.toLower();
    if (personal_.contains(lower) || ignored_.contains(lower)) return true;
    switch (LanguageOf(word)) {
        case Language::Russian: {
            if (!russian_) return true;
            if (russian_->spell(ToStd(word))) return true;
            // The dictionary spells most words with е where a typist may write ё.
            if (word.contains(u'ё') || word.contains(u'Ё')) {
                QString plain = word;
                plain.replace(u'ё', u'е').replace(u'Ё', u'Е');
                return russian_->spell(ToStd(plain));
            }
            return false;
        }
        case Language::English: {
            if (!english_) return true;
            if (english_->spell(ToStd(word))) return true;
            // A typographic apostrophe is the same word as a straight one.
            if (word.contains(u'\u2019')) {
                QString plain = word;
                plain.replace(u'\u2019', u'\'');
                return english_->spell(ToStd(plain));
            }
            return false;
        }
        case Language::None:
            return true;
    }
    return true;
}

bool SpellChecker::IsCorrect(const QString& word) {
    const auto found = cache_.constFind(word);
    if (found != cache_.constEnd()) return *found;
    if (cache_.size() >= kCacheLimit) cache_.clear();
    const bool correct = CheckUncached(word);
    cache_.insert(word, correct);
    return correct;
}

std::vector<TextRange> SpellChecker::Misspelt(QStringView text, qsizetype from, qsizetype to) {
    std::vector<TextRange> marked;
    for (const TextRange& word : WordsToCheck(text, from, to)) {
        if (!IsCorrect(text.mid(word.start, word.length).toString())) marked.push_back(word);
    }
    return marked;
}

QStringList SpellChecker::Suggestions(const QString& word) {
    Hunspell* dictionary = nullptr;
    switch (LanguageOf(word)) {
        case Language::Russian:
            dictionary = russian_.get();
            break;
        case Language::English:
            dictionary = english_.get();
            break;
        case Language::None:
            break;
    }
    QStringList out;
    if (dictionary == nullptr) return out;
    for (const std::string& s : dictionary->suggest(ToStd(word))) {
        const QString suggestion = QString::fromStdString(s);
        if (!out.contains(suggestion)) out.append(suggestion);
        if (out.size() == kMaxSuggestions) break;
    }
    return out;
}

bool SpellChecker::AddToPersonalList(const QString& word) {
    const QString clean = word.trimmed();
    if (clean.isEmpty()) return false;
    personal_.insert(clean.toLower());
    cache_.clear();
    try {
        textfiles::MakePrivateFolders(QFileInfo(personalPath_).absolutePath());
    } catch (const textfiles::FileError&) {
        return false;
    }
    QFile file(personalPath_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) return false;
    const QByteArray line = clean.toUtf8() + '\n';
    return file.write(line) == line.size() && file.flush();
}

void SpellChecker::SetIgnoredWords(QSet<QString> lowerCaseWords) {
    if (lowerCaseWords == ignored_) return;
    ignored_ = std::move(lowerCaseWords);
    cache_.clear();
}

void ReplaceRange(EditorText& text, TEditHistory& history, qsizetype start, qsizetype length,
                  const QString& replacement) {
    text.SetSelection(static_cast<int>(start), static_cast<int>(length));
    RecordSnapshot(text, history);
    text.ReplaceSelection(replacement);
    RecordSnapshot(text, history);
}
