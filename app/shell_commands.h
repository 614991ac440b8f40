// The commands every window's menu shares: help and about, and the user guide they open.
// User-interface thread only.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

// Asks the desktop to open an address in its default program; false when the desktop
// refused it. Tests replace it to record the addresses instead.
extern std::function<bool(const QUrl&)> OpenInShell;

// Opens an address or a local file through OpenInShell; when the desktop refuses, a message
// names the address or the file, and the program goes on.
void OpenInShellOrSay(const QUrl& url);
// That message: a local file by its path, anything else by its address.
QString ShellOpenFailedMessage(const QUrl& url);
// Opens a page the program has just written (an export) in the browser; when the desktop
// refuses, says that the page was saved and only opening it failed.
void OpenSavedPageOrSay(const QString& path);

// "Справка" (F1): opens the user guide in the program's own viewer (guide_viewer.h).
// `owner` is the calling window.
void HelpCommand(QWidget* owner);
// Opens the guide the same way at one of its sections (an anchor of the start page).
void OpenGuide(QWidget* owner, const QString& section);
// The guide's start page as this program finds it (installed copy, else the source tree's);
// empty when there is none.
QString GuideStartPage();

// "О программе": shows the About window modally and returns when it closes.
void AboutCommand();
