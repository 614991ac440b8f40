#include "input/portal_global_keys.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>

namespace input {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

struct Shortcut {
    QString id;
    QVariantMap options;
};

QDBusArgument& operator<<(QDBusArgument& arg, const Shortcut& s) {
    arg.beginStructure();
    arg << s.id << s.options;
    arg.endStructure();
    return arg;
}
const QDBusArgument& operator>>(const QDBusArgument& arg, Shortcut& s) {
    arg.beginStructure();
    arg >> s.id >> s.options;
    arg.endStructure();
    return arg;
}

}  // namespace
}  // namespace input

Q_DECLARE_METATYPE(input::Shortcut)

namespace input {

PortalGlobalKeys::PortalGlobalKeys(QDBusConnection bus, QObject* parent)
    : GlobalKeys(parent), bus_(std::move(bus)) {
    // The slots' types must be known before the first connect, or it fails silently.
    qRegisterMetaType<QDBusObjectPath>();
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<QList<Shortcut>>();
    // From any sender: the session handle, which only the portal knows, is checked instead.
    bus_.connect(QString(), kPath, kInterface, QStringLiteral("Activated"), this,
                 SLOT(OnActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    bus_.connect(QString(), kPath, kInterface, QStringLiteral("Deactivated"), this,
                 SLOT(OnDeactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
}

QString PortalGlobalKeys::RequestPath(const QString& token) const {
    QString sender = bus_.baseService().mid(1);
    sender.replace(u'.', u'_');
    return kPath + QStringLiteral("/request/") + sender + u'/' + token;
}

QString PortalGlobalKeys::Description() const {
    if (Available()) return QStringLiteral("портал рабочего стола");
    return error_.isEmpty() ? QStringLiteral("портал рабочего стола не отвечает") : error_;
}

void PortalGlobalKeys::Start() {
    if (!bus_.isConnected()) {
        error_ = QStringLiteral("нет сеансовой шины");
        emit SessionReady(false);
        return;
    }
    const QString token = QStringLiteral("nuvtolvek%1").arg(++tokens_);
    bus_.connect(kService, RequestPath(token), kRequest, QStringLiteral("Response"), this,
                 SLOT(OnSessionResponse(uint, QVariantMap)));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("CreateSession"));
    call << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("session_handle_token"), QStringLiteral("nuvtolvek")}};
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (w->isError()) {
            error_ = QStringLiteral("рабочий стол не предлагает глобальных клавиш");
            emit SessionReady(false);
        }
    });
}

void PortalGlobalKeys::OnSessionResponse(uint response, const QVariantMap& results) {
    const QString handle = results.value(QStringLiteral("session_handle")).toString();
    if (response != 0 || handle.isEmpty()) {
        error_ = QStringLiteral("рабочий стол отказал в глобальных клавишах");
        emit SessionReady(false);
        return;
    }
    session_ = QDBusObjectPath(handle);
    emit SessionReady(true);
    if (!keys_.isEmpty()) SendBindings();
}

void PortalGlobalKeys::SendBindings() {
    QList<Shortcut> shortcuts;
    for (auto it = keys_.begin(); it != keys_.end(); ++it)
        shortcuts.append({it.key(),
                          {{QStringLiteral("description"), it.key()},
                           {QStringLiteral("preferred_trigger"), PortalTriggerText(it.value())}}});
    const QString token = QStringLiteral("nuvtolvek%1").arg(++tokens_);
    bus_.connect(kService, RequestPath(token), kRequest, QStringLiteral("Response"), this,
                 SLOT(OnBindResponse(uint, QVariantMap)));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(session_) << QVariant::fromValue(shortcuts) << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token}};
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (!w->isError()) return;
        for (auto it = keys_.begin(); it != keys_.end(); ++it)
            emit Refused(
                it.key(),
                QStringLiteral("Рабочий стол не принял клавишу %1").arg(GlobalKeyText(it.value())));
    });
}

void PortalGlobalKeys::OnBindResponse(uint response, const QVariantMap& results) {
    if (response != 0) {
        for (auto it = keys_.begin(); it != keys_.end(); ++it)
            emit Refused(
                it.key(),
                QStringLiteral("Рабочий стол не принял клавишу %1").arg(GlobalKeyText(it.value())));
        return;
    }
    QStringList ids;
    const QDBusArgument list = results.value(QStringLiteral("shortcuts")).value<QDBusArgument>();
    if (list.currentType() == QDBusArgument::ArrayType) {
        QList<Shortcut> shortcuts;
        list >> shortcuts;
        for (const Shortcut& s : shortcuts) ids << s.id;
    }
    emit Bound(ids);
}

BindResult PortalGlobalKeys::Bind(const QString& command, QKeyCombination key) {
    if (!GlobalKeyName(key.key()))
        return {false, QStringLiteral("Эту клавишу нельзя сделать глобальной")};
    for (auto it = keys_.begin(); it != keys_.end(); ++it)
        if (it.key() != command && it.value() == key)
            return {
                false,
                QStringLiteral("Клавиша %1 уже назначена другой команде").arg(GlobalKeyText(key))};
    keys_[command] = key;
    if (Available()) SendBindings();
    return {true, {}};
}

void PortalGlobalKeys::Unbind(const QString& command) {
    if (keys_.remove(command) && Available()) SendBindings();
}

void PortalGlobalKeys::OnActivated(const QDBusObjectPath& session, const QString& id, qulonglong,
                                   const QVariantMap&) {
    if (session == session_ && keys_.contains(id)) emit Pressed(id);
}

void PortalGlobalKeys::OnDeactivated(const QDBusObjectPath& session, const QString& id, qulonglong,
                                     const QVariantMap&) {
    if (session == session_ && keys_.contains(id)) emit Released(id);
}

}  // namespace input
