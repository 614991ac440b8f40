#include "editor/memo_text.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>

namespace {

// The document keeps paragraph separators (U+2029) between blocks.
QString WithCrLf(QString text) {
    text.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    return text;
}

// Offset of a block's first character when every earlier break counts two.
int CrLfStart(const QTextBlock& block) {
    return block.position() + block.blockNumber();
}

}  // namespace

MemoText::MemoText(QPlainTextEdit* memo) : memo_(memo) {
    if (memo_ == nullptr) return;
    std::shared_ptr<TextCache> cache = cache_;
    QObject::connect(memo_->document(), &QTextDocument::contentsChange, memo_,
                     [cache](int, int, int) { cache->valid = false; });
}

QString MemoText::Text() const {
    if (!cache_->valid) {
        cache_->text = WithCrLf(memo_->document()->toRawText());
        cache_->valid = true;
    }
    return cache_->text;
}

void MemoText::SetText(const QString& text) {
    const QString current = Text();
    const QString target = NormalizeEditorText(text);
    // Undo and redo usually change a small part of a long text: replace only the part
    // between the common beginning and the common end, which keeps the layout of the rest.
    const qsizetype shorter = std::min(current.size(), target.size());
    qsizetype prefix = 0;
    while (prefix < shorter && current[prefix] == target[prefix]) ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           current[current.size() - 1 - suffix] == target[target.size() - 1 - suffix]) {
        ++suffix;
    }
    // Never cut a CR LF pair at either end of the replaced part.
    auto splitsPair = [](const QString& s, qsizetype at) {
        return at > 0 && at < s.size() && s[at - 1] == u'\r' && s[at] == u'\n';
    };
    if (splitsPair(current, prefix) || splitsPair(target, prefix)) --prefix;
    while (suffix > 0 && (splitsPair(current, current.size() - suffix) ||
                          splitsPair(target, target.size() - suffix))) {
        --suffix;
    }
    const qsizetype changed = current.size() - prefix - suffix;
    QTextCursor cursor = memo_->textCursor();
    cache_->valid = false;
    if (changed > current.size() / 2 && changed > 65536) {
        memo_->setPlainText(ToSingleLineBreaks(target));
    } else {
        cursor.setPosition(ToControl(static_cast<int>(prefix)));
        cursor.setPosition(ToControl(static_cast<int>(current.size() - suffix)),
                           QTextCursor::KeepAnchor);
        cursor.insertText(ToSingleLineBreaks(target.mid(prefix, target.size() - prefix - suffix)));
    }
    cache_->text = target;
    cache_->valid = true;
    cursor = memo_->textCursor();
    cursor.setPosition(0);
    memo_->setTextCursor(cursor);
}

int MemoText::TextLength() const {
    const QTextDocument* doc = memo_->document();
    // characterCount() includes the final paragraph separator, which is not text.
    return doc->characterCount() - 1 + doc->blockCount() - 1;
}

int MemoText::ToCrLf(int controlPos) const {
    const QTextBlock block = memo_->document()->findBlock(controlPos);
    if (!block.isValid()) return TextLength();
    return controlPos + block.blockNumber();
}

int MemoText::ToControl(int crLfOffset) const {
    const QTextDocument* doc = memo_->document();
    if (crLfOffset <= 0) return 0;
    // The last block whose first character is at or before the offset.
    int low = 0;
    int high = doc->blockCount() - 1;
    while (low < high) {
        const int mid = low + (high - low + 1) / 2;
        if (CrLfStart(doc->findBlockByNumber(mid)) <= crLfOffset) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    const QTextBlock block = doc->findBlockByNumber(low);
    const int textLength = block.length() - 1;
    // Past the block's text means inside its CR LF (or past the end): the break's start.
    const int inBlock = std::min(crLfOffset - CrLfStart(block), textLength);
    return block.position() + inBlock;
}

int MemoText::SelStart() const {
    return ToCrLf(memo_->textCursor().selectionStart());
}

int MemoText::SelLength() const {
    const QTextCursor cursor = memo_->textCursor();
    if (!cursor.hasSelection()) return 0;
    return ToCrLf(cursor.selectionEnd()) - ToCrLf(cursor.selectionStart());
}

QString MemoText::SelText() const {
    return WithCrLf(memo_->textCursor().selectedText());
}

void MemoText::SetSelection(int start, int length) {
    const qint64 end = static_cast<qint64>(start) + std::max(length, 0);
    const int total = TextLength();
    const int from = ToControl(std::clamp(start, 0, total));
    const int to = ToControl(static_cast<int>(std::clamp<qint64>(end, 0, total)));
    QTextCursor cursor = memo_->textCursor();
    cursor.setPosition(from);
    cursor.setPosition(std::max(from, to), QTextCursor::KeepAnchor);
    memo_->setTextCursor(cursor);
}

void MemoText::ReplaceSelection(const QString& text) {
    const QString inserted = NormalizeEditorText(text);
    // Patch the held whole text instead of rebuilding it from the document afterwards.
    QString patched;
    const bool patch = cache_->valid;
    if (patch) {
        const int start = SelStart();
        const int length = SelLength();
        patched = std::move(cache_->text);
        cache_->valid = false;
        patched.replace(start, length, inserted);
    }
    QTextCursor cursor = memo_->textCursor();
    cursor.insertText(ToSingleLineBreaks(inserted));
    memo_->setTextCursor(cursor);
    memo_->ensureCursorVisible();
    if (patch) {
        cache_->text = std::move(patched);
        cache_->valid = true;
    }
}

void MemoText::ReplaceRanges(const std::vector<TextRange>& ranges, const QString& text) {
    if (ranges.empty()) return;
    const QString inserted = NormalizeEditorText(text);
    const QString controlText = ToSingleLineBreaks(inserted);
    // The whole text after the change, built from the held one before the document moves.
    qsizetype caret = 0;
    QString result = SpliceRanges(Text(), ranges, inserted, &caret);

    // From the last range back, so that the earlier offsets stay valid.
    QTextCursor cursor(memo_->document());
    cursor.beginEditBlock();
    for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) {
        const int from = ToControl(static_cast<int>(it->start));
        const int to = ToControl(static_cast<int>(it->start + it->length));
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        cursor.insertText(controlText);
    }
    cursor.endEditBlock();
    cache_->text = std::move(result);
    cache_->valid = true;
    const int caretControl = ToControl(static_cast<int>(caret));
    QTextCursor place = memo_->textCursor();
    place.setPosition(caretControl);
    memo_->setTextCursor(place);
    memo_->ensureCursorVisible();
}

CaretPlace MemoText::CaretLine() const {
    const QTextDocument* doc = memo_->document();
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    const int caretPos = memo_->textCursor().selectionEnd();
    const QTextBlock caretBlock = doc->findBlock(caretPos);

    CaretPlace place;
    int lines = 0;
    int lastLineLength = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        // Blocks that have never been shown are not laid out yet.
        if (block.layout()->lineCount() == 0) layout->blockBoundingRect(block);
        const QTextLayout* textLayout = block.layout();
        const int blockLines = std::max(1, textLayout->lineCount());
        if (block == caretBlock) {
            const int inBlock = caretPos - block.position();
            QTextLine line = textLayout->lineForTextPosition(inBlock);
            if (!line.isValid() && textLayout->lineCount() > 0) {
                line = textLayout->lineAt(textLayout->lineCount() - 1);
            }
            if (line.isValid()) {
                place.line = lines + line.lineNumber();
                place.column = inBlock - line.textStart();
                place.lineLength = line.textLength();
            } else {
                place.line = lines;
                place.column = inBlock;
                place.lineLength = block.length() - 1;
            }
        }
        lines += blockLines;
        if (textLayout->lineCount() > 0) {
            lastLineLength = textLayout->lineAt(textLayout->lineCount() - 1).textLength();
        } else {
            lastLineLength = block.length() - 1;
        }
    }
    place.lineCount = lastLineLength == 0 ? lines - 1 : lines;
    return place;
}
