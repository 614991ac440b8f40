// Global keys through the desktop portal (org.freedesktop.portal.GlobalShortcuts), where the
// desktop offers it (KDE Plasma 5.27 and later on Wayland). One session per run; every
// binding change sends the whole list again (BindShortcuts), and the desktop may ask the user
// to confirm. Activated → Pressed, Deactivated → Released.
//
// The portal answers through Request objects: the request path is known in advance from our
// bus name and a token of ours, so the answer cannot arrive before we listen for it.
#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QMap>
#include <QVariantMap>

#include "input/global_keys.h"

namespace input {

class PortalGlobalKeys : public GlobalKeys {
    Q_OBJECT
  public:
    explicit PortalGlobalKeys(QDBusConnection bus, QObject* parent = nullptr);

    // Asks for a session; `SessionReady` tells how it went.
    void Start();
    bool Available() const override { return !session_.path().isEmpty(); }
    QString Description() const override;
    BindResult Bind(const QString& command, QKeyCombination key) override;
    void Unbind(const QString& command) override;

  signals:
    void SessionReady(bool ok);
    // The desktop's answer to the latest bindings: which ids it took.
    void Bound(const QStringList& commands);

  private slots:
    void OnActivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                     const QVariantMap& options);
    void OnDeactivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                       const QVariantMap& options);
    void OnSessionResponse(uint response, const QVariantMap& results);
    void OnBindResponse(uint response, const QVariantMap& results);

  private:
    QString RequestPath(const QString& token) const;
    void SendBindings();

    QDBusConnection bus_;
    QDBusObjectPath session_;
    QMap<QString, QKeyCombination> keys_;
    QString error_;
    int tokens_ = 0;
};

}  // namespace input
