#include "editor/text_transforms.h"

#include <array>

#include "editor/editor_text.h"

namespace {

// A table of two strings of equal length: the character at position k of `from` becomes
// the character at position k of `to`; the first occurrence in `from` wins.
class CharTable {
  public:
    CharTable(const QString& from, const QString& to) {
        map_.fill(0);
        for (qsizetype k = 0; k < from.size() && k < to.size(); ++k) {
            char16_t& slot = map_[from[k].unicode()];
            if (slot == 0) slot = to[k].unicode();
        }
    }
    QString Apply(const QString& text) const {
        QString out(text);
        char16_t* data = reinterpret_cast<char16_t*>(out.data());
        for (qsizetype i = 0; i < out.size(); ++i) {
            const char16_t mapped = map_[data[i]];
            if (mapped != 0) data[i] = mapped;
        }
        return out;
    }

  private:
    // Zero means "not in the table"; U+0000 itself is never in a table.
    std::array<char16_t, 65536> map_;
};

const CharTable& InvertCaseTable() {
    static const CharTable table(
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                       "абвгдеёжзийклмнопрстуфхцчшщъыьэюяАБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"),
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                       "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя"));
    return table;
}

const CharTable& SwapLayoutTable() {
    // Position k of a Latin row is the same key as position k of the Cyrillic row below it.
    static const QString latin1 = QStringLiteral("`qwertyuiop[]asdfghjkl;'zxcvbnm,./");
    static const QString latin2 = QStringLiteral("~#QWERTYUIOP{}ASDFGHJKL:\"ZXCVBNM<>?");
    static const QString cyrillic1 = QStringLiteral("ёйцукенгшщзхъфывапролджэячсмитьбю.");
    static const QString cyrillic2 = QStringLiteral("Ё№ЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮ,");
    static const CharTable table(latin1 + latin2 + cyrillic1 + cyrillic2,
                                 cyrillic1 + cyrillic2 + latin1 + latin2);
    return table;
}

bool IsWordSeparator(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

}  // namespace

QString InvertCase(const QString& text) {
    return InvertCaseTable().Apply(text);
}

QString SwapLayout(const QString& text) {
    return SwapLayoutTable().Apply(text);
}

void SelectWordBeforeCaret(EditorText& editor) {
    const int caret = editor.SelStart();
    if (caret <= 0) {
        editor.SetSelection(0, 0);
        return;
    }
    const QString text = editor.Text();
    int n = caret;
    while (n > 0 && !IsWordSeparator(text[n - 1])) --n;
    editor.SetSelection(n, caret - n);
}
