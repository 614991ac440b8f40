// The player window's controls as built and the behaviour of its parameter fields: the
// specified layout, kept apart from the window's commands (player_window.cpp).
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

#include "player/equalizer_command.h"
#include "player/player_controls.h"
#include "player/player_window.h"
#include "player/playlist_drop.h"
#include "player/playlist_files.h"
#include "player/playlist_paths.h"
#include "player/sound_notice.h"
#include "player/transport_rules.h"
#include "player/strip_workbench.h"
#include "player/waveform_view.h"

namespace {

QSlider* MakeSlider(Qt::Orientation orientation, int maximum, QWidget* parent) {
    if (orientation == Qt::Vertical) return new TVerticalTrackBar(maximum, parent);
    auto* slider = new QSlider(orientation, parent);
    slider->setRange(0, maximum);
    return slider;
}

}  // namespace

void TForm1::BuildControls(QWidget* client) {
    auto* listLabel = new QLabel(QStringLiteral("Список файлов с аудиозаписями"), client);
    listLabel->setObjectName(QStringLiteral("Label1"));
    listLabel->move(8, 5);
    listLabel->adjustSize();

    ListBox1 = new TListBox(client);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(5, 24, 649, 113);
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(ListBox1, &TListBox::Click, this, &TForm1::ListBox1Click);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N7 = PopupMenu1->addAction(QStringLiteral("Добавить файлы"));
    N7->setObjectName(QStringLiteral("N7"));
    PopupMenu1->addSeparator();
    N11 = PopupMenu1->addAction(QStringLiteral("Удалить выбранные"));
    N11->setObjectName(QStringLiteral("N11"));
    PopupMenu1->addSeparator();
    N9 = PopupMenu1->addAction(QStringLiteral("Очистить список"));
    N9->setObjectName(QStringLiteral("N9"));
    connect(N7, &QAction::triggered, this, &TForm1::N7Click);
    connect(N11, &QAction::triggered, this, &TForm1::N11Click);
    connect(N9, &QAction::triggered, this, &TForm1::N9Click);
    ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListBox1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(ListBox1->mapToGlobal(at)); });

    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->setFileMode(QFileDialog::ExistingFiles);
    OpenDialog1->setNameFilters(PlaylistDialogFilters());
    new PlaylistDrop(ListBox1, [this](const QStringList& paths) { AddRecordings(paths); });

    // Fragment parameters: two columns of label, field and spinner.
    GroupBox1 = new QGroupBox(QStringLiteral("Параметры"), client);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 143, 646, 74);
    struct FieldPlace {
        QLineEdit** edit;
        TUpDown** upDown;
        const char* editName;
        const char* upDownName;
        const char* caption;
        TParameterField field;
        int labelX, editX, y;
    };
    const FieldPlace places[] = {
        {&Edit1, &UpDown1, "Edit1", "UpDown1", "Продолжительность воспроизведения", kFragmentLength,
         16, 230, 18},
        {&Edit2, &UpDown2, "Edit2", "UpDown2", "Колличество повторений фрагмента", kRepetitions, 16,
         230, 45},
        {&Edit3, &UpDown3, "Edit3", "UpDown3", "Пауза перед повторением", kPause, 309, 521, 18},
        {&Edit4, &UpDown4, "Edit4", "UpDown4", "Смещение назад (чтобы не прослушать)", kShiftBack,
         309, 521, 45},
    };
    for (const FieldPlace& place : places) {
        auto* label = new QLabel(QString::fromUtf8(place.caption), GroupBox1);
        label->setGeometry(place.labelX, place.y + 3, place.editX - place.labelX - 4, 15);
        FitLabelText(label);
        auto* edit = new QLineEdit(QString::number(place.field.Default), GroupBox1);
        edit->setObjectName(QString::fromLatin1(place.editName));
        edit->setGeometry(place.editX, place.y, 33, 21);
        edit->installEventFilter(this);
        auto* upDown = new TUpDown(edit, place.field.Minimum, place.field.Maximum,
                                   place.field.Default, GroupBox1);
        upDown->setObjectName(QString::fromLatin1(place.upDownName));
        upDown->setGeometry(place.editX + 33, place.y, 16, 21);
        *place.edit = edit;
        *place.upDown = upDown;
    }

    // Equalizer: twelve bands, +15 dB at the top, flat in the middle.
    GroupBox2 = new QGroupBox(QStringLiteral("Эквалайзер"), client);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(8, 223, 559, 104);
    QSlider** bands[kBands] = {&TrackBar3,  &TrackBar4,  &TrackBar5,  &TrackBar6,
                               &TrackBar7,  &TrackBar8,  &TrackBar9,  &TrackBar10,
                               &TrackBar11, &TrackBar12, &TrackBar13, &TrackBar14};
    for (int band = 0; band < kBands; ++band) {
        QSlider* slider = MakeSlider(Qt::Vertical, 30, GroupBox2);
        slider->setObjectName(QStringLiteral("TrackBar%1").arg(band + 3));
        slider->setValue(kBandFlat);
        slider->setTickPosition(QSlider::TicksBothSides);
        slider->setTickInterval(5);
        slider->setGeometry(8 + 45 * band, 15, 45, 85);
        connect(slider, &QSlider::valueChanged, this, [this, band] {
            ShowBandTip(band);
            N20Click();
        });
        *bands[band] = slider;
    }
    PopupMenu3 = new QMenu(this);
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    N22 = PopupMenu3->addAction(QStringLiteral("Значения по умолчанию"));
    N22->setObjectName(QStringLiteral("N22"));
    connect(N22, &QAction::triggered, this, &TForm1::N22Click);
    GroupBox2->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(GroupBox2, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu3->popup(GroupBox2->mapToGlobal(at)); });
    for (int band = 0; band < kBands; ++band) {
        QSlider* slider = BandSlider(band);
        slider->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(slider, &QWidget::customContextMenuRequested, this,
                [this, slider](const QPoint& at) { PopupMenu3->popup(slider->mapToGlobal(at)); });
    }

    GroupBox3 = new QGroupBox(QStringLiteral("Громкость"), client);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    GroupBox3->setGeometry(573, 223, 81, 105);
    TrackBar2 = MakeSlider(Qt::Vertical, 10, GroupBox3);
    TrackBar2->setObjectName(QStringLiteral("TrackBar2"));
    TrackBar2->setToolTip(QStringLiteral("Громкость"));
    TrackBar2->setTickPosition(QSlider::TicksBothSides);
    TrackBar2->setTickInterval(1);
    TrackBar2->setGeometry(18, 15, 45, 85);
    connect(TrackBar2, &QSlider::valueChanged, this, [this] { TrackBar2Change(); });

    PaintBox1 = new WaveformView(client);
    PaintBox1->setGeometry(5, 333, 649, 68);
    connect(PaintBox1, &WaveformView::MouseDown, this, &TForm1::PaintBox1MouseDown);
    Strip = new StripWorkbench(*this, PaintBox1);

    TrackBar1 = MakeSlider(Qt::Horizontal, 1000, client);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setGeometry(5, 407, 649, 45);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    TrackBar1->setTickInterval(50);
    TrackBar1->setPageStep(50);
    connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });

    struct ButtonPlace {
        QPushButton** button;
        QAction** action;
        const char* name;
        const char* actionName;
        const char* caption;
        QStyle::StandardPixmap picture;
        int x, width;
        Qt::Key key;
        void (TForm1::*handler)();
    };
    const ButtonPlace buttons[] = {
        {&BitBtn1, &Action1, "BitBtn1", "Action1", "F2 - Назад", QStyle::SP_MediaSeekBackward, 9,
         105, Qt::Key_F2, &TForm1::BitBtn1Click},
        {&BitBtn2, &Action2, "BitBtn2", "Action2", "F3 - Играть", QStyle::SP_MediaPlay, 141, 110,
         Qt::Key_F3, &TForm1::BitBtn2Click},
        {&BitBtn3, &Action3, "BitBtn3", "Action3", "F4 - Пауза", QStyle::SP_MediaPause, 274, 110,
         Qt::Key_F4, &TForm1::BitBtn3Click},
        {&BitBtn4, &Action4, "BitBtn4", "Action4", "F5 - Далее", QStyle::SP_MediaSeekForward, 407,
         110, Qt::Key_F5, &TForm1::BitBtn4Click},
        {&BitBtn5, &Action5, "BitBtn5", "Action5", "F6 - Редактор",
         QStyle::SP_FileDialogDetailedView, 540, 110, Qt::Key_F6, &TForm1::BitBtn5Click},
    };
    for (const ButtonPlace& place : buttons) {
        auto* button = new QPushButton(style()->standardIcon(place.picture),
                                       QString::fromUtf8(place.caption), client);
        button->setObjectName(QString::fromLatin1(place.name));
        button->setGeometry(place.x, 450, place.width, 25);
        button->setIconSize(QSize(14, 14));
        const auto handler = place.handler;
        connect(button, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
        auto* action = new QAction(QString::fromUtf8(place.caption), this);
        action->setObjectName(QString::fromLatin1(place.actionName));
        // The keys themselves are routed application-wide by the window set; the action
        // carries the key so that every window shows the same binding.
        action->setShortcut(QKeySequence(place.key));
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        addAction(action);
        *place.button = button;
        *place.action = action;
    }
}

QSlider* TForm1::BandSlider(int band) const {
    QSlider* const bands[kBands] = {TrackBar3,  TrackBar4,  TrackBar5,  TrackBar6,
                                    TrackBar7,  TrackBar8,  TrackBar9,  TrackBar10,
                                    TrackBar11, TrackBar12, TrackBar13, TrackBar14};
    return bands[band];
}

// ---------------------------------------------------------------- parameter fields

void TForm1::Edit1Exit() {
    Edit1->setText(NormaliseParameter(Edit1->text(), kFragmentLength));
}
void TForm1::Edit2Exit() {
    Edit2->setText(NormaliseParameter(Edit2->text(), kRepetitions));
}
void TForm1::Edit3Exit() {
    Edit3->setText(NormaliseParameter(Edit3->text(), kPause));
}
void TForm1::Edit4Exit() {
    Edit4->setText(NormaliseParameter(Edit4->text(), kShiftBack));
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    QLineEdit* const edits[] = {Edit1, Edit2, Edit3, Edit4};
    TUpDown* const upDowns[] = {UpDown1, UpDown2, UpDown3, UpDown4};
    for (int i = 0; i < 4; ++i) {
        if (watched != edits[i]) continue;
        if (event->type() == QEvent::FocusOut) {
            // Switching to another window or opening a menu is not leaving the field.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) break;
            if (i == 0) Edit1Exit();
            if (i == 1) Edit2Exit();
            if (i == 2) Edit3Exit();
            if (i == 3) Edit4Exit();
        } else if (event->type() == QEvent::KeyPress) {
            // The arrow keys step the field like its spinner.
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down) {
                upDowns[i]->Step(key == Qt::Key_Up ? 1 : -1);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
