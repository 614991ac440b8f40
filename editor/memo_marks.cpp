#include "editor/memo_marks.h"

#include <QPlainTextEdit>

void MemoMarks::Set(Layer layer, QList<QTextEdit::ExtraSelection> marks) {
    if (marks.isEmpty() && layers_[layer].isEmpty()) return;
    layers_[layer] = std::move(marks);
    QList<QTextEdit::ExtraSelection> all;
    for (const auto& list : layers_) all += list;
    memo_->setExtraSelections(all);
}

VisibleSpan VisibleBlocks(const QPlainTextEdit* memo) {
    // The first and the last character on screen; a long paragraph counts only its lines
    // in view.
    const QWidget* view = memo->viewport();
    VisibleSpan span;
    span.first = memo->cursorForPosition(QPoint(0, 0)).position();
    span.last = memo->cursorForPosition(QPoint(view->width() - 1, view->height() - 1)).position();
    if (span.last < span.first) span.last = span.first;
    return span;
}
