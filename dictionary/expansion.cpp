#include "dictionary/expansion.h"

#include <QLineEdit>

#include "dictionary/abbreviation.h"
#include "dictionary/dictionary_window.h"
#include "dictionary/variant_chooser.h"
#include "editor/editor_window.h"

void ExpandBeforeCaret(TForm2& editor, TForm3* dictionary, TForm6* chooser, bool firstCapital) {
    if (dictionary == nullptr || chooser == nullptr) return;
    EditorText& memo = editor.MemoText();
    const QString text = memo.Text();
    const int position = memo.SelStart();
    const int start = static_cast<int>(AbbreviationStart(text, position));
    const QString abbreviation = text.mid(start, position - start);
    // A selection that was there is dropped, not replaced: the abbreviation is selected.
    memo.SetSelection(start, static_cast<int>(abbreviation.size()));

    const QStringList variants =
        FindVariants(dictionary->Table->Rows(), abbreviation, firstCapital);
    if (variants.isEmpty()) {
        // Offer the missing entry: the typist types its text and presses Enter.
        dictionary->Edit1->setText(abbreviation);
        dictionary->ShowInFront();
        dictionary->Edit2->setFocus(Qt::OtherFocusReason);
        return;
    }

    chooser->SetVariants(variants);
    editor.History.Push(memo.Text(), memo.SelStart());
    if (variants.size() == 1) {
        memo.ReplaceSelection(chooser->Variant(0));
    } else {
        chooser->N1Click();
        if (const std::optional<QString> picked = chooser->Choose()) memo.ReplaceSelection(*picked);
    }
    editor.History.Push(memo.Text(), memo.SelStart());
}

void OfferSelectionToDictionary(TForm2& editor, TForm3* dictionary) {
    if (dictionary == nullptr) return;
    EditorText& memo = editor.MemoText();
    if (memo.SelLength() == 0) {
        editor.ShowMessage(QStringLiteral("Сначала выделите текст!"));
        return;
    }
    dictionary->Edit2->setText(EntryTextFromSelection(memo.SelText()));
    dictionary->ShowInFront();
    dictionary->Edit1->setFocus(Qt::OtherFocusReason);
}
