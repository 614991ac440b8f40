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

#include "player/equalizer_command.h"
#include "player/player_controls.h"
#include "player/player_transport.h"
#include "player/playlist_drop.h"
#include "player/playlist_files.h"
#include "player/playlist_paths.h"
#include "player/sound_notice.h"
#include "player/strip_workbench.h"
#include "player/transport_rules.h"
#include "player/waveform_view.h"

namespace {

constexpr int kClientWidth = 662;
constexpr int kClientHeight = 503;
constexpr int kStatusHeight = 19;

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

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent),
      Engine(std::make_unique<EngineTransportStream>(Stream, [this] { N20Click(); })),
      Transport(std::make_unique<PlayerTransport>(*Engine, Cycle, Stopped)) {
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
    SettingsMenu = new QMenu(QStringLiteral("Настройки"), this);
    SettingsMenu->setObjectName(QStringLiteral("SettingsMenu"));
    menuBar()->insertMenu(HelpMenu->menuAction(), SettingsMenu);
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
        Notices = new TickNotice(client, QRect(left, 5, std::max(right - left, 0), 16));
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
    // The strip's tools watch the strip's events, and the base class's destruction still
    // sends some (the window closes and hides): they go first, while this is whole.
    delete Strip;
    Strip = nullptr;
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
    AboutItem = HelpMenu->addAction(QStringLiteral("О программе"));
    AboutItem->setObjectName(QStringLiteral("AboutItem"));
}

void TForm1::ShowMessage(const QString& text) {
    if (TickBusy) {  // raised by the tick, not by the user's own command
        Notices->Show(text);
        return;
    }
    if (MessageHook) {
        MessageHook(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
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
    const auto texts = PlayerStatusTexts(position, length, Cycle, Stopped);
    for (int panel = 1; panel <= 4; ++panel) StatusBar1->SetPanelText(panel, texts[panel - 1]);
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
    return Engine->Position();
}

double TForm1::LengthSeconds() const {
    return Engine->Length();
}

CycleParameters TForm1::FieldParameters() const {
    return {ParameterInRange(Edit1->text(), kFragmentLength),
            ParameterInRange(Edit2->text(), kRepetitions), ParameterInRange(Edit3->text(), kPause),
            ParameterInRange(Edit4->text(), kShiftBack)};
}

void TForm1::BitBtn1Click() {
    Transport->Back(FragmentSecondsInRange(Edit1->text()));
}

void TForm1::BitBtn2Click() {
    Transport->Play();
}

void TForm1::BitBtn3Click() {
    Transport->Halt();
}

void TForm1::BitBtn4Click() {
    Transport->Next(FragmentSecondsInRange(Edit1->text()));
}

std::optional<double> TForm1::RecordingPosition() const {
    if (Stream == 0) return std::nullopt;
    return PositionSeconds();
}

bool TForm1::PlayFrom(double seconds) {
    return Transport->PlayFrom(seconds);
}

void TForm1::BitBtn5Click() {
    if (ShowEditor) ShowEditor();
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
    switch (Transport->Tick(Strip->Selection().has_value())) {
        case TickMove::NextEntry:
            MoveToNextFile();
            break;
        case TickMove::Step:
            CycleStep();
            break;
        case TickMove::Wait:
            break;
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
    if (Envelope.Count() < 1 || Stream == 0) return;
    Transport->ClickTo(Strip->ClickTarget(x, PositionSeconds(), LengthSeconds()));
}

void TForm1::MoveToNextFile() {
    const auto next = Transport->NextEntry(ListBox1->currentRow(), ListBox1->count());
    if (!next) return;
    ListBox1->setCurrentRow(*next, QItemSelectionModel::ClearAndSelect);
    ListBox1->setFocus();
    ListBox1Click();
}

void TForm1::CycleStep() {
    if (Strip->LoopStep()) return;
    Transport->Step(FieldParameters(), Speed);
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The player is the main window: closing it ends the program without questions.
    event->accept();
    QCoreApplication::quit();
}
