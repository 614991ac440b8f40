// The desktop's standard media-player interface (MPRIS 2) on the session bus, so that media
// keys, headset buttons, foot pedals that send media keys and the desktop's media widgets
// drive the player while the typist works in any other window.
//
// The interface knows the player only through MediaPlayerControls: Play and Pause are the
// player's play and pause commands, Next and Previous its steps forward and back by one
// fragment, Seek and SetPosition move within the recording, Rate is the playback speed
// (0.5 … 2.0, pitch kept). Positions on the bus are microseconds. Service
// "org.mpris.MediaPlayer2.nuvtolvek" (a second running copy takes
// "….nuvtolvek.instance<pid>"), object "/org/mpris/MediaPlayer2".
//
// User-interface thread only: bus calls arrive through its event loop. The state is polled
// twice a second (and after every command) to announce changes with PropertiesChanged and
// jumps of the position with Seeked.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <functional>
#include <memory>

struct MediaPlayerControls {
    std::function<void()> play;
    std::function<void()> pause;
    std::function<void()> next;
    std::function<void()> previous;
    // Moves to `seconds` (0 … length) within the open recording; the output keeps its state.
    std::function<void(double seconds)> seekTo;
    std::function<bool()> hasRecording;  // a recording is open
    std::function<bool()> playing;       // … and the fragment engine is running
    std::function<double()> positionSeconds;
    std::function<double()> lengthSeconds;
    std::function<QString()> recordingPath;
    std::function<void()> raise;  // brings the player window to the front
    // Playback speed (1.0 normal) within minimumRate … maximumRate; setRate puts a value
    // on the player's own grid.
    std::function<double()> rate;
    std::function<void(double)> setRate;
    double minimumRate = 1.0;
    double maximumRate = 1.0;
};

// What the bus sees of the player at one moment.
struct MediaState {
    QString status;  // "Playing", "Paused" or "Stopped" (no recording open)
    qint64 positionMicroseconds = 0;
    qint64 lengthMicroseconds = 0;
    QString path;
    QString title;  // the file name without its folder and extension
    double rate = 1.0;
};
MediaState ReadMediaState(const MediaPlayerControls& controls);

class MediaInterface : public QObject {
    Q_OBJECT
  public:
    static constexpr char kServiceName[] = "org.mpris.MediaPlayer2.nuvtolvek";
    static constexpr char kObjectPath[] = "/org/mpris/MediaPlayer2";

    MediaInterface(MediaPlayerControls controls, QDBusConnection bus, QObject* parent = nullptr);
    ~MediaInterface() override;

    // The name taken on the bus; empty when there is no bus or no name could be taken.
    const QString& ServiceName() const { return serviceName_; }

    // ---- org.mpris.MediaPlayer2.Player, also called by the adaptors ----
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    void Seek(qint64 offsetMicroseconds);
    void SetPosition(const QString& trackId, qint64 positionMicroseconds);
    void Raise();
    double Rate() const { return controls_.rate(); }
    // 0 or less pauses, as the interface asks of a player.
    void SetRate(double rate);
    double MinimumRate() const { return controls_.minimumRate; }
    double MaximumRate() const { return controls_.maximumRate; }

    MediaState State() const { return ReadMediaState(controls_); }
    // "/org/example/nuvtolvek/track/<n>", n counting the recordings opened; NoTrack without one.
    QString TrackId() const;
    QVariantMap Metadata() const;

    // Compares the player with what was last announced and announces the differences.
    void Refresh();

  signals:
    void Seeked(qint64 positionMicroseconds);

  private:
    // Refresh; `seeked` announces the position as a jump even when it moved only a little.
    void Update(bool seeked);
    void Announce(const QVariantMap& changed);

    MediaPlayerControls controls_;
    QDBusConnection bus_;
    QString serviceName_;
    QTimer poll_;
    MediaState announced_;
    qint64 announcedAtMs_ = 0;  // monotonic time of announced_.positionMicroseconds
    int track_ = 0;
};

// The interface on the desktop's session bus; nullptr when there is none.
std::unique_ptr<MediaInterface> StartMediaInterface(MediaPlayerControls controls);
