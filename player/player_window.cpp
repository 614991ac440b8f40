#include "player/player_window.h"

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

#include "app/shell_commands.h"
#include "app/window_set.h"
#include "editor/editor_window.h"
#include "participants/participants_window.h"
#include "player/equalizer_command.h"
#include "player/player_controls.h"
#include "player/playlist_drop.h"
#include "player/playlist_files.h"
#include "player/playlist_paths.h"
#include "player/sound_notice.h"
#include "player/strip_workbench.h"
#include "player/transport_rules.h"
#include "player/waveform_view.h"
#include "project/project_commands.h"

namespace {

constexpr int kClientWidth = 662;
constexpr int kClientHeight = 503;
constexpr int kStatusHeight = 19;
constexpr int kBandFlat = 15;

// Clears the tick's re-entry flag on every way out of the tick.
class TickGuard {
  public:
    explicit TickGuard(bool& busy) : busy_(busy) { busy_ = true; }
    ~TickGuard() { busy_ = false; }
    TickGuard(const TickGuard&) = delete;
    TickGuard& operator=(const TickGuard&) = delete;

  private:
    bool& busy_;
};

// Whole seconds of a time for the status bar; a failed query (negative, huge) must not
// turn into an undefined conversion.
int WholeSeconds(double seconds) {
    if (!(seconds > -2147483648.0)) return std::numeric_limits<int>::min();
    if (!(seconds < 2147483647.0)) return std::numeric_limits<int>::max();
    return static_cast<int>(seconds);
}

QSlider* MakeSlider(Qt::Orientation orientation, int maximum, QWidget* parent) {
    if (orientation == Qt::Vertical) return new TVerticalTrackBar(maximum, parent);
    auto* slider = new QSlider(orientation, parent);
    slider->setRange(0, maximum);
    return slider;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("NUV Tolvek - Проигрыватель"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);
    BuildControls(client);
    BuildMenus();
    BuildSpeedControls(client);
    BuildVoiceControls();
    menuBar()->insertMenu(HelpMenu->menuAction(), Strip->Menu);
    StatusBar1 = new TStatusBar({130, 170, 170, 90, 100, 50}, client);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(0, kClientHeight - kStatusHeight, kClientWidth, kStatusHeight);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(200);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

    // Audio start-up.
    ExeDir = QCoreApplication::applicationDirPath();
    Stream = 0;
    SliderSync = false;
    Stopped = false;
    if (!audio::OpenDevice(audio::DEVICE_DEFAULT, 44100, 0, nullptr, nullptr)) {
        audio::OpenDevice(audio::DEVICE_NULL, 44100, 0, nullptr, nullptr);
        // No sound card now: the null output plays meanwhile and the card is looked for.
        audio::RetryDefaultDevice();
    }
    // Above the playlist, between its caption and the speed control: free in the layout.
    {
        const QWidget* caption = client->findChild<QWidget*>(QStringLiteral("Label1"));
        const QWidget* speed = client->findChild<QWidget*>(QStringLiteral("SpeedControl"));
        const int left = caption ? caption->geometry().right() + 8 : 200;
        const int right = speed ? speed->geometry().left() - 8 : kClientWidth - 5;
        Notice = new SoundNotice(client, QRect(left, 5, std::max(right - left, 0), 16));
    }
    {
        const QSignalBlocker quiet(TrackBar2);
        TrackBar2->setValue(0);
    }
    TrackBar2Change();
    audio::StartOutput();
    EqCentres = {80, 100, 250, 500, 750, 1000, 1500, 2500, 4000, 8000, 12000, 16000};
    for (int band = 0; band < kBands; ++band) ShowBandTip(band);
    TickBusy = false;
    EnvelopeWorker = std::make_unique<ENVELOPE>(Envelope);

    Timer1->start();

    adjustSize();
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

TForm1::~TForm1() {
    // Orderly stop of the worker: a running pass ends at its next read.
    if (EnvelopeWorker) EnvelopeWorker->Stop();
    // The playback stream belongs to this window: it goes with it.
    audio::StopStream(Stream);
    audio::FreeStream(Stream);
    Stream = 0;
}

void TForm1::BuildMenus() {
    FileMenu = menuBar()->addMenu(QStringLiteral("Файл"));
    FileMenu->setObjectName(QStringLiteral("FileMenu"));
    N4 = FileMenu->addAction(QStringLiteral("Открыть проект"));
    N4->setObjectName(QStringLiteral("N4"));
    FileMenu->addSeparator();
    N6 = FileMenu->addAction(QStringLiteral("Сохранить"));
    N6->setObjectName(QStringLiteral("N6"));
    N15 = FileMenu->addAction(QStringLiteral("Сохранить как"));
    N15->setObjectName(QStringLiteral("N15"));
    FileMenu->addSeparator();
    N2 = FileMenu->addAction(QStringLiteral("Выход"));
    N2->setObjectName(QStringLiteral("N2"));
    connect(N4, &QAction::triggered, this, &TForm1::N4Click);
    connect(N6, &QAction::triggered, this, &TForm1::N6Click);
    connect(N15, &QAction::triggered, this, &TForm1::N15Click);
    connect(N2, &QAction::triggered, this, &TForm1::N2Click);

    HelpMenu = menuBar()->addMenu(QStringLiteral("Помощь"));
    HelpMenu->setObjectName(QStringLiteral("HelpMenu"));
    HelpItem = HelpMenu->addAction(QStringLiteral("Справка"));
    HelpItem->setObjectName(QStringLiteral("HelpItem"));
    // F1 itself is routed application-wide; the menu only shows the key.
    HelpItem->setShortcut(QKeySequence(Qt::Key_F1));
    connect(HelpItem, &QAction::triggered, this, [this] { HelpCommand(this); });
    AboutItem = HelpMenu->addAction(QStringLiteral("О программе"));
    AboutItem->setObjectName(QStringLiteral("AboutItem"));
    connect(AboutItem, &QAction::triggered, this, [] { AboutCommand(); });
}

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

void TForm1::ShowMessage(const QString& text) {
    if (MessageHook) {
        MessageHook(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
}

// ---------------------------------------------------------------- playlist and opening

void TForm1::ListBox1Click() {
    const int index = ListBox1->currentRow();
    if (index < 0) return;
    const QString path = ListBox1->item(index)->text();
    if (!QFileInfo(path).isFile()) {
        ShowMessage(QStringLiteral("Файл не найден!"));
        Stopped = true;
        return;
    }
    audio::StopStream(Stream);
    audio::FreeStream(Stream);
    Stream = 0;
    RequestEnvelope(path);
    Stream = audio::OpenFileStream(false, QFile::encodeName(path).toStdString(), 0, 0,
                                   audio::STREAM_PRESCAN);
    if (Stream == 0) {
        // Nothing plays: the panels of the previous recording must not stay on screen.
        Stopped = true;
        N12Click();
        for (int panel = 1; panel <= 4; ++panel) StatusBar1->SetPanelText(panel, QString());
        ShowMessage(QStringLiteral("Файл не удаётся воспроизвести: %1")
                        .arg(QDir::toNativeSeparators(path)));
        return;
    }
    audio::SetStreamTempo(Stream, Speed);
    audio::SetStreamVoice(Stream, Voice);
    N21Click();
    N20Click();
    audio::PlayStream(Stream, false);
    Stopped = false;
}

void TForm1::N7Click() {
    QStringList paths;
    if (OpenFilesHook) {
        paths = OpenFilesHook();
    } else if (OpenDialog1->exec() == QDialog::Accepted) {
        paths = OpenDialog1->selectedFiles();
    }
    AddRecordings(paths);
}

void TForm1::AddRecordings(const QStringList& chosen) {
    QStringList refused;
    const QStringList paths = StorablePlaylistPaths(chosen, &refused);
    if (!refused.isEmpty()) ShowMessage(RefusedPathsMessage(refused));
    if (paths.isEmpty()) return;
    ListBox1->addItems(paths);
    N12Click();
    N14Click();
}

void TForm1::N11Click() {
    // Backwards, so that the indexes still to visit stay valid.
    for (int i = ListBox1->count() - 1; i >= 0; --i) {
        if (ListBox1->item(i)->isSelected()) delete ListBox1->takeItem(i);
    }
    N14Click();
    N12Click();
}

void TForm1::N9Click() {
    ListBox1->clear();
    N14Click();
    N12Click();
}

void TForm1::N14Click() {
    Stopped = true;
    audio::StopStream(Stream);
    audio::FreeStream(Stream);
    Stream = 0;
}

// ---------------------------------------------------------------- status

void TForm1::N12Click() {
    StatusBar1->SetPanelText(
        0, QStringLiteral("Файл: %1 из %2").arg(ListBox1->currentRow() + 1).arg(ListBox1->count()));
}

void TForm1::N13Click() {
    N12Click();
    const double position = PositionSeconds();
    const double length = LengthSeconds();
    StatusBar1->SetPanelText(1, QStringLiteral("Длина: ") + SecondsToText(WholeSeconds(length)));
    StatusBar1->SetPanelText(2,
                             QStringLiteral("Позиция: ") + SecondsToText(WholeSeconds(position)));
    if (Stopped) {
        StatusBar1->SetPanelText(3, QString());
        StatusBar1->SetPanelText(4, QString());
    } else {
        StatusBar1->SetPanelText(3, QStringLiteral("Повтор: %1").arg(Cycle.Repetition));
        QString fifth;
        if (Cycle.PlaySecond >= 0)
            fifth = QStringLiteral("Воспр: %1 сек").arg(Cycle.PlaySecond);
        else if (Cycle.PauseSecond >= 0)
            fifth = QStringLiteral("Пауза: %1 сек").arg(Cycle.PauseSecond);
        StatusBar1->SetPanelText(4, fifth);
    }
    SliderSync = true;
    TrackBar1->setValue(PositionToSlider(position, length));
    SliderSync = false;
}

// ---------------------------------------------------------------- equalizer and volume

void TForm1::N20Click() {
    if (Stream == 0) return;
    std::array<audio::ParamEqParams, kBands> bands{};
    for (int band = 0; band < kBands; ++band)
        bands[band] = {static_cast<float>(EqCentres[band]), 10.0f,
                       static_cast<float>(kBandFlat - BandSlider(band)->value())};
    player::ApplyEqualizer(Stream, EqEffects, bands);
}

void TForm1::N21Click() {
    if (Stream == 0) return;
    audio::ResetStreamEffects(Stream);
    for (int band = 0; band < kBands; ++band)
        EqEffects[band] = audio::AddStreamEffect(Stream, audio::FX_PARAMEQ, 1);
}

void TForm1::N22Click() {
    for (int band = 0; band < kBands; ++band) BandSlider(band)->setValue(kBandFlat);
    N20Click();
}

void TForm1::ShowBandTip(int band) {
    QSlider* slider = BandSlider(band);
    slider->setToolTip(EqualizerBandTip(EqCentres[band], kBandFlat - slider->value()));
}

void TForm1::TrackBar2Change() {
    audio::SetMasterVolume(static_cast<float>(1.0 - TrackBar2->value() * 0.1));
}

// ---------------------------------------------------------------- transport

double TForm1::PositionSeconds() const {
    return audio::BytesToSeconds(Stream, audio::StreamPosition(Stream, audio::POS_BYTE));
}

double TForm1::LengthSeconds() const {
    return audio::BytesToSeconds(Stream, audio::StreamLength(Stream, audio::POS_BYTE));
}

void TForm1::SeekSeconds(double seconds, double lengthSeconds) {
    const std::uint64_t lengthBytes = audio::StreamLength(Stream, audio::POS_BYTE);
    const double target = seconds < 0.0 ? 0.0 : seconds;
    audio::SeekStream(Stream, SecondsToBytes(lengthBytes, target, lengthSeconds), audio::POS_BYTE);
}

void TForm1::BitBtn1Click() {
    if (Stream == 0) return;
    ResetCycle(Cycle);
    const double position = PositionSeconds();
    const double length = LengthSeconds();
    const double target = position - FragmentSecondsInRange(Edit1->text());
    Stopped = false;
    SeekSeconds(target, length);
    N20Click();
    audio::PlayStream(Stream, false);
}

void TForm1::BitBtn2Click() {
    N20Click();
    audio::PlayStream(Stream, false);
    Stopped = false;
}

void TForm1::BitBtn3Click() {
    audio::StopStream(Stream);
    Stopped = true;
}

void TForm1::BitBtn4Click() {
    if (Stream == 0) return;
    ResetCycle(Cycle);
    const double position = PositionSeconds();
    const double length = LengthSeconds();
    bool nearEnd = false;
    const double target =
        NextFragmentTarget(position, length, FragmentSecondsInRange(Edit1->text()), &nearEnd);
    Stopped = false;
    SeekSeconds(target, length);
    // Near the end the output keeps its state: a playing recording runs out and the tick
    // moves on to the next file.
    if (nearEnd) return;
    N20Click();
    audio::PlayStream(Stream, false);
}

std::optional<double> TForm1::RecordingPosition() const {
    if (Stream == 0) return std::nullopt;
    return PositionSeconds();
}

bool TForm1::PlayFrom(double seconds) {
    if (Stream == 0) return false;
    ResetCycle(Cycle);
    const double length = LengthSeconds();
    Stopped = false;
    SeekSeconds(std::min(seconds, length), length);
    N20Click();
    audio::PlayStream(Stream, false);
    return true;
}

void TForm1::BitBtn5Click() {
    if (Form2 == nullptr) return;
    Form2->show();
    Form2->raise();
    Form2->activateWindow();
}

void TForm1::TrackBar1Change() {
    if (SliderSync || Stream == 0) return;
    audio::PauseStream(Stream);
    audio::SeekStream(
        Stream, SliderToBytes(audio::StreamLength(Stream, audio::POS_BYTE), TrackBar1->value()),
        audio::POS_BYTE);
    N20Click();
    audio::PlayStream(Stream, false);
    ResetCycle(Cycle);
}

// ---------------------------------------------------------------- the tick

void TForm1::Timer1Timer() {
    if (TickBusy) return;
    const TickGuard guard(TickBusy);
    PaintBox1->ClearView();
    if (Stream == 0) return;
    if (!Stopped) {
        // A selection loop stays in its recording, also when it reaches the end.
        if (audio::StreamActivity(Stream) == audio::ACTIVE_STOPPED && !Strip->Selection())
            MoveToNextFile();
        else
            CycleStep();
    }
    // The next entry may have failed to open: nothing left to show.
    if (Stream == 0) return;
    Strip->Draw(PositionSeconds(), LengthSeconds());
    N13Click();
}

void TForm1::RequestEnvelope(const QString& path) {
    EnvelopeFile = path;
    EnvelopeWorker->Request(QFile::encodeName(path).toStdString());
    Strip->SetRecording(path);
}

void TForm1::PaintBox1MouseDown(int x) {
    const std::int32_t count = Envelope.Count();
    if (count < 1 || Stream == 0) return;
    const double position = PositionSeconds();
    const double length = LengthSeconds();
    SeekSeconds(Strip->ClickTarget(x, position, length), length);
    if (Stopped) {
        Stopped = false;
        N20Click();
        audio::PlayStream(Stream, false);
    }
}

void TForm1::MoveToNextFile() {
    const int index = ListBox1->currentRow();
    if (index >= ListBox1->count() - 1) {
        Stopped = true;
        return;
    }
    ListBox1->setCurrentRow(index + 1, QItemSelectionModel::ClearAndSelect);
    ListBox1->setFocus();
    ListBox1Click();
}

void TForm1::CycleStep() {
    if (Strip->LoopStep()) return;
    const double position = PositionSeconds();
    const double length = LengthSeconds();
    const int L = ParameterInRange(Edit1->text(), kFragmentLength);
    const int N = ParameterInRange(Edit2->text(), kRepetitions);
    const int P = ParameterInRange(Edit3->text(), kPause);
    const int S = ParameterInRange(Edit4->text(), kShiftBack);
    switch (AdvanceCycle(Cycle, kCycleStep, L, N, P, Speed)) {
        case CyclePhase::Playing:
            if (audio::StreamActivity(Stream) == audio::ACTIVE_STOPPED) {
                N20Click();
                audio::PlayStream(Stream, false);
            }
            break;
        case CyclePhase::Repeat:
            SeekSeconds(position - ParameterInRange(Edit1->text(), kFragmentLength), length);
            N20Click();
            audio::PlayStream(Stream, false);
            break;
        case CyclePhase::PauseBegins:
            audio::PauseStream(Stream);
            break;
        case CyclePhase::CycleDone:
            SeekSeconds(position - S, length);
            N20Click();
            audio::PlayStream(Stream, false);
            break;
        default:
            break;
    }
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

void TForm1::closeEvent(QCloseEvent* event) {
    // The player is the main window: closing it ends the program without questions.
    event->accept();
    QCoreApplication::quit();
}

// ---------------------------------------------------------------- project

void TForm1::N4Click() {
    project::OpenProject(*this, *Form2, *Form5);
}
void TForm1::N6Click() {
    project::SaveProject(*this, *Form2, *Form5);
}
void TForm1::N15Click() {
    project::SaveProjectAs(*this, *Form2, *Form5);
}
void TForm1::N2Click() {
    project::ExitApplication();
}
