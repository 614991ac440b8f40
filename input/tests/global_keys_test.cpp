// Global keys on a real X server (run under xvfb-run) and through a fake desktop portal on a
// private session bus (run under dbus-run-session).
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include "input/portal_global_keys.h"
#include "input/x11_global_keys.h"

using namespace input;

namespace {

struct Log {
    QStringList events;
    void Watch(GlobalKeys& keys) {
        QObject::connect(&keys, &GlobalKeys::Pressed,
                         [this](const QString& c) { events << "+" + c; });
        QObject::connect(&keys, &GlobalKeys::Released,
                         [this](const QString& c) { events << "-" + c; });
    }
    // Waits (processing events) until `count` events arrived or a few seconds passed.
    bool WaitFor(int count) {
        QElapsedTimer timer;
        timer.start();
        while (events.size() < count && timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(2);
        }
        return events.size() >= count;
    }
};

void Xdotool(const QStringList& args) {
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), args), 0)
        << args.join(' ').toStdString();
}

// Another program's window with the keyboard focus.
class OtherWindow {
  public:
    OtherWindow() {
        connection_ = xcb_connect(nullptr, nullptr);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        window_ = xcb_generate_id(connection_);
        const std::uint32_t mask = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE;
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 300, 200,
                          0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK,
                          &mask);
        xcb_map_window(connection_, window_);
        xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
        std::free(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }
    ~OtherWindow() { xcb_disconnect(connection_); }
    bool HasFocus() {
        auto* reply =
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr);
        const bool focus = reply && reply->focus == window_;
        std::free(reply);
        return focus;
    }
    // Key presses that reached this window.
    int KeyPresses() {
        int n = 0;
        while (xcb_generic_event_t* e = xcb_poll_for_event(connection_)) {
            if ((e->response_type & 0x7f) == XCB_KEY_PRESS) ++n;
            std::free(e);
        }
        return n;
    }

  private:
    xcb_connection_t* connection_;
    xcb_window_t window_;
};

}  // namespace

TEST(GlobalKeyNames, QtKeysAsXKeysymsAndShortcutTexts) {
    struct Case {
        QKeyCombination key;
        const char* text;
        const char* trigger;
    };
    const Case cases[] = {
        {Qt::Key_F3, "F3", "F3"},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_F12, "Ctrl+Shift+F12", "CTRL+SHIFT+F12"},
        {Qt::ALT | Qt::Key_P, "Alt+P", "ALT+p"},
        {Qt::META | Qt::Key_7, "Meta+7", "LOGO+7"},
        {Qt::Key_MediaPlay, "XF86AudioPlay", "XF86AudioPlay"},
        {Qt::Key_F35, "F35", "F35"},
        {Qt::Key_Percent, "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GlobalKeyText(c.key), QString::fromUtf8(c.text));
        EXPECT_EQ(PortalTriggerText(c.key), QString::fromUtf8(c.trigger));
    }
    EXPECT_EQ(GlobalKeyName(Qt::Key_F3)->keysym, 0xffc0u);  // XK_F3
    EXPECT_EQ(GlobalKeyName(Qt::Key_Z)->keysym, std::uint32_t('z'));
}

TEST(X11GlobalKeys, AGrabbedKeyRunsItsCommandWhileAnotherWindowHasTheFocus) {
    ASSERT_TRUE(qEnvironmentVariableIsSet("DISPLAY")) << "run under xvfb-run";
    X11GlobalKeys keys;
    ASSERT_TRUE(keys.Available());
    OtherWindow other;
    ASSERT_TRUE(other.HasFocus());
    Log log;
    log.Watch(keys);
    ASSERT_TRUE(keys.Bind(QStringLiteral("player.pause"), Qt::Key_F3).ok);
    ASSERT_TRUE(keys.Bind(QStringLiteral("player.play_held"), Qt::CTRL | Qt::Key_F9).ok);

    Xdotool({"key", "F3"});
    ASSERT_TRUE(log.WaitFor(2));
    // With Num Lock and Caps Lock on, the same keys still reach us.
    Xdotool({"key", "Num_Lock"});
    Xdotool({"key", "Caps_Lock"});
    Xdotool({"key", "F3"});
    ASSERT_TRUE(log.WaitFor(4));
    // A held key: one press, one release, however long it is held.
    Xdotool({"keydown", "ctrl+F9"});
    ASSERT_TRUE(log.WaitFor(5));
    Xdotool({"keyup", "ctrl+F9"});
    ASSERT_TRUE(log.WaitFor(6));
    Xdotool({"key", "Num_Lock"});
    Xdotool({"key", "Caps_Lock"});
    EXPECT_EQ(log.events, QStringList({"+player.pause", "-player.pause", "+player.pause",
                                       "-player.pause", "+player.play_held", "-player.play_held"}));
    EXPECT_TRUE(other.HasFocus());
    EXPECT_EQ(other.KeyPresses(), 5);  // the lock keys and Ctrl: ours never reached it

    // Given up: the key goes back to whoever has the focus.
    keys.Unbind(QStringLiteral("player.pause"));
    Xdotool({"key", "F3"});
    QThread::msleep(100);
    QCoreApplication::processEvents();
    EXPECT_EQ(log.events.size(), 6);
    EXPECT_EQ(other.KeyPresses(), 1);
}

TEST(X11GlobalKeys, AKeyAnotherProgramHoldsIsRefusedByName) {
    X11GlobalKeys holder;
    ASSERT_TRUE(holder.Bind(QStringLiteral("other"), Qt::SHIFT | Qt::Key_F7).ok);

    X11GlobalKeys keys;
    const BindResult result = keys.Bind(QStringLiteral("player.next"), Qt::SHIFT | Qt::Key_F7);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.message.contains(QStringLiteral("Shift+F7")))
        << result.message.toStdString();
    EXPECT_TRUE(result.message.contains(QStringLiteral("другая программа")));
    // Ours twice: refused without asking the server.
    ASSERT_TRUE(keys.Bind(QStringLiteral("a"), Qt::Key_F8).ok);
    EXPECT_FALSE(keys.Bind(QStringLiteral("b"), Qt::Key_F8).ok);
    // Once the other program lets go, the key can be had.
    holder.Unbind(QStringLiteral("other"));
    EXPECT_TRUE(keys.Bind(QStringLiteral("player.next"), Qt::SHIFT | Qt::Key_F7).ok);
    EXPECT_FALSE(X11GlobalKeys(QStringLiteral(":999")).Available());
}

// ---- the desktop portal

namespace {

const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");

// Answers CreateSession and BindShortcuts as a desktop does, on a connection of its own.
class FakePortal : public QDBusVirtualObject {
  public:
    explicit FakePortal(QDBusConnection bus) : bus_(bus) {}
    QStringList calls;
    QString lastTrigger;
    bool refuse = false;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
        if (message.interface() != QStringLiteral("org.freedesktop.portal.GlobalShortcuts"))
            return false;
        const QList<QVariant> args = message.arguments();
        QVariantMap options;
        QVariantMap results;
        uint code = 0;
        if (message.member() == QStringLiteral("CreateSession") && args.size() == 1) {
            options = qdbus_cast<QVariantMap>(args[0]);
            calls << QStringLiteral("CreateSession");
            results[QStringLiteral("session_handle")] =
                kPortalPath + QStringLiteral("/session/x/") +
                options.value(QStringLiteral("session_handle_token")).toString();
        } else if (message.member() == QStringLiteral("BindShortcuts") && args.size() == 4) {
            calls << QStringLiteral("BindShortcuts ") + qdbus_cast<QDBusObjectPath>(args[0]).path();
            const QDBusArgument list = args[1].value<QDBusArgument>();
            list.beginArray();
            while (!list.atEnd()) {
                QString id;
                QVariantMap props;
                list.beginStructure();
                list >> id >> props;
                list.endStructure();
                lastTrigger =
                    id + u'=' + props.value(QStringLiteral("preferred_trigger")).toString();
            }
            list.endArray();
            options = qdbus_cast<QVariantMap>(args[3]);
            code = refuse ? 1 : 0;
        } else {
            bus_.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
            return true;
        }
        QString sender = message.service().mid(1);
        sender.replace(u'.', u'_');
        const QString request = kPortalPath + QStringLiteral("/request/") + sender + u'/' +
                                options.value(QStringLiteral("handle_token")).toString();
        bus_.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        response << code << results;
        bus_.send(response);
        return true;
    }
    void Emit(const QString& member, const QString& session, const QString& id) {
        QDBusMessage signal = QDBusMessage::createSignal(
            kPortalPath, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), member);
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(1)
               << QVariantMap();
        bus_.send(signal);
    }

  private:
    QDBusConnection bus_;
};

bool WaitUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

}  // namespace

TEST(PortalGlobalKeys, SessionBindingsAndPressReleaseThroughTheDesktopPortal) {
    QDBusConnection portalBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal"));
    ASSERT_TRUE(portalBus.isConnected()) << "run under dbus-run-session";
    FakePortal portal(portalBus);
    ASSERT_TRUE(portalBus.registerVirtualObject(kPortalPath, &portal));
    ASSERT_TRUE(portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));

    PortalGlobalKeys keys(QDBusConnection::sessionBus());
    Log log;
    log.Watch(keys);
    // Bound before the session exists: sent once the session is there.
    ASSERT_TRUE(keys.Bind(QStringLiteral("player.pause"), Qt::CTRL | Qt::Key_F4).ok);
    QStringList bound;
    bool ready = false;
    QObject::connect(&keys, &PortalGlobalKeys::SessionReady, [&](bool ok) { ready = ok; });
    QObject::connect(&keys, &PortalGlobalKeys::Bound, [&](const QStringList& ids) { bound = ids; });
    keys.Start();
    ASSERT_TRUE(WaitUntil([&] { return ready && portal.calls.size() == 2; }));
    EXPECT_TRUE(keys.Available());
    EXPECT_EQ(portal.calls[1], QStringLiteral("BindShortcuts ") + kPortalPath +
                                   QStringLiteral("/session/x/nuvtolvek"));
    EXPECT_EQ(portal.lastTrigger, QStringLiteral("player.pause=CTRL+F4"));

    const QString session = kPortalPath + QStringLiteral("/session/x/nuvtolvek");
    portal.Emit(QStringLiteral("Activated"), session, QStringLiteral("player.pause"));
    portal.Emit(QStringLiteral("Activated"), kPortalPath + "/session/other", "player.pause");
    portal.Emit(QStringLiteral("Activated"), session, QStringLiteral("not.ours"));
    portal.Emit(QStringLiteral("Deactivated"), session, QStringLiteral("player.pause"));
    ASSERT_TRUE(log.WaitFor(2));
    QThread::msleep(50);
    QCoreApplication::processEvents();
    EXPECT_EQ(log.events, QStringList({"+player.pause", "-player.pause"}));

    // A refusal by the desktop names the key.
    portal.refuse = true;
    QString refused;
    QObject::connect(&keys, &GlobalKeys::Refused,
                     [&](const QString&, const QString& message) { refused = message; });
    ASSERT_TRUE(keys.Bind(QStringLiteral("player.play_held"), Qt::Key_F10).ok);
    ASSERT_TRUE(WaitUntil([&] { return !refused.isEmpty(); }));
    EXPECT_TRUE(refused.contains(QStringLiteral("F10")));
    EXPECT_FALSE(keys.Bind(QStringLiteral("player.next"), Qt::Key_F10).ok);
    portalBus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
}

TEST(PortalGlobalKeys, NoPortalOnTheBusSaysSo) {
    PortalGlobalKeys keys(QDBusConnection::sessionBus());
    bool answered = false, ok = true;
    QObject::connect(&keys, &PortalGlobalKeys::SessionReady, [&](bool r) {
        answered = true;
        ok = r;
    });
    keys.Start();
    ASSERT_TRUE(WaitUntil([&] { return answered; }));
    EXPECT_FALSE(ok);
    EXPECT_FALSE(keys.Available());
    EXPECT_FALSE(keys.Description().isEmpty());
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
