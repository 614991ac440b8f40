// The editor's text as the rest of the program sees it: one UTF-16 string whose line breaks
// are CR LF, with offsets in UTF-16 code units where every CR LF counts as two, whatever the
// text control counts internally. Every command goes through this interface.
// User-interface thread only.
#pragma once

#include <QString>
#include <vector>

// A stretch of the text in the program's offsets.
struct TextRange {
    qsizetype start = 0;
    qsizetype length = 0;
};

// `old` with every range (sorted, not overlapping) replaced by `inserted`; `caret` gets the
// offset just after the last insertion.
QString SpliceRanges(const QString& old, const std::vector<TextRange>& ranges,
                     const QString& inserted, qsizetype* caret);

class EditorText {
  public:
    virtual ~EditorText() = default;

    virtual QString Text() const = 0;
    // Replaces the whole text (line breaks made CR LF); the caret goes to offset 0.
    virtual void SetText(const QString& text) = 0;
    virtual int TextLength() const = 0;

    virtual int SelStart() const = 0;
    virtual int SelLength() const = 0;
    virtual QString SelText() const = 0;
    // Selects [start, start + length), clamped to the text; an offset between the CR and
    // the LF of a line break means the start of that break. The caret ends at the far end.
    virtual void SetSelection(int start, int length) = 0;
    void SetCaret(int pos) { SetSelection(pos, 0); }
    // Replaces the selection (inserts at the caret when nothing is selected) with `text`
    // (line breaks made CR LF); the caret ends after the inserted text, nothing selected.
    virtual void ReplaceSelection(const QString& text) = 0;
    // Replaces every range (sorted, not overlapping, none inside a CR LF) with `text` (line
    // breaks made CR LF) as one change; the caret ends after the last replacement.
    virtual void ReplaceRanges(const std::vector<TextRange>& ranges, const QString& text);
};

// The text held in a string: the model of the text control, used without any window.
class PlainEditorText : public EditorText {
  public:
    PlainEditorText() = default;
    explicit PlainEditorText(const QString& text);

    QString Text() const override { return text_; }
    void SetText(const QString& text) override;
    int TextLength() const override { return static_cast<int>(text_.size()); }
    int SelStart() const override { return start_; }
    int SelLength() const override { return length_; }
    QString SelText() const override { return text_.mid(start_, length_); }
    void SetSelection(int start, int length) override;
    void ReplaceSelection(const QString& text) override;

  private:
    int Snap(int offset) const;

    QString text_;
    int start_ = 0;
    int length_ = 0;
};

// The editor's form of a text: every line break CR LF. Besides CR and LF, the characters that
// the text control takes as breaks (U+2029, U+2028, U+FDD0, U+FDD1) are line breaks too.
QString NormalizeEditorText(const QString& text);
// Every line break as a single LF: the form a text control holds.
QString ToSingleLineBreaks(const QString& text);
