// "NUV Tolvek - Проигрыватель": the main window. Playlist, fragment-repeat playback,
// transport commands, position slider, status bar, equalizer and volume.
// Every member runs on the user-interface thread.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "audio/audio.h"
#include "player/cycle.h"
#include "player/envelope.h"

class QAction;
class QFileDialog;
class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;
class QTimer;
class EngineTransportStream;
class PlayerTransport;
struct CycleParameters;
class SoundNotice;
class TickNotice;
class TListBox;
class TStatusBar;
class TUpDown;
class SpeedControl;
class StripWorkbench;
class VoiceMenu;
class WaveformView;

class TForm1 : public QMainWindow {
    Q_OBJECT
  public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    static constexpr int kBands = 12;
    static constexpr int kBandFlat = 15;  // a band slider at 0 dB

    // ---- Player state ----
    audio::HSTREAM Stream = 0;  // the playback stream; 0 = none
    QString EnvelopeFile;       // path of the file last opened for playback
    bool Stopped = false;       // the fragment engine is halted
    bool SliderSync = false;    // the status refresh itself is moving TrackBar1
    bool TickBusy = false;      // a tick is running
    QString ExeDir;             // folder of the executable, no trailing separator
    std::array<audio::HFX, kBands> EqEffects{};
    std::array<int, kBands> EqCentres{};
    TRepetitionCycle Cycle;
    double Speed = 1.0;          // playback speed, pitch kept: 0.5 ... 2.0 in steps of 0.05
    audio::VoiceSettings Voice;  // channel, noise reduction, levelling; all off at first
    audio::VoiceNoise LastNoise = audio::VoiceNoise::Medium;  // what the key turns back on
    // The waveform envelope of the recording last opened, and the worker that computes it.
    EnvelopeState Envelope;
    std::unique_ptr<ENVELOPE> EnvelopeWorker;
    // Says so while the sound card is lost or missing.
    SoundNotice* Notice = nullptr;
    // Says what the tick ran into (a missing or unplayable recording) without a box.
    TickNotice* Notices = nullptr;

    // ---- Controls ----
    TListBox* ListBox1 = nullptr;  // the playlist: full paths
    QMenu* PopupMenu1 = nullptr;
    QAction* N7 = nullptr;   // "Добавить файлы"
    QAction* N11 = nullptr;  // "Удалить выбранные"
    QAction* N9 = nullptr;   // "Очистить список"
    QFileDialog* OpenDialog1 = nullptr;

    QGroupBox* GroupBox1 = nullptr;  // "Параметры"
    QLineEdit* Edit1 = nullptr;      // fragment length L
    QLineEdit* Edit2 = nullptr;      // repetitions N
    QLineEdit* Edit3 = nullptr;      // pause P
    QLineEdit* Edit4 = nullptr;      // shift back S
    TUpDown* UpDown1 = nullptr;
    TUpDown* UpDown2 = nullptr;
    TUpDown* UpDown3 = nullptr;
    TUpDown* UpDown4 = nullptr;

    QGroupBox* GroupBox2 = nullptr;  // "Эквалайзер"
    QMenu* PopupMenu3 = nullptr;
    QAction* N22 = nullptr;  // "Значения по умолчанию"
    QSlider* TrackBar3 = nullptr;
    QSlider* TrackBar4 = nullptr;
    QSlider* TrackBar5 = nullptr;
    QSlider* TrackBar6 = nullptr;
    QSlider* TrackBar7 = nullptr;
    QSlider* TrackBar8 = nullptr;
    QSlider* TrackBar9 = nullptr;
    QSlider* TrackBar10 = nullptr;
    QSlider* TrackBar11 = nullptr;
    QSlider* TrackBar12 = nullptr;
    QSlider* TrackBar13 = nullptr;
    QSlider* TrackBar14 = nullptr;
    QGroupBox* GroupBox3 = nullptr;  // "Громкость"
    QSlider* TrackBar2 = nullptr;    // volume: 0 full ... 10 silent

    // Zoom, ruler, the cycle, ticks and the selection loop on PaintBox1.
    StripWorkbench* Strip = nullptr;
    WaveformView* PaintBox1 = nullptr;
    QSlider* TrackBar1 = nullptr;  // position, per mille of the length
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QAction* Action1 = nullptr;  // F2 ... F6, the same commands as the buttons
    QAction* Action2 = nullptr;
    QAction* Action3 = nullptr;
    QAction* Action4 = nullptr;
    QAction* Action5 = nullptr;
    TStatusBar* StatusBar1 = nullptr;
    QTimer* Timer1 = nullptr;  // the player tick, 200 ms

    // Main menu. "Файл": open project, save, save as, exit.
    QMenu* FileMenu = nullptr;
    QAction* N4 = nullptr;   // "Открыть проект"
    QAction* N6 = nullptr;   // "Сохранить"
    QAction* N15 = nullptr;  // "Сохранить как"
    QAction* N2 = nullptr;   // "Выход"
    // "Помощь": help (F1), about.
    QMenu* HelpMenu = nullptr;
    QAction* HelpItem = nullptr;   // "Справка"
    QAction* AboutItem = nullptr;  // "О программе"
    // "Скорость": faster, slower, normal speed (Alt+Up, Alt+Down, Alt+Home).
    QMenu* SpeedMenu = nullptr;
    QAction* FasterItem = nullptr;
    QAction* SlowerItem = nullptr;
    QAction* NormalSpeedItem = nullptr;
    SpeedControl* SpeedBox = nullptr;  // the speed, at the top right of the window
    // "Настройки": the keys and the player's options; filled by the window set.
    QMenu* SettingsMenu = nullptr;

    // The band slider of band 0 ... 11 (TrackBar3 ... TrackBar14).
    QSlider* BandSlider(int band) const;

    // ---- Replaceable for tests ----
    // Chooses sound files to add; an empty list means the user cancelled.
    std::function<QStringList()> OpenFilesHook;
    // Shows one of the player's messages with an OK button and waits for it.
    std::function<void(const QString&)> MessageHook;

    // ---- Playlist and opening (runs also from the tick) ----
    void ListBox1Click();  // open the current item and play it from its start
    void N7Click();        // add files
    void N11Click();       // remove the selected items
    void N9Click();        // clear the list
    void N14Click();       // stop: release the stream
    // Appends recordings to the playlist as the add dialog does (dropped files, the
    // command line); nothing for an empty list.
    void AddRecordings(const QStringList& paths);

    // ---- Project: the "Файл" menu ----
    void N4Click();   // open project
    void N6Click();   // save
    void N15Click();  // save as
    void N2Click();   // exit

    // ---- Status ----
    void N12Click();  // panel 1: the file counter
    void N13Click();  // every panel and the position slider

    // ---- Equalizer and volume ----
    void N20Click();  // apply the twelve bands; leaves the output playing
    void N21Click();  // attach the twelve band effects to the stream
    void N22Click();  // all bands flat
    void TrackBar2Change();

    // ---- Transport ----
    void BitBtn1Click();  // F2 back
    void BitBtn2Click();  // F3 play
    void BitBtn3Click();  // F4 pause
    void BitBtn4Click();  // F5 next
    void BitBtn5Click();  // F6 editor
    // Shows the editor and brings it to the front; wired by the window set.
    std::function<void()> ShowEditor;
    // The "Файл" menu's project commands, which work over several windows; wired by the
    // window set.
    struct ProjectLink {
        std::function<void()> open;
        std::function<void()> save;
        std::function<void()> saveAs;
        std::function<void()> exit;
    };
    ProjectLink Project;
    // For timestamps in the editor: the current recording's position (nullopt with none
    // open), and playing it from a moment (the end when beyond it) with the fragment cycle
    // started afresh as back and next do; false with no recording open.
    std::optional<double> RecordingPosition() const;
    bool PlayFrom(double seconds);
    void TrackBar1Change();

    // ---- Playback speed (speed_control.cpp) ----
    // Sets the speed (put on the 0.05 grid within 0.5 ... 2.0) for the stream and every
    // stream opened later, and shows it; the cycle keeps its place in the recording.
    void SetSpeed(double speed);
    void SpeedFaster();  // Alt+Up: 0.05 faster
    void SpeedSlower();  // Alt+Down: 0.05 slower
    void SpeedNormal();  // Alt+Home: 1.0

    // ---- Voice (voice_panel.cpp) ----
    // Sets the voice stages for the stream and every stream opened later, and shows them.
    void SetVoice(const audio::VoiceSettings& voice);
    void ToggleNoiseReduction();  // Alt+PgDown: off, or the strength last used
    void ToggleLevelling();       // Alt+PgUp
    VoiceMenu* VoiceItems = nullptr;

    // ---- The tick ----
    void Timer1Timer();
    // Edit1 … Edit4 as the tick reads them, each held inside its range.
    CycleParameters FieldParameters() const;

    // ---- Waveform strip ----
    // Sets EnvelopeFile and wakes the envelope worker for that recording.
    void RequestEnvelope(const QString& path);
    void PaintBox1MouseDown(int x);  // seek by whole seconds relative to the marker

    // Normalisation of the four fields when they lose the focus.
    void Edit1Exit();
    void Edit2Exit();
    void Edit3Exit();
    void Edit4Exit();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildMenus();
    void BuildControls(QWidget* client);
    void BuildSpeedControls(QWidget* client);
    void BuildVoiceControls();
    void ShowMessage(const QString& text);
    // Centre and gain of a band as its tooltip.
    void ShowBandTip(int band);
    // Position and length of the stream in seconds.
    double PositionSeconds() const;
    double LengthSeconds() const;
    void MoveToNextFile();
    void CycleStep();

    // The transport's decisions, over the stream `Stream` (both made before any control).
    std::unique_ptr<EngineTransportStream> Engine;
    std::unique_ptr<PlayerTransport> Transport;
};
