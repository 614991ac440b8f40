#include "editor/timestamp_links.h"

#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextBlock>

#include "editor/edit_history.h"
#include "editor/editor_text.h"

TimestampLinks::TimestampLinks(QPlainTextEdit* memo, EditorText& text, TEditHistory& history,
                               std::function<void(const QString&)> note, QObject* parent)
    : QObject(parent), memo_(memo), text_(text), history_(history), note_(std::move(note)) {
    memo_->viewport()->setMouseTracking(true);
    memo_->viewport()->installEventFilter(this);
}

bool TimestampLinks::InsertAtCaret() {
    const std::optional<double> position = Player.Position ? Player.Position() : std::nullopt;
    if (!position) {
        note_(QStringLiteral("Нет открытой записи: метка времени не вставлена"));
        return false;
    }
    InsertTimestamp(text_, history_, *position, Style);
    return true;
}

bool TimestampLinks::PlayFrom(double tapeSeconds) {
    const double seconds = RecordingSeconds(tapeSeconds, Style);
    if (Player.PlayFrom && Player.PlayFrom(seconds)) return true;
    note_(QStringLiteral("Нет открытой записи"));
    return false;
}

bool TimestampLinks::PlayAtCaret() {
    const QTextCursor caret = memo_->textCursor();
    const QTextBlock block = caret.block();
    const std::optional<TimestampSpan> span = TimestampAt(block.text(), caret.positionInBlock());
    if (!span) {
        note_(QStringLiteral("Курсор не на метке времени"));
        return false;
    }
    return PlayFrom(span->seconds);
}

std::optional<TimestampSpan> TimestampLinks::TimestampUnder(QPoint viewportPos) const {
    const QTextCursor hit = memo_->cursorForPosition(viewportPos);
    const QTextBlock block = hit.block();
    const std::optional<TimestampSpan> span = TimestampAt(block.text(), hit.positionInBlock());
    if (!span) return std::nullopt;
    // The nearest position also answers for a point far right of a line's end: the point
    // must lie over the timestamp's own characters.
    QTextCursor from(memo_->document());
    from.setPosition(block.position() + static_cast<int>(span->start));
    QTextCursor to(memo_->document());
    to.setPosition(block.position() + static_cast<int>(span->start + span->length));
    const QRect a = memo_->cursorRect(from);
    const QRect b = memo_->cursorRect(to);
    if (a.top() == b.top()) {
        if (viewportPos.x() < a.left() || viewportPos.x() > b.right()) return std::nullopt;
        if (viewportPos.y() < a.top() || viewportPos.y() > a.bottom()) return std::nullopt;
    }
    return span;
}

bool TimestampLinks::eventFilter(QObject* watched, QEvent* event) {
    if (watched != memo_->viewport()) return false;
    switch (event->type()) {
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const bool over = mouse->buttons() == Qt::NoButton &&
                              TimestampUnder(mouse->position().toPoint()).has_value();
            if (over != overLink_) {
                overLink_ = over;
                memo_->viewport()->setCursor(over ? Qt::PointingHandCursor : Qt::IBeamCursor);
            }
            return false;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton || !(mouse->modifiers() & Qt::ControlModifier)) {
                return false;
            }
            const std::optional<TimestampSpan> span = TimestampUnder(mouse->position().toPoint());
            if (!span) return false;
            swallowRelease_ = true;
            PlayFrom(span->seconds);
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (!swallowRelease_) return false;
            swallowRelease_ = false;
            return true;
        case QEvent::Leave:
            if (overLink_) {
                overLink_ = false;
                memo_->viewport()->setCursor(Qt::IBeamCursor);
            }
            return false;
        default:
            return false;
    }
}
