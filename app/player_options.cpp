#include "app/player_options.h"

#include <QInputDialog>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>

#include "player/held_transport.h"

namespace {

constexpr char kBackStepKey[] = "back_step_after_pause";

QString OptionsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/nuvtolvek/player.conf");
}

}  // namespace

int ReadBackStepOption() {
    const QSettings settings(OptionsPath(), QSettings::IniFormat);
    bool ok = false;
    const int seconds = settings.value(kBackStepKey, 0).toInt(&ok);
    return ok ? std::clamp(seconds, 0, kBackStepMaximum) : 0;
}

bool WriteBackStepOption(int seconds) {
    QSettings settings(OptionsPath(), QSettings::IniFormat);
    settings.setValue(kBackStepKey, std::clamp(seconds, 0, kBackStepMaximum));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

int AskBackStep(QWidget* owner, int current) {
    bool ok = false;
    const int seconds = QInputDialog::getInt(
        owner, QStringLiteral("Шаг назад после паузы"),
        QStringLiteral("На сколько секунд отступать после каждой паузы (0 — не отступать):"),
        current, 0, kBackStepMaximum, 1, &ok);
    return ok ? seconds : -1;
}
