#include "app/restore_window.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int kRunRole = Qt::UserRole;
constexpr int kCopyRole = Qt::UserRole + 1;
}  // namespace

RestoreWindow::RestoreWindow(QWidget* owner, recovery::ScanResult scan,
                             std::function<bool(const recovery::CopyInfo&, const QString&)> restore,
                             std::function<void(const QStringList&)> remove)
    : QDialog(owner),
      scan_(std::move(scan)),
      restore_(std::move(restore)),
      remove_(std::move(remove)) {
    setObjectName(QStringLiteral("RestoreWindow"));
    setWindowTitle(QStringLiteral("NUV Tolvek - Восстановление"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        QStringLiteral("Работа прошлого сеанса не была сохранена. Сохранённые копии:"), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    CopyList = new QTreeWidget(this);
    CopyList->setObjectName(QStringLiteral("CopyList"));
    CopyList->setHeaderLabels(
        {QStringLiteral("Время"), QStringLiteral("Символов"), QStringLiteral("Первая строка")});
    CopyList->setRootIsDecorated(false);
    CopyList->setUniformRowHeights(true);
    CopyList->header()->setStretchLastSection(true);
    layout->addWidget(CopyList);

    NoteLabel = new QLabel(this);
    NoteLabel->setObjectName(QStringLiteral("NoteLabel"));
    NoteLabel->setWordWrap(true);
    layout->addWidget(NoteLabel);

    auto* buttons = new QHBoxLayout;
    RestoreButton = new QPushButton(QStringLiteral("Восстановить"), this);
    RestoreButton->setObjectName(QStringLiteral("RestoreButton"));
    RestoreButton->setDefault(true);
    LaterButton = new QPushButton(QStringLiteral("Не сейчас"), this);
    LaterButton->setObjectName(QStringLiteral("LaterButton"));
    DeleteButton = new QPushButton(QStringLiteral("Удалить"), this);
    DeleteButton->setObjectName(QStringLiteral("DeleteButton"));
    buttons->addStretch();
    buttons->addWidget(RestoreButton);
    buttons->addWidget(LaterButton);
    buttons->addWidget(DeleteButton);
    layout->addLayout(buttons);

    connect(RestoreButton, &QPushButton::clicked, this, &RestoreWindow::RestoreButtonClick);
    connect(LaterButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(DeleteButton, &QPushButton::clicked, this, &RestoreWindow::DeleteButtonClick);
    connect(CopyList, &QTreeWidget::itemDoubleClicked, this, &RestoreWindow::RestoreButtonClick);

    Fill();
    ShowNote();
    resize(560, 300);
}

void RestoreWindow::Fill() {
    CopyList->clear();
    for (int r = 0; r < scan_.offered.size(); ++r) {
        const recovery::RunInfo& run = scan_.offered[r];
        for (int c = 0; c < run.copies.size(); ++c) {
            const recovery::CopyHeader& h = run.copies[c].header;
            auto* item = new QTreeWidgetItem(CopyList);
            item->setText(0, QDateTime::fromMSecsSinceEpoch(h.timeMs).toString(
                                 QStringLiteral("dd.MM.yyyy hh:mm:ss")));
            item->setText(1, QString::number(h.characters));
            item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
            item->setText(2, h.firstLine);
            item->setData(0, kRunRole, r);
            item->setData(0, kCopyRole, c);
        }
    }
    CopyList->resizeColumnToContents(0);
    CopyList->resizeColumnToContents(1);
    if (CopyList->topLevelItemCount() > 0) CopyList->setCurrentItem(CopyList->topLevelItem(0));
    RestoreButton->setEnabled(CopyList->topLevelItemCount() > 0);
}

void RestoreWindow::ShowNote() {
    const qsizetype damaged = scan_.damaged.size() + unreadable_.size();
    NoteLabel->setVisible(damaged > 0);
    if (damaged > 0)
        NoteLabel->setText(QStringLiteral("Повреждённых копий пропущено: %1").arg(damaged));
}

void RestoreWindow::RestoreButtonClick() {
    QTreeWidgetItem* item = CopyList->currentItem();
    if (item == nullptr) return;
    const int r = item->data(0, kRunRole).toInt();
    const int c = item->data(0, kCopyRole).toInt();
    const recovery::CopyInfo copy = scan_.offered[r].copies[c];
    try {
        if (!restore_(copy, scan_.offered[r].path)) return;
    } catch (const textfiles::FileError& error) {
        // A copy whose body is damaged: it leaves the list, the others stay on offer.
        unreadable_ << copy.path;
        scan_.offered[r].copies.removeAt(c);
        Fill();
        ShowNote();
        return;
    }
    accept();
}

void RestoreWindow::DeleteButtonClick() {
    QStringList runs;
    for (const recovery::RunInfo& run : scan_.offered) runs << run.path;
    remove_(runs);
    accept();
}
