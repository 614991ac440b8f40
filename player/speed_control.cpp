#include "player/speed_control.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QWheelEvent>

#include "player/player_transport.h"
#include "player/player_window.h"
#include "player/speed.h"
#include "player/transport_rules.h"

SpeedControl::SpeedControl(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SpeedControl"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto* caption = new QLabel(QStringLiteral("Скорость:"), this);
    slower_ = new QToolButton(this);
    slower_->setObjectName(QStringLiteral("SpeedSlower"));
    slower_->setText(QStringLiteral("−"));
    slower_->setToolTip(QStringLiteral("Медленнее (Alt+Вниз)"));
    value_ = new QLabel(this);
    value_->setObjectName(QStringLiteral("SpeedValue"));
    value_->setAlignment(Qt::AlignCenter);
    value_->setFrameShape(QFrame::Panel);
    value_->setFrameShadow(QFrame::Sunken);
    value_->setToolTip(QStringLiteral("Двойной щелчок — обычная скорость (Alt+Home)"));
    value_->setMinimumWidth(value_->fontMetrics().horizontalAdvance(QStringLiteral("0.00×")) + 8);
    value_->installEventFilter(this);
    faster_ = new QToolButton(this);
    faster_->setObjectName(QStringLiteral("SpeedFaster"));
    faster_->setText(QStringLiteral("+"));
    faster_->setToolTip(QStringLiteral("Быстрее (Alt+Вверх)"));
    for (QToolButton* b : {slower_, faster_}) {
        b->setAutoRaise(true);
        b->setAutoRepeat(true);
        // The keyboard focus stays where the typist works.
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(17, 17);
    }
    layout->addWidget(caption);
    layout->addWidget(slower_);
    layout->addWidget(value_);
    layout->addWidget(faster_);
    connect(slower_, &QToolButton::clicked, this, [this] { emit StepRequested(-1); });
    connect(faster_, &QToolButton::clicked, this, [this] { emit StepRequested(1); });
    ShowSpeed(kSpeedNormal);
}

void SpeedControl::ShowSpeed(double speed) {
    value_->setText(SpeedCaption(speed));
    // Away from normal speed the value stands out, so a slowed recording is not mistaken
    // for a slow speaker.
    QFont font = value_->font();
    font.setBold(SpeedHundredths(speed) != 100);
    value_->setFont(font);
}

QString SpeedControl::Caption() const {
    return value_->text();
}

bool SpeedControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == value_ && event->type() == QEvent::MouseButtonDblClick) {
        emit NormalRequested();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void SpeedControl::wheelEvent(QWheelEvent* event) {
    // Touchpads and fine-step wheels send small deltas: they add up to whole notches.
    const int delta = event->angleDelta().y();
    if (delta != 0 && (wheelRemainder_ < 0) != (delta < 0)) wheelRemainder_ = 0;
    wheelRemainder_ += delta;
    const int notches = wheelRemainder_ / 120;
    wheelRemainder_ -= notches * 120;
    if (notches != 0) emit StepRequested(notches);
    event->accept();
}

// ---------------------------------------------------------------- the player's side

void TForm1::BuildSpeedControls(QWidget* client) {
    SpeedBox = new SpeedControl(client);
    SpeedBox->adjustSize();
    // Right-aligned with the playlist, above it beside its caption.
    SpeedBox->move(654 - SpeedBox->width(), 24 - SpeedBox->height() - 1);
    connect(SpeedBox, &SpeedControl::StepRequested, this,
            [this](int steps) { SetSpeed(StepSpeed(Speed, steps)); });
    connect(SpeedBox, &SpeedControl::NormalRequested, this, &TForm1::SpeedNormal);

    SpeedMenu = new QMenu(QStringLiteral("Скорость"), this);
    SpeedMenu->setObjectName(QStringLiteral("SpeedMenu"));
    menuBar()->insertMenu(HelpMenu->menuAction(), SpeedMenu);
    struct Item {
        QAction** action;
        const char* name;
        const char* caption;
        QKeyCombination key;
        void (TForm1::*handler)();
    };
    const Item items[] = {
        {&FasterItem, "FasterItem", "Быстрее", Qt::ALT | Qt::Key_Up, &TForm1::SpeedFaster},
        {&SlowerItem, "SlowerItem", "Медленнее", Qt::ALT | Qt::Key_Down, &TForm1::SpeedSlower},
        {&NormalSpeedItem, "NormalSpeedItem", "Обычная скорость", Qt::ALT | Qt::Key_Home,
         &TForm1::SpeedNormal},
    };
    for (const Item& item : items) {
        QAction* action = SpeedMenu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        // The keys are routed application-wide, like F1-F6; the menu only shows them.
        action->setShortcut(QKeySequence(item.key));
        const auto handler = item.handler;
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        *item.action = action;
    }
}

void TForm1::SetSpeed(double speed) {
    const double next = NormaliseSpeed(speed);
    if (next != Speed) {
        // The playing under way goes on covering L seconds of the recording.
        // The fields as the tick reads them, held in their ranges.
        const CycleParameters p = FieldParameters();
        RetimeCycle(Cycle, kCycleStep, p.L, p.N, p.P, Speed, next);
        Speed = next;
    }
    audio::SetStreamTempo(Stream, Speed);
    SpeedBox->ShowSpeed(Speed);
}

void TForm1::SpeedFaster() {
    SetSpeed(StepSpeed(Speed, 1));
}

void TForm1::SpeedSlower() {
    SetSpeed(StepSpeed(Speed, -1));
}

void TForm1::SpeedNormal() {
    SetSpeed(kSpeedNormal);
}
