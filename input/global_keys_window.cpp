#include "input/global_keys_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace input {

GlobalKeysWindow::GlobalKeysWindow(std::vector<CommandChoice> commands, Hooks hooks,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window), commands_(std::move(commands)), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("GlobalKeysWindow"));
    setWindowTitle(QStringLiteral("Глобальные клавиши"));
    auto* layout = new QVBoxLayout(this);
    way_ = new QLabel(this);
    way_->setObjectName(QStringLiteral("GlobalKeysWay"));
    way_->setWordWrap(true);
    layout->addWidget(way_);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("GlobalKeysList"));
    list_->setHeaderLabels({QStringLiteral("Команда"), QStringLiteral("Глобальная клавиша")});
    list_->setRootIsDecorated(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    layout->addWidget(list_, 1);
    auto* row = new QHBoxLayout;
    edit_ = new QKeySequenceEdit(this);
    edit_->setObjectName(QStringLiteral("GlobalKeysEdit"));
    auto* assign = new QPushButton(QStringLiteral("Назначить"), this);
    assign->setObjectName(QStringLiteral("GlobalKeysAssign"));
    auto* remove = new QPushButton(QStringLiteral("Убрать"), this);
    remove->setObjectName(QStringLiteral("GlobalKeysRemove"));
    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    row->addWidget(edit_, 1);
    row->addWidget(assign);
    row->addWidget(remove);
    row->addWidget(close);
    layout->addLayout(row);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("GlobalKeysMessage"));
    message_->setWordWrap(true);
    layout->addWidget(message_);
    connect(assign, &QPushButton::clicked, this, [this] { Assign(edit_->keySequence()); });
    connect(remove, &QPushButton::clicked, this, [this] { Assign(QKeySequence()); });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    resize(520, 420);
    Refresh();
}

void GlobalKeysWindow::Refresh() {
    way_->setText(hooks_.way ? hooks_.way() : QString());
    const QMap<QString, QString> keys = hooks_.keys ? hooks_.keys() : QMap<QString, QString>();
    const int current = list_->currentIndex().row();
    list_->clear();
    for (const CommandChoice& c : commands_) {
        auto* item = new QTreeWidgetItem(list_, {c.caption, keys.value(c.id)});
        item->setData(0, Qt::UserRole, c.id);
    }
    if (current >= 0 && current < list_->topLevelItemCount())
        list_->setCurrentItem(list_->topLevelItem(current));
}

void GlobalKeysWindow::ShowRefusal(const QString& message) {
    message_->setText(message);
}

void GlobalKeysWindow::Assign(const QKeySequence& key) {
    QTreeWidgetItem* item = list_->currentItem();
    if (item == nullptr) {
        message_->setText(QStringLiteral("Выберите команду в списке."));
        return;
    }
    if (key.count() > 1) {
        message_->setText(QStringLiteral("Нужна одна клавиша или одно сочетание."));
        return;
    }
    const BindResult result =
        hooks_.bind ? hooks_.bind(item->data(0, Qt::UserRole).toString(), key) : BindResult{};
    message_->setText(result.ok ? QString() : result.message);
    Refresh();
}

}  // namespace input
