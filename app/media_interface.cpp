#include "app/media_interface.h"

#include <unistd.h>

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kPollMs = 500;
constexpr double kNearEndSeconds = 0.5;
// A position further than this from where steady playback would be is announced as a jump.
constexpr qint64 kJumpMicroseconds = 1'000'000;
constexpr char kPlayerInterface[] = "org.mpris.MediaPlayer2.Player";
constexpr char kNoTrack[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

qint64 Microseconds(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0.0) return 0;
    return static_cast<qint64>(std::llround(seconds * 1e6));
}

qint64 NowMs() {
    static const QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

}  // namespace

MediaState ReadMediaState(const MediaPlayerControls& c) {
    MediaState state;
    state.rate = c.rate();
    if (!c.hasRecording()) {
        state.status = QStringLiteral("Stopped");
        return state;
    }
    state.status = c.playing() ? QStringLiteral("Playing") : QStringLiteral("Paused");
    state.positionMicroseconds = Microseconds(c.positionSeconds());
    state.lengthMicroseconds = Microseconds(c.lengthSeconds());
    state.path = c.recordingPath();
    state.title = QFileInfo(state.path).completeBaseName();
    return state;
}

// ---- the two bus interfaces: thin forwarders to MediaInterface

class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
  public:
    explicit MprisRootAdaptor(MediaInterface* owner) : QDBusAbstractAdaptor(owner), owner_(owner) {}
    // A media widget must not close the program with an unsaved transcript.
    bool CanQuit() const { return false; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("NUV Tolvek"); }
    QString DesktopEntry() const { return QStringLiteral("nuvtolvek"); }
    // Recordings are added through the playlist, not handed over the bus.
    QStringList SupportedUriSchemes() const { return {}; }
    QStringList SupportedMimeTypes() const { return {}; }

  public slots:
    void Raise() { owner_->Raise(); }
    void Quit() {}

  private:
    MediaInterface* owner_;
};

class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double MinimumRate READ MinimumRate)
    Q_PROPERTY(double MaximumRate READ MaximumRate)
    Q_PROPERTY(bool CanGoNext READ HasRecording)
    Q_PROPERTY(bool CanGoPrevious READ HasRecording)
    Q_PROPERTY(bool CanPlay READ Always)
    Q_PROPERTY(bool CanPause READ Always)
    Q_PROPERTY(bool CanSeek READ HasRecording)
    Q_PROPERTY(bool CanControl READ Always)
  public:
    explicit MprisPlayerAdaptor(MediaInterface* owner)
        : QDBusAbstractAdaptor(owner), owner_(owner) {
        connect(owner, &MediaInterface::Seeked, this, &MprisPlayerAdaptor::Seeked);
    }
    QString PlaybackStatus() const { return owner_->State().status; }
    double Rate() const { return owner_->Rate(); }
    void SetRate(double rate) { owner_->SetRate(rate); }
    double MinimumRate() const { return owner_->MinimumRate(); }
    double MaximumRate() const { return owner_->MaximumRate(); }
    QVariantMap Metadata() const { return owner_->Metadata(); }
    // The player's own volume control stays in charge.
    double Volume() const { return 1.0; }
    void SetVolume(double) {}
    qlonglong Position() const { return owner_->State().positionMicroseconds; }
    bool HasRecording() const { return owner_->State().status != QLatin1String("Stopped"); }
    bool Always() const { return true; }

  public slots:
    void Next() { owner_->Next(); }
    void Previous() { owner_->Previous(); }
    void Pause() { owner_->Pause(); }
    void PlayPause() { owner_->PlayPause(); }
    void Stop() { owner_->Stop(); }
    void Play() { owner_->Play(); }
    void Seek(qlonglong Offset) { owner_->Seek(Offset); }
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
        owner_->SetPosition(TrackId.path(), Position);
    }
    void OpenUri(const QString&) {}

  signals:
    void Seeked(qlonglong Position);

  private:
    MediaInterface* owner_;
};

// ---- MediaInterface

MediaInterface::MediaInterface(MediaPlayerControls controls, QDBusConnection bus, QObject* parent)
    : QObject(parent), controls_(std::move(controls)), bus_(std::move(bus)) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    announced_ = State();
    announcedAtMs_ = NowMs();
    if (announced_.status != QLatin1String("Stopped")) track_ = 1;
    if (bus_.isConnected() && bus_.registerObject(QString::fromLatin1(kObjectPath), this)) {
        const QString name = QString::fromLatin1(kServiceName);
        if (bus_.registerService(name))
            serviceName_ = name;
        else if (bus_.registerService(name + QStringLiteral(".instance%1").arg(::getpid())))
            serviceName_ = name + QStringLiteral(".instance%1").arg(::getpid());
    }
    connect(&poll_, &QTimer::timeout, this, &MediaInterface::Refresh);
    if (!serviceName_.isEmpty()) poll_.start(kPollMs);
}

MediaInterface::~MediaInterface() {
    if (!serviceName_.isEmpty()) {
        bus_.unregisterService(serviceName_);
        bus_.unregisterObject(QString::fromLatin1(kObjectPath));
    }
}

void MediaInterface::Play() {
    controls_.play();
    Refresh();
}

void MediaInterface::Pause() {
    controls_.pause();
    Refresh();
}

void MediaInterface::PlayPause() {
    if (controls_.hasRecording() && controls_.playing())
        controls_.pause();
    else
        controls_.play();
    Refresh();
}

// The player has no stop that keeps the recording open: stopping halts it where it is.
void MediaInterface::Stop() {
    Pause();
}

void MediaInterface::Next() {
    controls_.next();
    Refresh();
}

void MediaInterface::Previous() {
    controls_.previous();
    Refresh();
}

void MediaInterface::Seek(qint64 offsetMicroseconds) {
    if (!controls_.hasRecording()) return;
    const double target = controls_.positionSeconds() + offsetMicroseconds / 1e6;
    const double length = controls_.lengthSeconds();
    // Past the end: half a second before it, as the player's own step forward does there,
    // so that a playing recording runs out and the next one follows.
    const double clamped = target >= length ? length - kNearEndSeconds : target;
    controls_.seekTo(clamped < 0.0 ? 0.0 : clamped);
    Update(true);
}

void MediaInterface::SetPosition(const QString& trackId, qint64 positionMicroseconds) {
    if (!controls_.hasRecording() || trackId != TrackId()) return;
    if (positionMicroseconds < 0 || positionMicroseconds > Microseconds(controls_.lengthSeconds()))
        return;
    controls_.seekTo(positionMicroseconds / 1e6);
    Update(true);
}

void MediaInterface::Raise() {
    controls_.raise();
}

void MediaInterface::SetRate(double rate) {
    if (!(rate > 0.0)) {
        Pause();
        return;
    }
    controls_.setRate(rate);
    Refresh();
}

QString MediaInterface::TrackId() const {
    if (!controls_.hasRecording()) return QString::fromLatin1(kNoTrack);
    return QStringLiteral("/org/example/nuvtolvek/track/%1").arg(track_);
}

QVariantMap MediaInterface::Metadata() const {
    QVariantMap metadata;
    metadata.insert(QStringLiteral("mpris:trackid"),
                    QVariant::fromValue(QDBusObjectPath(TrackId())));
    const MediaState state = State();
    if (state.status == QLatin1String("Stopped")) return metadata;
    metadata.insert(QStringLiteral("mpris:length"), state.lengthMicroseconds);
    metadata.insert(QStringLiteral("xesam:title"), state.title);
    metadata.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(state.path).toString());
    return metadata;
}

void MediaInterface::Refresh() {
    Update(false);
}

void MediaInterface::Update(bool seeked) {
    const MediaState before = announced_;
    const qint64 beforeMs = announcedAtMs_;
    const MediaState now = State();
    announced_ = now;
    announcedAtMs_ = NowMs();

    QVariantMap changed;
    const bool hadRecording = before.status != QLatin1String("Stopped");
    const bool hasRecording = now.status != QLatin1String("Stopped");
    const bool newTrack = hasRecording && (!hadRecording || now.path != before.path);
    if (newTrack) ++track_;
    if (newTrack || hadRecording != hasRecording ||
        now.lengthMicroseconds != before.lengthMicroseconds) {
        changed.insert(QStringLiteral("Metadata"), Metadata());
        for (const char* name : {"CanGoNext", "CanGoPrevious", "CanSeek"})
            changed.insert(QString::fromLatin1(name), hasRecording);
    }
    if (now.status != before.status) changed.insert(QStringLiteral("PlaybackStatus"), now.status);
    if (now.rate != before.rate) changed.insert(QStringLiteral("Rate"), now.rate);
    if (!changed.isEmpty()) Announce(changed);

    // Clients extrapolate the position while playing; tell them when it went elsewhere
    // (the player's own keys, a new fragment, a repetition starting over). A position that
    // stood still is the pause between repetitions, not a jump.
    if (!seeked && hasRecording && !newTrack &&
        now.positionMicroseconds != before.positionMicroseconds) {
        const qint64 steady =
            before.positionMicroseconds +
            (before.status == QLatin1String("Playing")
                 ? static_cast<qint64>((announcedAtMs_ - beforeMs) * 1000 * before.rate)
                 : 0);
        seeked = std::llabs(now.positionMicroseconds - steady) > kJumpMicroseconds;
    }
    if (seeked) emit Seeked(now.positionMicroseconds);
}

void MediaInterface::Announce(const QVariantMap& changed) {
    if (serviceName_.isEmpty()) return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
    bus_.send(signal);
}

std::unique_ptr<MediaInterface> StartMediaInterface(MediaPlayerControls controls) {
    // Without a bus to find (a console, a test run) not even the bus library's thread starts.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus"))))
        return nullptr;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return nullptr;
    auto media = std::make_unique<MediaInterface>(std::move(controls), bus);
    if (media->ServiceName().isEmpty()) return nullptr;
    return media;
}

#include "media_interface.moc"
