// Name filters of the file dialogs. User-interface thread only.
#pragma once

class QFileDialog;
class QString;

// Sets `filters` ("caption (patterns)" entries joined by ";;", as QFileDialog::setNameFilter
// takes them) on the dialog, each shown with its caption exactly. The "*.*" of an "all files"
// entry matches every name: Qt takes it literally, so a name without a dot (a project saved
// as "a") would not be listed.
void SetDialogNameFilters(QFileDialog& dialog, const QString& filters);
