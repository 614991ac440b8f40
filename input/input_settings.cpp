#include "input/input_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace input {
namespace {

bool ValidCommandId(const QString& id) {
    if (id.isEmpty() || id.size() > 100) return false;
    for (QChar c : id)
        if (!(c.isLetterOrNumber() || c == u'.' || c == u'_' || c == u'-')) return false;
    return true;
}

}  // namespace

QByteArray WriteInputSettings(const InputSettings& settings) {
    QByteArray out;
    for (int pedal = 0; pedal < kMaxPedals; ++pedal) {
        const PedalBinding& b = settings.pedals[pedal];
        out += "pedal." + QByteArray::number(pedal) + '=';
        if (!b.command.empty())
            out += QByteArray::fromStdString(b.command) +
                   (b.mode == PedalMode::Toggle ? " toggle" : " hold");
        out += '\n';
    }
    out += "grab-keyboard-pedals=" + QByteArray(settings.grabKeyboardPedals ? "1" : "0") + '\n';
    for (auto it = settings.globalKeys.begin(); it != settings.globalKeys.end(); ++it)
        if (ValidCommandId(it.key()) && !it.value().isEmpty() && !it.value().contains(u'\n'))
            out += "global." + it.key().toUtf8() + '=' + it.value().toUtf8() + '\n';
    return out;
}

InputSettings ReadInputSettings(const QByteArray& text) {
    InputSettings settings;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        const int eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QByteArray name = line.left(eq);
        const QString value = QString::fromUtf8(line.mid(eq + 1)).trimmed();
        if (name.startsWith("pedal.")) {
            bool ok = false;
            const int pedal = name.mid(6).toInt(&ok);
            if (!ok || pedal < 0 || pedal >= kMaxPedals) continue;
            const QStringList parts = value.split(u' ', Qt::SkipEmptyParts);
            if (parts.isEmpty()) {
                settings.pedals[pedal] = {};
            } else if (ValidCommandId(parts[0]) && parts.size() <= 2) {
                const QString mode = parts.value(1, QStringLiteral("hold"));
                if (mode != QStringLiteral("hold") && mode != QStringLiteral("toggle")) continue;
                settings.pedals[pedal] = {parts[0].toStdString(), mode == QStringLiteral("toggle")
                                                                      ? PedalMode::Toggle
                                                                      : PedalMode::Hold};
            }
        } else if (name == "grab-keyboard-pedals") {
            if (value == QStringLiteral("0") || value == QStringLiteral("1"))
                settings.grabKeyboardPedals = value == QStringLiteral("1");
        } else if (name.startsWith("global.")) {
            const QString id = QString::fromUtf8(name.mid(7));
            if (ValidCommandId(id) && !value.isEmpty()) settings.globalKeys[id] = value;
        }
    }
    return settings;
}

QString InputSettingsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/nuvtolvek/input.conf");
}

InputSettings LoadInputSettings(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return ReadInputSettings(file.read(64 * 1024));
}

bool SaveInputSettings(const InputSettings& settings, const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(WriteInputSettings(settings));
    return file.commit();
}

}  // namespace input
