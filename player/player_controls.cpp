#include "player/player_controls.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionSlider>
#include <QStylePainter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

TListBox::TListBox(QWidget* parent) : QListWidget(parent) {}

void TListBox::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && itemAt(event->position().toPoint()) != nullptr)
        emit Click();
}

void TListBox::keyPressEvent(QKeyEvent* event) {
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before && currentRow() >= 0) emit Click();
}

TUpDown::TUpDown(QLineEdit* associate, int minimum, int maximum, int fallback, QWidget* parent)
    : QWidget(parent),
      associate_(associate),
      minimum_(minimum),
      maximum_(maximum),
      fallback_(fallback) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* up = new QToolButton(this);
    auto* down = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up, down}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        b->setIconSize(QSize(7, 5));
        layout->addWidget(b);
    }
    connect(up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void TUpDown::Step(int delta) {
    bool ok = false;
    int value = associate_->text().trimmed().toInt(&ok, 10);
    if (!ok) value = fallback_;
    value = std::clamp(value, minimum_, maximum_);
    value = std::clamp(value + delta, minimum_, maximum_);
    associate_->setText(QString::number(value));
}

TStatusBar::TStatusBar(const QVector<int>& widths, QWidget* parent) : QWidget(parent) {
    int x = 0;
    for (int i = 0; i < widths.size(); ++i) {
        auto* panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        panel->setGeometry(x, 2, widths[i] - 2, 17);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setAlignment(i + 1 < widths.size() ? Qt::AlignCenter
                                                  : Qt::AlignLeft | Qt::AlignVCenter);
        panels_.push_back(panel);
        x += widths[i];
    }
}

QString TStatusBar::PanelText(int index) const {
    return panels_.at(index)->text();
}

void TStatusBar::SetPanelText(int index, const QString& text) {
    panels_.at(index)->setText(text);
}

void TStatusBar::ShowNote(const QString& text, int milliseconds) {
    if (note_ == nullptr) {
        note_ = new QLabel(this);
        note_->setObjectName(QStringLiteral("StatusNote"));
        note_->setFrameShape(QFrame::Panel);
        note_->setFrameShadow(QFrame::Sunken);
        note_->setAutoFillBackground(true);
        note_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    note_->setGeometry(0, 2, width() - 2, 17);
    note_->setText(text);
    note_->setToolTip(text);
    note_->show();
    note_->raise();
    QTimer::singleShot(milliseconds, note_, [label = note_] {
        label->hide();
        label->clear();
    });
}

QString TStatusBar::Note() const {
    return note_ != nullptr && !note_->isHidden() ? note_->text() : QString();
}

TVerticalTrackBar::TVerticalTrackBar(int maximum, QWidget* parent) : QSlider(Qt::Vertical, parent) {
    setRange(0, maximum);
    // Position 0 at the top.
    setInvertedAppearance(true);
    setInvertedControls(true);
}

void TVerticalTrackBar::paintEvent(QPaintEvent*) {
    // Styles fill the groove between the minimum's end and the handle. Drawing the mirrored
    // value from the other end puts the handle on the same pixel, and the fill below it.
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    if (tickPosition() != NoTicks) option.subControls |= QStyle::SC_SliderTickmarks;
    option.upsideDown = !option.upsideDown;
    option.sliderPosition = option.maximum - option.sliderPosition + option.minimum;
    option.sliderValue = option.maximum - option.sliderValue + option.minimum;
    QStylePainter painter(this);
    painter.drawComplexControl(QStyle::CC_Slider, option);
}

void FitLabelText(QLabel* label) {
    QFont font = label->font();
    const int room = label->width();
    const auto fits = [&] { return QFontMetrics(font).horizontalAdvance(label->text()) <= room; };
    for (int stretch : {QFont::SemiCondensed, QFont::Condensed}) {
        if (fits()) break;
        font.setStretch(stretch);
    }
    while (!fits() && font.pixelSize() > 8) font.setPixelSize(font.pixelSize() - 1);
    label->setFont(font);
}
