#include "app/shell_commands.h"

#include <QDesktopServices>

#include "app/about_box.h"
#include "app/window_set.h"

std::function<void(const QUrl&)> OpenInShell = [](const QUrl& url) {
    QDesktopServices::openUrl(url);
};

void HelpCommand(QWidget*) {
    // The desktop's opener has no owner window; the page opens in the browser either way.
    OpenInShell(QUrl(QString::fromLatin1(kHelpPageAddress)));
}

void AboutCommand() {
    if (AboutBox != nullptr) AboutBox->exec();
}
