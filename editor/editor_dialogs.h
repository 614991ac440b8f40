// The editor's own dialogs: the text-file dialog with its encoding selector, and the font
// dialog with the text's colour. The window runs them through replaceable hooks.
#pragma once

#include <QColor>
#include <QFont>

class QWidget;
struct TextFileDialog;

// Runs a text-file dialog on `state`; true when confirmed (FileName and Encoding set).
bool RunQtTextFileDialog(QWidget* owner, TextFileDialog& state, bool save);
// Runs the font dialog with a colour button; true when confirmed.
bool RunQtFontDialog(QWidget* owner, QFont& font, QColor& color);
