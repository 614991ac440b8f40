#include "editor/html_export.h"

#include "project/html_export_command.h"

void ExportHtml(TForm2& editor) {
    project::ExportHtmlCommand(editor);
}
