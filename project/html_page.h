// Building the HTML page of a transcript: the path helpers, the turn rows and the page
// text. No files and no windows here.
//
// Pure functions; any thread.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>

#include "project/project_file.h"

namespace project {

// Path helpers. "/" and "\" both separate folders; the full stop starts an extension.
// The tail from the last "." (dot included), searched over the whole path; "" without a dot.
QString ExtensionOf(const QString& path);
// The part after the last separator; the whole path when there is none.
QString FileNameOf(const QString& path);
// The part before the last separator, without it; the whole path when there is none.
QString FolderOf(const QString& path);

// Replaces every occurrence of `pattern`, scanning from the start: matches never overlap and
// the replacement is never rescanned. An empty pattern changes nothing.
QString ReplaceAllText(const QString& text, const QString& pattern, const QString& replacement);

// "#rrggbb" (lower case) from a colour value with red in the lowest byte; the top byte is
// ignored.
QString ColorToHtml(std::uint32_t color);

// The colour text of a table cell as a 32-bit signed decimal integer; nullopt when it is not.
std::optional<std::int32_t> ParseColorText(const QString& text);

// &, <, >, ' and " as entities.
QString HtmlEscape(const QString& text);

// The same, with every timestamp ("[00:12:07]") wrapped in <span class="timestamp"> so that
// a page can style them; the rest of the text as HtmlEscape gives it.
QString HtmlEscapeMarkingTimestamps(const QString& text);

// A participant with a name but no valid colour: the export stops before writing anything.
class HtmlExportError : public std::runtime_error {
  public:
    explicit HtmlExportError(const QString& message);
    const QString& message() const { return message_; }

  private:
    QString message_;
};

// The row that replaces a turn marker "[name]": closes the previous row and opens one with
// the picture (named by its file name; none when empty) and the name in bold in its colour.
// `pictureName` and `name` are given as typed and escaped here.
QString TurnRow(const QString& pictureName, const QString& name, const QString& htmlColor);

// The whole page, lines ended by CR LF. `transcript` is the editor's text (CR LF breaks);
// participants 1 … 10 replace their markers in that order, each pass over the text left by
// the passes before, but only ever over the transcript's own text, never inside rows already
// made. `charset` goes into the page's <meta charset>. `representable` tells which
// characters the page's encoding can hold; others are written as numeric references.
// Throws HtmlExportError for a named participant whose colour is not an integer.
QString BuildHtmlPage(const QString& transcript, const ParticipantTable& participants,
                      const QString& charset,
                      const std::function<bool(char32_t)>& representable = {});

// The page's file name: kept when its extension is ".htm" or ".html" in any case, otherwise
// with ".html" appended.
QString HtmlFileName(const QString& chosen);

// Where a participant's picture is copied: beside the page, under the picture's own name.
QString PictureCopyPath(const QString& pagePath, const QString& picturePath);

}  // namespace project
