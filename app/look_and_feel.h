// The look every window shares, set once at start-up before the windows are made.
// User-interface thread only.
#pragma once

#include <QString>
#include <QStringList>

class QApplication;
class QCoreApplication;

// Where Debian's fonts-wine keeps its free fonts with the metrics of Tahoma and MS Sans Serif.
inline constexpr char kWineFontsFolder[] = "/usr/share/wine/fonts";

// Tahoma 11 pixels high for every window, menus and status bars included (the About window
// sets its own), and the toolkit's own texts (file, colour and font dialogs, message-box
// buttons) in Russian.
void SetUpLookAndFeel(QApplication& app);

// Registers Tahoma (regular; bold is drawn from it) and MS Sans Serif from `folder`, which
// fontconfig does not search; returns the families registered.
QStringList RegisterWindowsFonts(const QString& folder = QString::fromLatin1(kWineFontsFolder));

// Loads Qt's Russian translation into `app`; false when it is not installed.
bool InstallRussianToolkitTexts(QCoreApplication& app);
