// The marks drawn over the editor's text (find highlights), each feature keeping its own
// layer; the text control shows them all together. The spelling underlines paint themselves.
// User-interface thread only.
#pragma once

#include <QList>
#include <QTextEdit>
#include <array>

class QPlainTextEdit;

class MemoMarks {
  public:
    enum Layer { Find, kLayerCount };

    explicit MemoMarks(QPlainTextEdit* memo) : memo_(memo) {}
    void Set(Layer layer, QList<QTextEdit::ExtraSelection> marks);
    const QList<QTextEdit::ExtraSelection>& Get(Layer layer) const { return layers_[layer]; }

  private:
    QPlainTextEdit* memo_;
    std::array<QList<QTextEdit::ExtraSelection>, kLayerCount> layers_;
};

// The part of the text control's document that is on screen, in control positions.
struct VisibleSpan {
    int first = 0;
    int last = 0;
};
VisibleSpan VisibleBlocks(const QPlainTextEdit* memo);
