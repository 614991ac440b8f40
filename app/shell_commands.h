// The commands every window's menu shares: help and about, and the product's web
// addresses. User-interface thread only.
#pragma once

#include <QUrl>
#include <functional>

class QWidget;

// The product's help page and its update page, opened in the default browser.
inline constexpr char kHelpPageAddress[] = "https://nuvtolvek.example.org/help/";
inline constexpr char kUpdatePageAddress[] = "https://nuvtolvek.example.org/download/";

// Asks the desktop to open an address in its default program; the result is not
// examined. Tests replace it to record the addresses instead.
extern std::function<void(const QUrl&)> OpenInShell;

// "Справка" (F1): opens the help page. `owner` is the calling window.
void HelpCommand(QWidget* owner);
// "О программе": shows the About window modally and returns when it closes.
void AboutCommand();
