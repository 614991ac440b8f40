// The editor window as every window test starts with it: shown, active, the caret in an
// empty text with nothing to undo.
#pragma once

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTest>

#include "editor/editor_window.h"

inline void ShowEmptyEditor(TForm2* editor, QPlainTextEdit* memo) {
    editor->show();
    editor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor));
    memo->setFocus();
    editor->ReplaceText(QString());
    editor->History = TEditHistory();
    editor->History.Push(QString(), 0);
}
