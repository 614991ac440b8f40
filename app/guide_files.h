// The user guide shipped with the program: where its start page is, and the block of its
// page that lists every key, which is generated from the program's own key bindings.
// No widgets; any thread.
#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace guide {

// The installed guide relative to the program's folder (bin/ → share/doc/nuvtolvek/guide/).
inline constexpr char kInstalledPage[] = "../share/doc/nuvtolvek/guide/index.html";
// The start page's name inside the guide's folder.
inline constexpr char kStartPage[] = "index.html";
// The section of the start page that tells the version and the licences.
inline constexpr char kAboutSection[] = "about";

// The guide's start page: the installed copy beside `programDir` when there is one, else the
// copy in `sourceGuideDir` (a program run from its build folder); empty when neither exists.
QString FindStartPage(const QString& programDir, const QString& sourceGuideDir);

// The address of `page`, at `section` when that is not empty.
QUrl PageAddress(const QString& page, const QString& section = {});

// One line of the keys table.
struct KeyRow {
    QString keys;     // as written on the keyboard: "Shift+F9", "Ctrl+U, Ctrl+Z"
    QString command;  // what the key does, as the program names it
    QString place;  // where it acts: "во всех окнах", "Редактор, меню «Словарь»"
    bool operator==(const KeyRow&) const = default;
};

// The lines that open and close the generated block in the guide's page.
inline constexpr char kKeysBegin[] = "<!-- keys: begin (scripts/screenshots writes this block) -->";
inline constexpr char kKeysEnd[] = "<!-- keys: end -->";

// The table as HTML: one <tr> per row, every key in its own <kbd>, text escaped.
QString KeysTableHtml(const QList<KeyRow>& rows);

// The text between the two marker lines (without them); nothing when either is missing,
// out of order or doubled.
std::optional<QString> KeysBlock(const QString& page);

// `page` with the text between the markers replaced by `block`; nothing when the markers
// are not there exactly once each.
std::optional<QString> WithKeysBlock(const QString& page, const QString& block);

}  // namespace guide
