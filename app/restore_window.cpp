#include "app/restore_window.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
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
    CopyList->setHeaderLabels({QStringLiteral("Время"), QStringLiteral("Символов"),
                               QStringLiteral("Последняя изменённая строка")});
    CopyList->setToolTip(QStringLiteral("Более ранние копии — в раскрытой строке"));
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
    connect(CopyList, &QTreeWidget::itemExpanded, this, &RestoreWindow::FillOlderCopies);
    ConfirmDelete = [this] {
        QMessageBox box(
            QMessageBox::Warning, windowTitle(),
            QStringLiteral("Удалить несохранённые копии? Восстановить их будет нельзя."),
            QMessageBox::Ok | QMessageBox::Cancel, this);
        return box.exec() == QMessageBox::Ok;
    };

    Fill();
    ShowNote();
    resize(560, 300);
}

namespace {

// The text of a copy, or nothing when its body cannot be read.
QString CopyText(const recovery::CopyInfo& copy) {
    try {
        return recovery::ReadCopy(copy.path).text;
    } catch (const textfiles::FileError&) {
        return QString();
    }
}

void SetCopyColumns(QTreeWidgetItem* item, const recovery::CopyHeader& h) {
    item->setText(0, QDateTime::fromMSecsSinceEpoch(h.timeMs).toString(
                         QStringLiteral("dd.MM.yyyy hh:mm:ss")));
    item->setText(1, QString::number(h.characters));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
}

}  // namespace

void RestoreWindow::Fill() {
    CopyList->clear();
    for (int r = 0; r < scan_.offered.size(); ++r) {
        const recovery::RunInfo& run = scan_.offered[r];
        if (run.copies.isEmpty()) continue;
        // The run's newest copy; what it changed against the one before it.
        auto* item = new QTreeWidgetItem(CopyList);
        SetCopyColumns(item, run.copies[0].header);
        item->setText(2, recovery::LastChangedLine(
                             run.copies.size() > 1 ? CopyText(run.copies[1]) : QString(),
                             CopyText(run.copies[0])));
        item->setData(0, kRunRole, r);
        item->setData(0, kCopyRole, 0);
        // The older ones are read when the row is opened.
        if (run.copies.size() > 1) {
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
            item->setText(0, item->text(0) + QStringLiteral("  (+%1)").arg(run.copies.size() - 1));
        }
    }
    CopyList->resizeColumnToContents(0);
    CopyList->resizeColumnToContents(1);
    if (CopyList->topLevelItemCount() > 0) CopyList->setCurrentItem(CopyList->topLevelItem(0));
    RestoreButton->setEnabled(CopyList->topLevelItemCount() > 0);
}

void RestoreWindow::FillOlderCopies(QTreeWidgetItem* runRow) {
    if (runRow->parent() != nullptr || runRow->childCount() > 0) return;
    const int r = runRow->data(0, kRunRole).toInt();
    const QList<recovery::CopyInfo>& copies = scan_.offered[r].copies;
    QStringList texts;
    for (int c = 1; c < copies.size(); ++c) texts << CopyText(copies[c]);
    for (int c = 1; c < copies.size(); ++c) {
        // Each row says what it changed against the copy before it (the next older one).
        auto* item = new QTreeWidgetItem(runRow);
        SetCopyColumns(item, copies[c].header);
        item->setText(
            2, recovery::LastChangedLine(c < texts.size() ? texts[c] : QString(), texts[c - 1]));
        item->setData(0, kRunRole, r);
        item->setData(0, kCopyRole, c);
    }
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
    if (ConfirmDelete && !ConfirmDelete()) return;
    QStringList runs;
    for (const recovery::RunInfo& run : scan_.offered) runs << run.path;
    remove_(runs);
    accept();
}
