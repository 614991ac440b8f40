// The editor's text interface over the word-wrapped text control: translates between the
// program's offsets (CR LF counted as two) and the control's (one unit per line break).
// User-interface thread only.
#pragma once

#include <memory>

#include "editor/editor_commands.h"
#include "editor/editor_text.h"

class QPlainTextEdit;

class MemoText : public EditorText {
  public:
    explicit MemoText(QPlainTextEdit* memo);

    QString Text() const override;
    void SetText(const QString& text) override;
    int TextLength() const override;
    int SelStart() const override;
    int SelLength() const override;
    QString SelText() const override;
    void SetSelection(int start, int length) override;
    void ReplaceSelection(const QString& text) override;
    // Edits only the ranges, so the layout of the rest of a long text is kept.
    void ReplaceRanges(const std::vector<TextRange>& ranges, const QString& text) override;

    // Display-line position of the selection's end, for the status bar. Lays out any block
    // the control has not laid out yet, so the count covers the whole text.
    CaretPlace CaretLine() const;

    // Offset conversions: control position ↔ offset with CR LF counted as two.
    int ToCrLf(int controlPos) const;
    int ToControl(int crLfOffset) const;

  private:
    // The whole text is asked for several times per command (snapshots before and after);
    // it is rebuilt only after the document changed.
    struct TextCache {
        QString text;
        bool valid = false;
    };

    QPlainTextEdit* memo_;
    std::shared_ptr<TextCache> cache_ = std::make_shared<TextCache>();
};
