#include "app/keys_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "commands/key_file.h"

namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kGlobalColumn = 3;

GlobalKeyLink& Link() {
    static GlobalKeyLink link;
    return link;
}
QPointer<KeysDialog>& Open() {
    static QPointer<KeysDialog> open;
    return open;
}

QString KeyText(const QList<QKeySequence>& keys, int index) {
    return index < keys.size() ? keys[index].toString(QKeySequence::NativeText) : QString();
}

// The first chord of what the field recorded: the dialog takes single keys.
QKeySequence FirstChord(const QKeySequenceEdit* edit) {
    const QKeySequence recorded = edit->keySequence();
    return recorded.isEmpty() ? QKeySequence() : QKeySequence(recorded[0]);
}

}  // namespace

KeysDialog::KeysDialog(commands::Registry& registry, QString path, QWidget* parent,
                       GlobalKeyLink global)
    : QDialog(parent),
      registry_(registry),
      path_(std::move(path)),
      before_(registry.Snapshot()),
      link_(std::move(global)) {
    setObjectName(QStringLiteral("KeysDialog"));
    setWindowTitle(QStringLiteral("Клавиши"));
    resize(560, 520);
    auto* layout = new QVBoxLayout(this);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("CommandList"));
    QStringList columns = {QStringLiteral("Команда"), QStringLiteral("Клавиша"),
                           QStringLiteral("Вторая клавиша")};
    if (link_) columns << QStringLiteral("Глобальная");
    list_->setColumnCount(columns.size());
    list_->setHeaderLabels(columns);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list_->setRootIsDecorated(false);
    layout->addWidget(list_);

    auto* fields = new QFormLayout();
    first_ = new QKeySequenceEdit(this);
    first_->setObjectName(QStringLiteral("FirstKey"));
    second_ = new QKeySequenceEdit(this);
    second_->setObjectName(QStringLiteral("SecondKey"));
    auto* clear = new QPushButton(QStringLiteral("Без клавиш"), this);
    clear->setObjectName(QStringLiteral("ClearKeys"));
    auto* firstRow = new QHBoxLayout();
    firstRow->addWidget(first_);
    firstRow->addWidget(clear);
    fields->addRow(QStringLiteral("Клавиша:"), firstRow);
    fields->addRow(QStringLiteral("Вторая клавиша:"), second_);
    if (link_) {
        globalBox_ = new QCheckBox(QStringLiteral("Глобальная клавиша"), this);
        globalBox_->setObjectName(QStringLiteral("GlobalKeyBox"));
        globalBox_->setToolTip(
            QStringLiteral("Работает, даже когда вы печатаете в другой программе"));
        global_ = new QKeySequenceEdit(this);
        global_->setObjectName(QStringLiteral("GlobalKey"));
        fields->addRow(globalBox_, global_);
        way_ = new QLabel(link_.way ? link_.way() : QString(), this);
        way_->setObjectName(QStringLiteral("GlobalKeyWay"));
        way_->setWordWrap(true);
        fields->addRow(way_);
        connect(globalBox_, &QCheckBox::toggled, this, [this](bool on) {
            global_->setEnabled(on);
            if (!on) {
                const QSignalBlocker quiet(global_);
                global_->clear();
                ApplyGlobal();
            }
        });
        connect(global_, &QKeySequenceEdit::editingFinished, this, &KeysDialog::ApplyGlobal);
    }
    layout->addLayout(fields);

    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("KeysMessage"));
    message_->setWordWrap(true);
    message_->setStyleSheet(QStringLiteral("color: #b00000"));
    layout->addWidget(message_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* defaults =
        buttons->addButton(QStringLiteral("По умолчанию"), QDialogButtonBox::ResetRole);
    defaults->setObjectName(QStringLiteral("RestoreDefaults"));
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &KeysDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &KeysDialog::reject);
    connect(defaults, &QPushButton::clicked, this, [this] {
        registry_.RestoreDefaults();
        message_->clear();
        Fill();
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        first_->clear();
        second_->clear();
        ApplyFields();
    });
    connect(first_, &QKeySequenceEdit::editingFinished, this, &KeysDialog::ApplyFields);
    connect(second_, &QKeySequenceEdit::editingFinished, this, &KeysDialog::ApplyFields);
    connect(list_, &QTreeWidget::currentItemChanged, this, &KeysDialog::ShowSelected);
    Fill();
}

void KeysDialog::Fill() {
    const QString selected = SelectedId();
    list_->clear();
    QHash<QString, QTreeWidgetItem*> groups;
    QTreeWidgetItem* current = nullptr;
    for (const QString& id : registry_.Ids()) {
        const commands::Command* command = registry_.Find(id);
        QTreeWidgetItem*& group = groups[command->window];
        if (group == nullptr) {
            group = new QTreeWidgetItem(list_, {command->window});
            group->setFlags(Qt::ItemIsEnabled);
            QFont bold = group->font(0);
            bold.setBold(true);
            group->setFont(0, bold);
            group->setExpanded(true);
        }
        const QList<QKeySequence> keys = registry_.Keys(id);
        auto* row =
            new QTreeWidgetItem(group, {command->caption, KeyText(keys, 0), KeyText(keys, 1)});
        if (link_) row->setText(kGlobalColumn, link_.get(id).toString(QKeySequence::NativeText));
        row->setData(0, kIdRole, id);
        row->setToolTip(0, id);
        if (id == selected) current = row;
    }
    list_->expandAll();
    if (current != nullptr) list_->setCurrentItem(current);
    ShowSelected();
}

QString KeysDialog::SelectedId() const {
    const QTreeWidgetItem* item = list_ != nullptr ? list_->currentItem() : nullptr;
    return item != nullptr ? item->data(0, kIdRole).toString() : QString();
}

void KeysDialog::SelectCommand(const QString& id) {
    for (QTreeWidgetItemIterator it(list_); *it; ++it) {
        if ((*it)->data(0, kIdRole).toString() == id) {
            list_->setCurrentItem(*it);
            return;
        }
    }
}

void KeysDialog::ShowSelected() {
    const QString id = SelectedId();
    const QList<QKeySequence> keys = registry_.Keys(id);
    const QSignalBlocker quietFirst(first_);
    const QSignalBlocker quietSecond(second_);
    first_->setKeySequence(keys.value(0));
    second_->setKeySequence(keys.value(1));
    first_->setEnabled(!id.isEmpty());
    second_->setEnabled(!id.isEmpty());
    if (link_) {
        const QKeySequence key = id.isEmpty() ? QKeySequence() : link_.get(id);
        const QSignalBlocker quietBox(globalBox_);
        const QSignalBlocker quietKey(global_);
        globalBox_->setChecked(!key.isEmpty());
        globalBox_->setEnabled(!id.isEmpty());
        global_->setKeySequence(key);
        global_->setEnabled(!key.isEmpty());
    }
}

bool KeysDialog::ApplyGlobal() {
    const QString id = SelectedId();
    if (!link_ || id.isEmpty()) return false;
    const QString refusal = link_.set(id, FirstChord(global_));
    if (!refusal.isEmpty())
        SayProblem(refusal);
    else
        message_->clear();
    if (QTreeWidgetItem* row = list_->currentItem())
        row->setText(kGlobalColumn, link_.get(id).toString(QKeySequence::NativeText));
    if (way_ && link_.way) way_->setText(link_.way());
    // A refused key leaves the field, but the box stays on so another key can be tried.
    const bool wanted = globalBox_->isChecked();
    ShowSelected();
    if (!refusal.isEmpty() && wanted) {
        const QSignalBlocker quiet(globalBox_);
        globalBox_->setChecked(true);
        global_->setEnabled(true);
    }
    return refusal.isEmpty();
}

void KeysDialog::SayProblem(const QString& text) {
    message_->setText(text);
}

bool KeysDialog::ApplyFields() {
    const QString id = SelectedId();
    if (id.isEmpty()) return false;
    // The second key alone is the first.
    QList<QKeySequence> keys;
    for (const QKeySequence& key : {FirstChord(first_), FirstChord(second_)})
        if (!key.isEmpty()) keys << key;
    commands::KeyProblem problem = commands::KeyProblem::None;
    QString other;
    const bool taken = registry_.SetKeys(id, keys, &problem, &other);
    if (!taken) {
        const commands::Command* holder = registry_.Find(other);
        SayProblem(commands::KeyProblemText(problem, holder != nullptr ? holder->caption : other));
        ShowSelected();
        return false;
    }
    message_->clear();
    if (QTreeWidgetItem* row = list_->currentItem()) {
        const QList<QKeySequence> now = registry_.Keys(id);
        row->setText(1, KeyText(now, 0));
        row->setText(2, KeyText(now, 1));
    }
    ShowSelected();
    return true;
}

QString KeysDialog::Message() const {
    return message_->text();
}

void KeysDialog::accept() {
    QString error;
    if (!commands::WriteKeyFile(path_, registry_, &error)) {
        SayProblem(QStringLiteral("Клавиши не сохранены: %1").arg(error));
        return;
    }
    QDialog::accept();
}

void KeysDialog::reject() {
    registry_.Restore(before_);
    QDialog::reject();
}

void KeysCommand(QWidget* owner, commands::Registry& registry) {
    KeysDialog dialog(registry, commands::KeyFilePath(), owner, Link());
    Open() = &dialog;
    dialog.exec();
}

void SetGlobalKeyLink(GlobalKeyLink link) {
    Link() = std::move(link);
}

KeysDialog* OpenKeysDialog() {
    return Open().data();
}
