#include "dictionary/expansion.h"

// Filled in with the dictionary window.
void ExpandBeforeCaret(TForm2&, bool) {}
void OfferSelectionToDictionary(TForm2&) {}
