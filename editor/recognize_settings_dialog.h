// "Настройки" → "Распознавание…": which recogniser drafts the text, its program, model and
// language.
#pragma once

#include "recognize/recognizer.h"

class QWidget;

// Shows the settings of `settings` and changes them when confirmed (true).
bool RunRecognizeSettingsDialog(QWidget* owner, recognize::Settings& settings);
