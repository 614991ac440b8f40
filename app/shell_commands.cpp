#include "app/shell_commands.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>

#include "app/about_box.h"
#include "app/application.h"
#include "app/guide_files.h"
#include "app/guide_viewer.h"
#include "app/window_set.h"

std::function<bool(const QUrl&)> OpenInShell = [](const QUrl& url) {
    return QDesktopServices::openUrl(url);
};

void OpenInShellOrSay(const QUrl& url) {
    if (!OpenInShell(url)) ShowErrorDialog(ShellOpenFailedMessage(url));
}

void OpenSavedPageOrSay(const QString& path) {
    if (OpenInShell(QUrl::fromLocalFile(path))) return;
    ShowErrorDialog(QStringLiteral("Страница сохранена: %1\nОткрыть её в браузере не удалось.")
                        .arg(QDir::toNativeSeparators(path)));
}

QString ShellOpenFailedMessage(const QUrl& url) {
    if (url.isLocalFile()) {
        return QStringLiteral("Не удалось открыть файл: %1")
            .arg(QDir::toNativeSeparators(url.toLocalFile()));
    }
    return QStringLiteral("Не удалось открыть страницу в браузере: %1").arg(url.toDisplayString());
}

QString GuideStartPage() {
    return guide::FindStartPage(QCoreApplication::applicationDirPath(),
                                QString::fromUtf8(NUV_GUIDE_SOURCE_DIR));
}

void OpenGuide(QWidget* owner, const QString& section) {
    const QString page = GuideStartPage();
    if (page.isEmpty()) {
        ShowGuideViewer(owner, QUrl());  // says where the guide was looked for
        return;
    }
    // The program's own viewer: instant and offline. A browser that starts and then fails
    // would show nothing at all; the viewer has a button for the browser.
    ShowGuideViewer(owner, guide::PageAddress(page, section));
}

void HelpCommand(QWidget* owner) {
    OpenGuide(owner, QString());
}

void AboutCommand() {
    if (AboutBox != nullptr) AboutBox->exec();
}
