#include "input/pedal_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "input/pedal_manager.h"

namespace input {
namespace {

const char* const kPedalNames[kMaxPedals] = {"Левая", "Средняя", "Правая", "Четвёртая"};

void Light(QLabel* lamp, bool down) {
    lamp->setStyleSheet(
        down ? QStringLiteral("background:#2e7d32;color:white;border:1px solid #1b5e20")
             : QStringLiteral("background:#eeeeee;color:black;border:1px solid #9e9e9e"));
    lamp->setProperty("down", down);
}

}  // namespace

PedalWindow::PedalWindow(PedalManager& manager, PedalActions& actions,
                         std::vector<CommandChoice> commands, InputSettings settings,
                         std::function<void(const InputSettings&)> save, QWidget* parent)
    : QWidget(parent, Qt::Window),
      manager_(manager),
      actions_(actions),
      commands_(std::move(commands)),
      settings_(std::move(settings)),
      save_(std::move(save)) {
    setObjectName(QStringLiteral("PedalWindow"));
    setWindowTitle(QStringLiteral("Педаль"));
    auto* layout = new QVBoxLayout(this);

    layout->addWidget(new QLabel(QStringLiteral("Найденные педали:"), this));
    devices_ = new QListWidget(this);
    devices_->setObjectName(QStringLiteral("PedalDevices"));
    devices_->setMinimumHeight(70);
    layout->addWidget(devices_);

    auto* lamps = new QHBoxLayout;
    for (int pedal = 0; pedal < kMaxPedals; ++pedal) {
        lamps_[pedal] = new QLabel(QString::fromUtf8(kPedalNames[pedal]), this);
        lamps_[pedal]->setObjectName(QStringLiteral("PedalLamp%1").arg(pedal));
        lamps_[pedal]->setAlignment(Qt::AlignCenter);
        lamps_[pedal]->setMinimumSize(80, 36);
        Light(lamps_[pedal], false);
        lamps->addWidget(lamps_[pedal]);
    }
    layout->addLayout(lamps);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Педаль"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Команда"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Режим"), this), 0, 2);
    for (int pedal = 0; pedal < kMaxPedals; ++pedal) {
        grid->addWidget(new QLabel(QString::fromUtf8(kPedalNames[pedal]), this), pedal + 1, 0);
        auto* command = new QComboBox(this);
        command->setObjectName(QStringLiteral("PedalCommand%1").arg(pedal));
        command->addItem(QStringLiteral("— ничего —"), QString());
        for (const CommandChoice& c : commands_) command->addItem(c.caption, c.id);
        auto* mode = new QComboBox(this);
        mode->setObjectName(QStringLiteral("PedalMode%1").arg(pedal));
        mode->addItem(QStringLiteral("пока нажата"));
        mode->addItem(QStringLiteral("нажал — вкл., нажал снова — выкл."));
        commandBoxes_[pedal] = command;
        modeBoxes_[pedal] = mode;
        grid->addWidget(command, pedal + 1, 1);
        grid->addWidget(mode, pedal + 1, 2);
        connect(command, &QComboBox::currentIndexChanged, this, [this] { Changed(); });
        connect(mode, &QComboBox::currentIndexChanged, this, [this] { Changed(); });
    }
    layout->addLayout(grid);

    auto* learn = new QHBoxLayout;
    learnButton_ = new QPushButton(QStringLiteral("Назначить…"), this);
    learnButton_->setObjectName(QStringLiteral("PedalLearn"));
    learnLabel_ = new QLabel(this);
    learnLabel_->setObjectName(QStringLiteral("PedalLearnLabel"));
    learn->addWidget(learnButton_);
    learn->addWidget(learnLabel_, 1);
    layout->addLayout(learn);
    connect(learnButton_, &QPushButton::clicked, this, &PedalWindow::StartLearning);

    grab_ = new QCheckBox(QStringLiteral("Педали, которые посылают клавиши, не печатают в тексте"),
                          this);
    grab_->setObjectName(QStringLiteral("PedalGrab"));
    layout->addWidget(grab_);
    connect(grab_, &QCheckBox::toggled, this, [this](bool on) {
        if (showing_) return;
        settings_.grabKeyboardPedals = on;
        manager_.SetGrabKeyboards(on);
        if (save_) save_(settings_);
    });

    auto* buttons = new QHBoxLayout;
    auto* rescan = new QPushButton(QStringLiteral("Обновить"), this);
    rescan->setObjectName(QStringLiteral("PedalRescan"));
    auto* defaults = new QPushButton(QStringLiteral("По умолчанию"), this);
    defaults->setObjectName(QStringLiteral("PedalDefaults"));
    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    buttons->addWidget(rescan);
    buttons->addWidget(defaults);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(rescan, &QPushButton::clicked, this, [this] { manager_.Rescan(); });
    connect(defaults, &QPushButton::clicked, this, [this] {
        settings_.pedals = DefaultPedalBindings();
        ShowBindings();
        Changed();
    });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);

    connect(&manager_, &PedalManager::DevicesChanged, this, &PedalWindow::ShowDevices);
    connect(&manager_, &PedalManager::PedalChanged, this,
            [this](const QString&, int pedal, bool down) { OnPedal(pedal, down); });
    ShowDevices();
    ShowBindings();
}

void PedalWindow::ShowDevices() {
    devices_->clear();
    const auto devices = manager_.Devices();
    for (const PedalDeviceStatus& d : devices) {
        QString text = QString::fromStdString(d.name);
        if (d.open)
            text += d.grabbed ? QStringLiteral(" — работает (клавиши забраны)")
                              : QStringLiteral(" — работает");
        else
            text += QStringLiteral(" — не открывается: ") + QString::fromStdString(d.problem) +
                    QStringLiteral(". ") + QString::fromStdString(d.fix);
        devices_->addItem(text);
    }
    if (devices.empty()) devices_->addItem(QStringLiteral("Педаль не найдена. Подключите её."));
    PedalMask down = 0;
    for (const PedalDeviceStatus& d : devices) down |= d.state;
    for (int pedal = 0; pedal < kMaxPedals; ++pedal) Light(lamps_[pedal], (down >> pedal) & 1);
}

void PedalWindow::ShowBindings() {
    showing_ = true;
    for (int pedal = 0; pedal < kMaxPedals; ++pedal) {
        const PedalBinding& b = settings_.pedals[pedal];
        int index = commandBoxes_[pedal]->findData(QString::fromStdString(b.command));
        if (index < 0) {
            // A command this program does not know (a newer one's setting): shown as it is.
            commandBoxes_[pedal]->addItem(QString::fromStdString(b.command),
                                          QString::fromStdString(b.command));
            index = commandBoxes_[pedal]->count() - 1;
        }
        commandBoxes_[pedal]->setCurrentIndex(index);
        modeBoxes_[pedal]->setCurrentIndex(b.mode == PedalMode::Toggle ? 1 : 0);
    }
    grab_->setChecked(settings_.grabKeyboardPedals);
    showing_ = false;
}

void PedalWindow::Changed() {
    if (showing_) return;
    for (int pedal = 0; pedal < kMaxPedals; ++pedal)
        settings_.pedals[pedal] = {
            commandBoxes_[pedal]->currentData().toString().toStdString(),
            modeBoxes_[pedal]->currentIndex() == 1 ? PedalMode::Toggle : PedalMode::Hold};
    actions_.SetBindings(settings_.pedals);
    if (save_) save_(settings_);
}

void PedalWindow::StartLearning() {
    learnLabel_->setText(QStringLiteral("нажмите педаль"));
    learnButton_->setEnabled(false);
    manager_.SetLearning(true);
}

void PedalWindow::OnPedal(int pedal, bool down) {
    if (pedal < 0 || pedal >= kMaxPedals) return;
    Light(lamps_[pedal], down);
    if (!down || !manager_.Learning()) return;
    manager_.SetLearning(false);
    learnButton_->setEnabled(true);
    learnLabel_->setText(
        QStringLiteral("%1 педаль: выберите команду").arg(QString::fromUtf8(kPedalNames[pedal])));
    commandBoxes_[pedal]->setFocus();
}

void PedalWindow::hideEvent(QHideEvent* event) {
    if (manager_.Learning()) {
        manager_.SetLearning(false);
        learnButton_->setEnabled(true);
        learnLabel_->clear();
    }
    QWidget::hideEvent(event);
}

}  // namespace input
