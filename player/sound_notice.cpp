#include "player/sound_notice.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "audio/audio.h"

SoundNotice::SoundNotice(QWidget* parent, const QRect& area, HealthSource source)
    : QObject(parent), source_(std::move(source)) {
    label_ = new QLabel(kSoundLostText, parent);
    label_->setObjectName(QStringLiteral("SoundNotice"));
    label_->setGeometry(area);
    label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label_->setStyleSheet(QStringLiteral("color: #b00000;"));
    label_->hide();
    timer_ = new QTimer(this);
    timer_->setInterval(250);
    connect(timer_, &QTimer::timeout, this, &SoundNotice::Poll);
    timer_->start();
    Poll();
}

void SoundNotice::Poll() {
    const Health health = source_();
    if (health.losses != seen_) {
        // A new loss (or several since the last look): said once.
        seen_ = health.losses;
        if (health.reconnecting) ++told_;
    }
    if (label_->isVisibleTo(label_->parentWidget()) != health.reconnecting)
        label_->setVisible(health.reconnecting);
}

SoundNotice::HealthSource SoundNotice::EngineHealth() {
    return [] { return Health{audio::OutputLosses(), audio::OutputReconnecting()}; };
}

TickNotice::TickNotice(QWidget* parent, const QRect& area) : QObject(parent) {
    label_ = new QLabel(parent);
    label_->setObjectName(QStringLiteral("TickNotice"));
    label_->setGeometry(area);
    label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label_->setStyleSheet(QStringLiteral("color: #b00000;"));
    label_->hide();
}

void TickNotice::Show(const QString& text) {
    // One line in the label; the whole text (a long path) in its tooltip.
    label_->setText(
        label_->fontMetrics().elidedText(text.simplified(), Qt::ElideMiddle, label_->width()));
    label_->setToolTip(text);
    label_->show();
    label_->lower();  // the sound card's notice, when it shows, stays on top
    if (Elsewhere) Elsewhere(text);
}

void TickNotice::Clear() {
    label_->hide();
}
