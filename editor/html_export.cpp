#include "editor/html_export.h"

// Filled in with the page builder.
void ExportHtml(TForm2&) {}
