// Repairs of text typed in the wrong keyboard mode: case inversion (Caps Lock left on) and
// layout swap (Latin QWERTY against Russian ЙЦУКЕН). Pure functions.
#pragma once

#include <QString>

class EditorText;

// Swaps the case of the 26 basic Latin and the 33 Russian letters; everything else stays.
QString InvertCase(const QString& text);
// Replaces every character by the one the same key gives in the other layout. "." and ","
// exist in both layouts; they always become "ю" and "б".
QString SwapLayout(const QString& text);

// Selects from just after the nearest space, tab, CR or LF before the caret (or from the
// start of the text) up to the caret. Empty when the caret follows such a separator.
void SelectWordBeforeCaret(EditorText& text);
