#include "app/about_box.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "app/guide_files.h"
#include "app/program_icon.h"
#include "app/shell_commands.h"

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("О программе"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(298, 213);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);

    // A raised panel inside a lowered bevel.
    auto* outer = new QFrame(this);
    outer->setObjectName(QStringLiteral("Panel1"));
    outer->setGeometry(8, 8, 281, 161);
    outer->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* panel = new QFrame(outer);
    panel->setGeometry(1, 1, 279, 159);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);

    auto* icon = new QLabel(panel);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setGeometry(8, 8, 65, 57);
    icon->setPixmap(ProgramPicture(64));
    icon->setScaledContents(true);

    QFont bold = font;
    bold.setBold(true);
    ProductName = new QLabel(QStringLiteral("NUV Tolvek"), panel);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    ProductName->setFont(bold);
    ProductName->setGeometry(88, 16, 180, 16);
    // The build's own version (the application carries it), never a number typed here.
    Version = new QLabel(QStringLiteral("Версия ") + QCoreApplication::applicationVersion(), panel);
    Version->setObjectName(QStringLiteral("Version"));
    Version->setFont(bold);
    Version->setGeometry(88, 40, 180, 16);
    Copyright = new QLabel(QStringLiteral("Помощник в расшифровке аудиозаписей"), panel);
    Copyright->setObjectName(QStringLiteral("Copyright"));
    Copyright->setGeometry(8, 80, 263, 16);

    Comments = new QLabel(QStringLiteral("Свободная программа: GNU GPL версии 3 или новее. "
                                         "Руководство пользователя: лицензии, библиотеки"),
                          panel);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setGeometry(8, 104, 263, 39);
    Comments->setWordWrap(true);
    Comments->setCursor(Qt::PointingHandCursor);
    QPalette linkColours = Comments->palette();
    linkColours.setColor(QPalette::WindowText, linkColours.color(QPalette::Link));
    Comments->setPalette(linkColours);
    Comments->installEventFilter(this);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(111, 178, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Comments && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        OpenGuide(this, QString::fromLatin1(guide::kAboutSection));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
