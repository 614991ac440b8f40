// "Экспорт в HTML" of the editor: the transcript as a page in which every participant's turn
// starts a row with the participant's picture and coloured name; the pictures are copied
// beside the page, which is then opened in the browser. User-interface thread only.
#pragma once

#include <QString>
#include <functional>

#include "textfiles/textfiles.h"

class TForm2;
class TForm5;

namespace project {

// Replaceable (tests). Unset members use the real dialog and the desktop's browser.
struct HtmlExportHooks {
    // The export's save dialog: `path` is the last name and receives the chosen one; false
    // when cancelled.
    std::function<bool(QString& path)> RunSaveDialog;
    // Opens the written page.
    std::function<void(const QString& path)> OpenPage;
};
HtmlExportHooks& HtmlHooks();

// Filter of the export's save dialog.
QString HtmlDialogFilter();

// The encoding a page is written in for the transcript dialog's choice: UTF-7, which no
// browser reads, becomes UTF-8.
textfiles::Encoding PageEncoding(textfiles::Encoding chosen);
// The name of that encoding for <meta charset>.
QString CharsetName(textfiles::Encoding encoding);
// Whether a character can be written in the encoding as it is (otherwise it goes in as a
// numeric reference).
bool Representable(textfiles::Encoding encoding, char32_t c);

// Copies a picture beside the page, replacing a file of that name atomically. Failures are
// ignored, a picture that already is the target is left alone.
void CopyPicture(const QString& source, const QString& target);

// The whole command on the editor's text and the participants table (the window set's).
void ExportHtmlCommand(TForm2& editor, TForm5& participants);

}  // namespace project
