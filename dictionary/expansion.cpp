#include "dictionary/expansion.h"

#include <QLineEdit>

#include "app/window_set.h"
#include "dictionary/abbreviation.h"
#include "dictionary/dictionary_window.h"
#include "dictionary/variant_chooser.h"
#include "editor/editor_window.h"

void ExpandBeforeCaret(TForm2& editor, bool firstCapital) {
    if (Form3 == nullptr || Form6 == nullptr) return;
    EditorText& memo = editor.MemoText();
    const QString text = memo.Text();
    const int position = memo.SelStart();
    const int start = static_cast<int>(AbbreviationStart(text, position));
    const QString abbreviation = text.mid(start, position - start);
    // A selection that was there is dropped, not replaced: the abbreviation is selected.
    memo.SetSelection(start, static_cast<int>(abbreviation.size()));

    const QStringList variants = FindVariants(Form3->Table->Rows(), abbreviation, firstCapital);
    if (variants.isEmpty()) {
        // Offer the missing entry: the typist types its text and presses Enter.
        Form3->Edit1->setText(abbreviation);
        Form3->ShowInFront();
        Form3->Edit2->setFocus(Qt::OtherFocusReason);
        return;
    }

    Form6->SetVariants(variants);
    editor.History.Push(memo.Text(), memo.SelStart());
    if (variants.size() == 1) {
        memo.ReplaceSelection(Form6->Variant(0));
    } else {
        Form6->N1Click();
        if (const std::optional<QString> picked = Form6->Choose()) memo.ReplaceSelection(*picked);
    }
    editor.History.Push(memo.Text(), memo.SelStart());
}

void OfferSelectionToDictionary(TForm2& editor) {
    if (Form3 == nullptr) return;
    EditorText& memo = editor.MemoText();
    if (memo.SelLength() == 0) {
        editor.ShowMessage(QStringLiteral("Сначала выделите текст!"));
        return;
    }
    Form3->Edit2->setText(EntryTextFromSelection(memo.SelText()));
    Form3->ShowInFront();
    Form3->Edit1->setFocus(Qt::OtherFocusReason);
}
