// The media-player interface on a private session bus (the test runs under
// dbus-run-session): calls made with dbus-send, as a desktop widget or a media key daemon
// would make them, drive the real player window the way F2-F5 do.
#include "app/media_interface.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include "app/application.h"
#include "app/tests/sound_files.h"
#include "app/window_set.h"
#include "audio/audio.h"
#include "player/player_controls.h"
#include "player/player_window.h"

namespace {

constexpr char kService[] = "org.mpris.MediaPlayer2.nuvtolvek";
constexpr char kPath[] = "/org/mpris/MediaPlayer2";
constexpr char kPlayer[] = "org.mpris.MediaPlayer2.Player";

// Runs dbus-send while this process keeps serving the bus; returns its reply text.
QString DbusSend(const QStringList& arguments) {
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    process.start(QStringLiteral("dbus-send"),
                  QStringList{"--session", "--print-reply",
                              QStringLiteral("--dest=%1").arg(kService), kPath} +
                      arguments);
    loop.exec();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

void Call(const char* method, const QStringList& arguments = {}) {
    DbusSend(QStringList{QStringLiteral("%1.%2").arg(kPlayer, method)} + arguments);
}

QString Property(const char* interface, const char* name) {
    return DbusSend({"org.freedesktop.DBus.Properties.Get",
                     QStringLiteral("string:%1").arg(interface),
                     QStringLiteral("string:%1").arg(name)});
}

// The number after `type` in a reply ("variant int64 3000000" → 3000000).
qint64 Number(const QString& reply, const QString& type) {
    const QRegularExpressionMatch match =
        QRegularExpression(type + QStringLiteral(" (-?\\d+)")).match(reply);
    EXPECT_TRUE(match.hasMatch()) << reply.toStdString();
    return match.captured(1).toLongLong();
}

QString Text(const QString& reply) {
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("string \"([^\"]*)\"")).match(reply);
    EXPECT_TRUE(match.hasMatch()) << reply.toStdString();
    return match.captured(1);
}

qint64 PlayerMicroseconds() {
    return std::llround(1e6 *
                        audio::BytesToSeconds(
                            Form1->Stream, audio::StreamPosition(Form1->Stream, audio::POS_BYTE)));
}

// What a desktop widget hears: property changes and position jumps of the player.
class BusListener : public QObject {
    Q_OBJECT
  public:
    BusListener() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        EXPECT_TRUE(bus.connect(QString(), kPath, "org.freedesktop.DBus.Properties",
                                "PropertiesChanged", this,
                                SLOT(OnChanged(QString, QVariantMap, QStringList))));
        EXPECT_TRUE(
            bus.connect(QString(), kPath, kPlayer, "Seeked", this, SLOT(OnSeeked(qlonglong))));
    }
    QStringList statuses;
    QList<qlonglong> seeks;
    int metadataChanges = 0;

  public slots:
    void OnChanged(const QString& interface, const QVariantMap& changed, const QStringList&) {
        if (interface != kPlayer) return;
        if (changed.contains("PlaybackStatus")) statuses << changed["PlaybackStatus"].toString();
        if (changed.contains("Metadata")) ++metadataChanges;
    }
    void OnSeeked(qlonglong position) { seeks << position; }
};

class MediaInterfaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(qgetenv("DBUS_SESSION_BUS_ADDRESS").isEmpty()) << "run under dbus-run-session";
        ASSERT_TRUE(dir_.isValid());
        recording_ = dir_.filePath("интервью 1.wav");
        ASSERT_TRUE(e2e::WriteWav(recording_, 20.0, 44100, 2));
        audio::CloseDevice();
        ASSERT_TRUE(audio::OpenManualOutput(44100));
        ErrorDialogHook = [](const QString& text) { ADD_FAILURE() << text.toStdString(); };
        CreateWindowSet();
        Form1->Timer1->stop();
        Form1->OpenFilesHook = [this] { return QStringList{recording_}; };
    }
    void TearDown() override {
        DestroyWindowSet();
        audio::CloseDevice();
        ErrorDialogHook = nullptr;
    }
    // Opens the recording as a click in the playlist does: it plays from its start.
    void OpenRecording() {
        Form1->N7Click();
        Form1->ListBox1->setCurrentRow(0);
        Form1->ListBox1Click();
        ASSERT_NE(Form1->Stream, 0u);
    }

    QTemporaryDir dir_;
    QString recording_;
};

TEST_F(MediaInterfaceTest, ServiceDescribesTheProgramAndHasNoTrackBeforeARecording) {
    EXPECT_EQ(Text(Property("org.mpris.MediaPlayer2", "Identity")), "NUV Tolvek");
    EXPECT_EQ(Text(Property("org.mpris.MediaPlayer2", "DesktopEntry")), "nuvtolvek");
    EXPECT_EQ(Text(Property(kPlayer, "PlaybackStatus")), "Stopped");
    EXPECT_TRUE(
        Property(kPlayer, "Metadata").contains("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    EXPECT_TRUE(Property(kPlayer, "CanGoNext").contains("boolean false"));
    // Without a recording the keys change nothing but the halted flag, as F3/F4 do.
    Call("Next");
    Call("Seek", {"int64:5000000"});
    EXPECT_EQ(Form1->Stream, 0u);
}

TEST_F(MediaInterfaceTest, PlayPauseNextPreviousAndSeekActAsThePlayerKeys) {
    OpenRecording();
    EXPECT_EQ(Text(Property(kPlayer, "PlaybackStatus")), "Playing");
    const QString metadata = Property(kPlayer, "Metadata");
    EXPECT_TRUE(metadata.contains("интервью 1")) << metadata.toStdString();
    EXPECT_EQ(Number(metadata.mid(metadata.indexOf("mpris:length")), "int64"), 20'000'000);
    EXPECT_TRUE(Property(kPlayer, "CanSeek").contains("boolean true"));

    // Two fragment ticks in, PlayPause is F4: the engine halts where it is.
    for (int i = 0; i < 10; ++i) {
        audio::AdvanceManualOutput(8820);
        Form1->Timer1Timer();
    }
    const int repetition = Form1->Cycle.Repetition;
    const double clock = Form1->Cycle.Clock;
    Call("PlayPause");
    EXPECT_TRUE(Form1->Stopped);
    EXPECT_EQ(audio::StreamActivity(Form1->Stream), audio::ACTIVE_STOPPED);
    EXPECT_EQ(Text(Property(kPlayer, "PlaybackStatus")), "Paused");
    EXPECT_EQ(Number(Property(kPlayer, "Position"), "int64"), 2'000'000);
    // … and again F3: the same repetition goes on from the same second.
    Call("PlayPause");
    EXPECT_FALSE(Form1->Stopped);
    EXPECT_EQ(Form1->Cycle.Repetition, repetition);
    EXPECT_EQ(Form1->Cycle.Clock, clock);
    EXPECT_EQ(Text(Property(kPlayer, "PlaybackStatus")), "Playing");

    // Next is F5: one fragment length (5 s) on, the cycle from its start.
    Call("Next");
    EXPECT_EQ(PlayerMicroseconds(), 7'000'000);
    EXPECT_EQ(Form1->Cycle.Clock, 0.0);
    EXPECT_EQ(Form1->Cycle.Phase, 0);
    EXPECT_EQ(Number(Property(kPlayer, "Position"), "int64"), 7'000'000);
    // Previous is F2: one fragment length back.
    Call("Previous");
    EXPECT_EQ(PlayerMicroseconds(), 2'000'000);

    // Seek by an offset, both ways, never before the start.
    Call("Seek", {"int64:9500000"});
    EXPECT_EQ(PlayerMicroseconds(), 11'500'000);
    EXPECT_EQ(Number(Property(kPlayer, "Position"), "int64"), 11'500'000);
    EXPECT_EQ(Form1->Cycle.Clock, 0.0);
    Call("Seek", {"int64:-60000000"});
    EXPECT_EQ(PlayerMicroseconds(), 0);
    EXPECT_EQ(audio::StreamActivity(Form1->Stream), audio::ACTIVE_PLAYING);
    // Past the end it is F5 there: half a second before the end.
    Call("Seek", {"int64:60000000"});
    EXPECT_EQ(PlayerMicroseconds(), 19'500'000);
}

TEST_F(MediaInterfaceTest, SeekWhilePausedStaysPausedAndSetPositionNeedsTheCurrentTrack) {
    OpenRecording();
    Call("Pause");
    ASSERT_TRUE(Form1->Stopped);
    Call("Seek", {"int64:3000000"});
    EXPECT_EQ(PlayerMicroseconds(), 3'000'000);
    EXPECT_TRUE(Form1->Stopped);
    EXPECT_EQ(audio::StreamActivity(Form1->Stream), audio::ACTIVE_STOPPED);

    const QString metadata = Property(kPlayer, "Metadata");
    const QRegularExpressionMatch track =
        QRegularExpression("object path \"([^\"]+)\"").match(metadata);
    ASSERT_TRUE(track.hasMatch()) << metadata.toStdString();
    Call("SetPosition", {"objpath:/org/example/nuvtolvek/track/999", "int64:8000000"});
    EXPECT_EQ(PlayerMicroseconds(), 3'000'000);
    Call("SetPosition", {"objpath:" + track.captured(1), "int64:25000000"});  // past the end
    EXPECT_EQ(PlayerMicroseconds(), 3'000'000);
    Call("SetPosition", {"objpath:" + track.captured(1), "int64:8000000"});
    EXPECT_EQ(PlayerMicroseconds(), 8'000'000);
    EXPECT_TRUE(Form1->Stopped);

    Call("Play");
    EXPECT_FALSE(Form1->Stopped);
    EXPECT_EQ(audio::StreamActivity(Form1->Stream), audio::ACTIVE_PLAYING);
    // Stop halts the engine as F4 does: the recording stays open where it was.
    Call("Stop");
    EXPECT_TRUE(Form1->Stopped);
    EXPECT_EQ(PlayerMicroseconds(), 8'000'000);
    EXPECT_EQ(Text(Property(kPlayer, "PlaybackStatus")), "Paused");
}

TEST_F(MediaInterfaceTest, RateIsThePlayersSpeed) {
    OpenRecording();
    EXPECT_TRUE(Property(kPlayer, "MinimumRate").contains("double 0.5"));
    EXPECT_TRUE(Property(kPlayer, "MaximumRate").contains("double 2"));
    EXPECT_TRUE(Property(kPlayer, "Rate").contains("double 1"));
    const auto setRate = [](const char* value) {
        DbusSend({"org.freedesktop.DBus.Properties.Set", QStringLiteral("string:%1").arg(kPlayer),
                  "string:Rate", QStringLiteral("variant:double:%1").arg(value)});
    };
    setRate("0.75");
    EXPECT_EQ(Form1->Speed, 0.75);
    setRate("0.77");  // onto the player's grid of 0.05
    EXPECT_EQ(Form1->Speed, 0.75);
    setRate("9");
    EXPECT_EQ(Form1->Speed, 2.0);
    Form1->SetSpeed(1.5);  // the player's own keys
    EXPECT_TRUE(Property(kPlayer, "Rate").contains("double 1.5"));
    EXPECT_FALSE(Form1->Stopped);
    setRate("0");  // asks for a pause
    EXPECT_TRUE(Form1->Stopped);
    EXPECT_EQ(Form1->Speed, 1.5);
}

TEST_F(MediaInterfaceTest, ChangesAndJumpsAreAnnouncedOnTheBus) {
    BusListener listener;
    const auto waitForPoll = [] {
        QEventLoop wait;
        QTimer::singleShot(1500, &wait, &QEventLoop::quit);
        wait.exec();
    };
    OpenRecording();  // a new track: Playing with its metadata, seen by the next poll
    waitForPoll();
    Call("Pause");
    Call("Play");
    Call("Seek", {"int64:4000000"});
    // F5 pressed in a window: a jump the desktop did not ask for.
    Form1->BitBtn4Click();
    waitForPoll();
    EXPECT_EQ(listener.statuses, (QStringList{"Playing", "Paused", "Playing"}));
    EXPECT_EQ(listener.metadataChanges, 1);
    EXPECT_EQ(listener.seeks, (QList<qlonglong>{4'000'000, 9'000'000}));
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    TApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

#include "media_interface_test.moc"
