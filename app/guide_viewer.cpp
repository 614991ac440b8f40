#include "app/guide_viewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/guide_files.h"
#include "app/shell_commands.h"

GuideViewer::GuideViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("GuideViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("NUV Tolvek - Руководство пользователя"));
    resize(800, 640);

    auto* back = new QPushButton(QStringLiteral("Назад"), this);
    back->setObjectName(QStringLiteral("GuideBack"));
    auto* home = new QPushButton(QStringLiteral("В начало"), this);
    home->setObjectName(QStringLiteral("GuideHome"));
    Text = new QTextBrowser(this);
    Text->setObjectName(QStringLiteral("GuideText"));
    // Addresses outside the guide go to the desktop; the guide's own pages stay here.
    Text->setOpenExternalLinks(true);
    InBrowser = new QPushButton(QStringLiteral("Открыть в браузере"), this);
    InBrowser->setObjectName(QStringLiteral("GuideInBrowser"));
    connect(InBrowser, &QPushButton::clicked, this, [this] {
        if (!Text->source().isEmpty()) OpenInShellOrSay(Text->source());
    });
    back->setEnabled(false);
    connect(back, &QPushButton::clicked, Text, &QTextBrowser::backward);
    connect(home, &QPushButton::clicked, Text, &QTextBrowser::home);
    connect(Text, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(home);
    buttons->addStretch();
    buttons->addWidget(InBrowser);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(Text);
}

void GuideViewer::Show(const QUrl& page) {
    if (page.isEmpty()) {
        const QString expected = QDir::cleanPath(
            QDir(QCoreApplication::applicationDirPath()).filePath(guide::kInstalledPage));
        Text->setHtml(QStringLiteral("<h1>Руководство пользователя не найдено</h1>"
                                     "<p>Программа искала его здесь: %1</p>")
                          .arg(expected.toHtmlEscaped()));
    } else {
        Text->setSource(page);
    }
    show();
    raise();
    activateWindow();
}

void ShowGuideViewer(QWidget* owner, const QUrl& page) {
    // Kept while its owner lives; a later F1 reuses it.
    static QPointer<GuideViewer> viewer;
    if (viewer == nullptr) viewer = new GuideViewer(owner != nullptr ? owner->window() : nullptr);
    viewer->Show(page);
}
