#include "editor/editor_text.h"

#include <algorithm>

#include "textfiles/textfiles.h"

QString SpliceRanges(const QString& old, const std::vector<TextRange>& ranges,
                     const QString& inserted, qsizetype* caret) {
    QString result;
    if (ranges.empty()) return old;
    result.reserve(old.size() + static_cast<qsizetype>(ranges.size()) *
                                    std::max<qsizetype>(0, inserted.size() - ranges[0].length));
    qsizetype copied = 0;
    for (const TextRange& range : ranges) {
        result.append(QStringView(old).mid(copied, range.start - copied));
        result.append(inserted);
        copied = range.start + range.length;
    }
    if (caret) *caret = result.size();
    result.append(QStringView(old).mid(copied));
    return result;
}

void EditorText::ReplaceRanges(const std::vector<TextRange>& ranges, const QString& text) {
    if (ranges.empty()) return;
    const QString old = Text();
    const QString inserted = NormalizeEditorText(text);
    qsizetype caret = 0;
    const QString result = SpliceRanges(old, ranges, inserted, &caret);
    SetText(result);
    SetCaret(static_cast<int>(caret));
}

PlainEditorText::PlainEditorText(const QString& text) : text_(NormalizeEditorText(text)) {}

void PlainEditorText::SetText(const QString& text) {
    text_ = NormalizeEditorText(text);
    start_ = 0;
    length_ = 0;
}

int PlainEditorText::Snap(int offset) const {
    offset = std::clamp(offset, 0, TextLength());
    // Never inside a CR LF pair.
    if (offset > 0 && offset < TextLength() && text_[offset] == u'\n' &&
        text_[offset - 1] == u'\r') {
        --offset;
    }
    return offset;
}

void PlainEditorText::SetSelection(int start, int length) {
    const int from = Snap(start);
    const qint64 end = static_cast<qint64>(start) + std::max(length, 0);
    const int to = Snap(static_cast<int>(std::clamp<qint64>(end, 0, TextLength())));
    start_ = from;
    length_ = std::max(0, to - from);
}

void PlainEditorText::ReplaceSelection(const QString& text) {
    const QString inserted = NormalizeEditorText(text);
    text_.replace(start_, length_, inserted);
    start_ += static_cast<int>(inserted.size());
    length_ = 0;
}

namespace {

// U+2028 too: the control would keep it as a break inside a line that no file can store.
bool IsParagraphBreak(QChar c) {
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == QChar(0xFDD0) ||
           c == QChar(0xFDD1);
}

}  // namespace

QString NormalizeEditorText(const QString& text) {
    if (std::none_of(text.begin(), text.end(), IsParagraphBreak)) {
        return textfiles::NormalizeLineBreaks(text);
    }
    QString plain = text;
    for (QChar& c : plain) {
        if (IsParagraphBreak(c)) c = u'\n';
    }
    return textfiles::NormalizeLineBreaks(plain);
}

QString ToSingleLineBreaks(const QString& text) {
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    const QChar* in = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        if (in[i] == u'\r') {
            out += u'\n';
            if (i + 1 < n && in[i + 1] == u'\n') ++i;
        } else if (IsParagraphBreak(in[i])) {
            out += u'\n';
        } else {
            out += in[i];
        }
    }
    return out;
}
