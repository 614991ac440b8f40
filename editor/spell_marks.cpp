#include "editor/spell_marks.h"

#include <QAction>
#include <QEvent>
#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <cmath>

#include "editor/memo_marks.h"

namespace {

// The program's offset of a control position inside `block`: every earlier break counts two.
qsizetype CrLfOffset(const QTextBlock& block, qsizetype inBlock) {
    return block.position() + block.blockNumber() + inBlock;
}

// Rows [top, top + height) of one visual line that belong to it alone: from just under the
// letters down to where the tallest letters of the line below reach up (the dots of "Ё" rise
// above Tahoma's ascent at small sizes).
struct Band {
    int top = 0;
    int height = 0;
};

Band UnderlineBand(const QRect& lineRect, qreal ascent, const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal overhang =
        std::max<qreal>(0, -metrics.tightBoundingRect(QStringLiteral("ЁЙ")).top() - ascent);
    Band band;
    band.top = lineRect.top() + static_cast<int>(std::ceil(ascent));
    // At least the row under the letters, or the mark would vanish.
    band.height =
        std::max(1, lineRect.bottom() + 1 - static_cast<int>(std::ceil(overhang)) - band.top);
    return band;
}

// A red wave from x0 to x1 inside `band`; a dashed line when the band is a single row.
void PaintWave(QPainter& painter, int x0, int x1, const Band& band) {
    if (band.height <= 0 || x1 <= x0) return;
    painter.save();
    painter.setClipRect(QRect(x0, band.top, x1 - x0, band.height), Qt::IntersectClip);
    painter.setPen(QPen(QColor(Qt::red), 1));
    if (band.height == 1) {
        for (int x = x0; x < x1; x += 3)
            painter.drawLine(x, band.top, std::min(x + 1, x1 - 1), band.top);
    } else {
        const int amplitude = std::min(band.height, 3) - 1;
        QPolygon wave;
        for (int x = x0, i = 0; x <= x1 + amplitude; x += amplitude, ++i)
            wave << QPoint(x, band.top + (i % 2 == 0 ? amplitude : 0));
        painter.drawPolyline(wave);
    }
    painter.restore();
}

}  // namespace

SpellMarks::SpellMarks(QPlainTextEdit* memo, EditorText& text, TEditHistory& history,
                       std::function<void(const QString&)> note, QObject* parent)
    : QObject(parent), memo_(memo), text_(text), history_(history), note_(std::move(note)) {
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
    memo_->viewport()->installEventFilter(this);
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
        SetUnderlined({});
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
        SetUnderlined({});
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
    QList<QTextCursor> marks;
    const VisibleSpan view = VisibleBlocks(memo_);
    QTextDocument* doc = memo_->document();
    for (QTextBlock block = doc->findBlock(view.first);
         block.isValid() && block.position() <= view.last; block = block.next()) {
        const QString line = block.text();
        const qsizetype from = std::max(0, view.first - block.position());
        const qsizetype to = std::min<qsizetype>(line.size(), view.last - block.position() + 1);
        for (const TextRange& word : checker_->Misspelt(line, from, to)) {
            QTextCursor mark(doc);
            mark.setPosition(block.position() + static_cast<int>(word.start));
            mark.setPosition(block.position() + static_cast<int>(word.start + word.length),
                             QTextCursor::KeepAnchor);
            marks.append(mark);
        }
    }
    SetUnderlined(std::move(marks));
}

void SpellMarks::SetUnderlined(QList<QTextCursor> marks) {
    if (marks.isEmpty() && underlined_.isEmpty()) return;
    underlined_ = std::move(marks);
    memo_->viewport()->update();
}

QStringList SpellMarks::UnderlinedWords() const {
    QStringList words;
    for (const QTextCursor& mark : underlined_) words << mark.selectedText();
    return words;
}

void SpellMarks::PaintUnderlines() {
    if (underlined_.isEmpty()) return;
    QPainter painter(memo_->viewport());
    const QRect view = memo_->viewport()->rect();
    QTextDocument* doc = memo_->document();
    for (const QTextCursor& mark : underlined_) {
        const QTextBlock block = doc->findBlock(mark.selectionStart());
        const QTextLayout* layout = block.layout();
        if (!block.isVisible() || layout == nullptr) continue;
        int from = mark.selectionStart() - block.position();
        const int to = mark.selectionEnd() - block.position();
        // A word longer than the line wraps: each of its lines gets its own stretch.
        while (from < to) {
            const QTextLine line = layout->lineForTextPosition(from);
            if (!line.isValid()) break;
            const int end = std::min(to, line.textStart() + line.textLength());
            QTextCursor at(doc);
            at.setPosition(block.position() + from);
            const QRect caret = memo_->cursorRect(at);
            if (caret.bottom() >= view.top() && caret.top() <= view.bottom()) {
                const qreal shift = caret.left() - line.cursorToX(from);
                PaintWave(painter, caret.left(), static_cast<int>(shift + line.cursorToX(end)),
                          UnderlineBand(caret, line.ascent(), memo_->font()));
            }
            if (end <= from) break;
            from = end;
        }
    }
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
    // Painted before the text control paints its text, so that the letters lie on top.
    if (watched == memo_->viewport() && event->type() == QEvent::Paint) {
        PaintUnderlines();
        return false;
    }
    if (watched == memo_ && (event->type() == QEvent::Show || event->type() == QEvent::Resize)) {
        Schedule();
    }
    return false;
}
