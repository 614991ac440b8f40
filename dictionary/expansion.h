// Abbreviation expansion in the editor and offering text to the dictionary.
// User-interface thread only.
#pragma once

class TForm2;
class TForm3;
class TForm6;

// F9 (firstCapital false) and Shift+F9 (true): expands the abbreviation before the caret.
void ExpandBeforeCaret(TForm2& editor, TForm3* dictionary, TForm6* chooser, bool firstCapital);
// F8: offers the editor's selected text to the dictionary window.
void OfferSelectionToDictionary(TForm2& editor, TForm3* dictionary);
