#include "editor/spell_marks.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

#include "editor/memo_marks.h"

namespace {

// The program's offset of a control position inside `block`: every earlier break counts two.
qsizetype CrLfOffset(const QTextBlock& block, qsizetype inBlock) {
    return block.position() + block.blockNumber() + inBlock;
}

}  // namespace

SpellMarks::SpellMarks(QPlainTextEdit* memo, EditorText& text, TEditHistory& history,
                       MemoMarks& marks, std::function<void(const QString&)> note, QObject* parent)
    : QObject(parent),
      memo_(memo),
      text_(text),
      history_(history),
      marks_(marks),
      note_(std::move(note)) {
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(0);
    connect(timer_, &QTimer::timeout, this, &SpellMarks::Refresh);
    loadPoll_ = new QTimer(this);
    loadPoll_->setInterval(40);
    connect(loadPoll_, &QTimer::timeout, this, [this] {
        if (loading_.valid() &&
            loading_.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
            loadPoll_->stop();
            TakeLoaded();
            Refresh();
        }
    });
    connect(memo_, &QPlainTextEdit::textChanged, this, &SpellMarks::Schedule);
    connect(memo_->verticalScrollBar(), &QScrollBar::valueChanged, this, &SpellMarks::Schedule);
    memo_->installEventFilter(this);
}

SpellMarks::~SpellMarks() {
    if (loading_.valid()) loading_.wait();
}

void SpellMarks::AbbreviationsChanged() {
    abbreviationsDirty_ = true;
    Schedule();
}

void SpellMarks::Schedule() {
    if (enabled_ && memo_->isVisible()) timer_->start();
}

void SpellMarks::StartLoading() {
    if (checker_ || unavailable_ || loading_.valid()) return;
    // Loading the Russian dictionary takes a noticeable moment: not on the typist's time.
    loading_ = std::async(std::launch::async,
                          [folder = DictionaryFolder, personal = PersonalWordListPath()] {
                              return std::make_unique<SpellChecker>(folder, personal);
                          });
    loadPoll_->start();
}

bool SpellMarks::WaitUntilLoaded() {
    StartLoading();
    if (loading_.valid()) {
        loading_.wait();
        loadPoll_->stop();
        TakeLoaded();
    }
    return checker_ != nullptr;
}

bool SpellMarks::EnsureChecker() {
    if (checker_) return true;
    if (loading_.valid() &&
        loading_.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        loadPoll_->stop();
        TakeLoaded();
    }
    return checker_ != nullptr;
}

void SpellMarks::TakeLoaded() {
    checker_ = loading_.get();
    abbreviationsDirty_ = true;
    const QString missing = checker_->MissingNote();
    if (!missing.isEmpty()) note_(missing);
    if (!checker_->HasRussian() && !checker_->HasEnglish()) {
        checker_.reset();
        unavailable_ = true;
        enabled_ = false;
        emit Unavailable();
    }
}

bool SpellMarks::SetEnabled(bool on) {
    enabled_ = on;
    if (!on) {
        timer_->stop();
        marks_.Set(MemoMarks::Spelling, {});
        return true;
    }
    if (unavailable_) {
        note_(QStringLiteral("Проверка орфографии недоступна: нет словарей в ") + DictionaryFolder);
        enabled_ = false;
        return false;
    }
    Schedule();
    return true;
}

void SpellMarks::Refresh() {
    if (!enabled_ || !EnsureChecker()) {
        marks_.Set(MemoMarks::Spelling, {});
        if (enabled_) StartLoading();  // checks again once the dictionaries are in
        return;
    }
    if (abbreviationsDirty_) {
        abbreviationsDirty_ = false;
        QSet<QString> words;
        if (AbbreviationTexts) {
            for (const QString& entry : AbbreviationTexts()) {
                for (const TextRange& w : WordsToCheck(entry, 0, entry.size())) {
                    words.insert(entry.mid(w.start, w.length).toLower());
                }
            }
        }
        checker_->SetIgnoredWords(std::move(words));
    }
    QTextCharFormat wavy;
    wavy.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    wavy.setUnderlineColor(Qt::red);
    QList<QTextEdit::ExtraSelection> marks;
    const VisibleSpan view = VisibleBlocks(memo_);
    QTextDocument* doc = memo_->document();
    for (QTextBlock block = doc->findBlock(view.first);
         block.isValid() && block.position() <= view.last; block = block.next()) {
        const QString line = block.text();
        const qsizetype from = std::max(0, view.first - block.position());
        const qsizetype to = std::min<qsizetype>(line.size(), view.last - block.position() + 1);
        for (const TextRange& word : checker_->Misspelt(line, from, to)) {
            QTextEdit::ExtraSelection mark;
            mark.cursor = QTextCursor(doc);
            mark.cursor.setPosition(block.position() + static_cast<int>(word.start));
            mark.cursor.setPosition(block.position() + static_cast<int>(word.start + word.length),
                                    QTextCursor::KeepAnchor);
            mark.format = wavy;
            marks.append(mark);
        }
    }
    marks_.Set(MemoMarks::Spelling, std::move(marks));
}

std::optional<SpellMarks::Word> SpellMarks::MisspeltWordAt(QPoint viewportPos) {
    if (!enabled_ || !EnsureChecker()) return std::nullopt;
    const QTextCursor hit = memo_->cursorForPosition(viewportPos);
    const QTextBlock block = hit.block();
    const QString line = block.text();
    const qsizetype at = hit.positionInBlock();
    for (const TextRange& word : WordsToCheck(line, std::max<qsizetype>(0, at - 1), at + 1)) {
        if (at < word.start || at > word.start + word.length) continue;
        const QString text = line.mid(word.start, word.length);
        if (checker_->IsCorrect(text)) return std::nullopt;
        return Word{{CrLfOffset(block, word.start), word.length}, text};
    }
    return std::nullopt;
}

bool SpellMarks::AddToMenu(QMenu& menu, QPoint viewportPos) {
    const std::optional<Word> word = MisspeltWordAt(viewportPos);
    if (!word) return false;
    QAction* before = menu.actions().isEmpty() ? nullptr : menu.actions().first();
    const QStringList suggestions = checker_->Suggestions(word->text);
    if (suggestions.isEmpty()) {
        QAction* none = new QAction(QStringLiteral("(нет вариантов)"), &menu);
        none->setEnabled(false);
        menu.insertAction(before, none);
    }
    for (const QString& suggestion : suggestions) {
        QAction* action = new QAction(suggestion, &menu);
        action->setObjectName(QStringLiteral("SpellSuggestion"));
        QFont bold = action->font();
        bold.setBold(true);
        action->setFont(bold);
        const Word target = *word;
        connect(action, &QAction::triggered, this,
                [this, target, suggestion] { Correct(target, suggestion); });
        menu.insertAction(before, action);
    }
    QAction* add = new QAction(QStringLiteral("Добавить в словарь"), &menu);
    add->setObjectName(QStringLiteral("SpellAddWord"));
    const Word target = *word;
    connect(add, &QAction::triggered, this, [this, target] { AddToDictionary(target); });
    menu.insertAction(before, add);
    if (before != nullptr) menu.insertSeparator(before);
    return true;
}

void SpellMarks::Correct(const Word& word, const QString& replacement) {
    // The text may have changed while the menu was open: replace only the same word.
    if (text_.Text().mid(word.range.start, word.range.length) != word.text) return;
    ReplaceRange(text_, history_, word.range.start, word.range.length, replacement);
}

void SpellMarks::AddToDictionary(const Word& word) {
    if (!EnsureChecker()) return;
    if (!checker_->AddToPersonalList(word.text)) {
        note_(QStringLiteral("Не удалось записать личный словарь ") + PersonalWordListPath());
    }
    Refresh();
}

bool SpellMarks::eventFilter(QObject* watched, QEvent* event) {
    if (watched == memo_ && (event->type() == QEvent::Show || event->type() == QEvent::Resize)) {
        Schedule();
    }
    return false;
}
