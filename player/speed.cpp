#include "player/speed.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kMinimumHundredths = 50;
constexpr int kMaximumHundredths = 200;

}  // namespace

int SpeedHundredths(double speed) {
    if (!std::isfinite(speed)) return 100;
    const double clamped = std::clamp(speed, kSpeedMinimum, kSpeedMaximum);
    const long steps = std::lround(clamped * 100.0 / kSpeedStepHundredths);
    return std::clamp(static_cast<int>(steps) * kSpeedStepHundredths, kMinimumHundredths,
                      kMaximumHundredths);
}

double SpeedFromHundredths(int hundredths) {
    // Dividing the whole number gives the double nearest to the decimal: 75 → 0.75 exactly
    // as "0.75" reads, so texts and comparisons with 1.0 agree.
    return SpeedHundredths(hundredths / 100.0) / 100.0;
}

double NormaliseSpeed(double speed) {
    return SpeedHundredths(speed) / 100.0;
}

double StepSpeed(double speed, int steps) {
    const int hundredths = SpeedHundredths(speed) + steps * kSpeedStepHundredths;
    return std::clamp(hundredths, kMinimumHundredths, kMaximumHundredths) / 100.0;
}

QString SpeedCaption(double speed) {
    return QString::number(NormaliseSpeed(speed), 'f', 2) + QChar(0x00D7);
}

QString SpeedValueText(double speed) {
    // 'g' with enough digits writes the grid's values without trailing zeros.
    return QString::number(NormaliseSpeed(speed), 'g', 3);
}

double ParseSpeedValue(const QString& text) {
    bool ok = false;
    // A comma as well: the file may have been edited by hand on a Russian desktop.
    QString number = text.trimmed();
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    const double value = QLocale::c().toDouble(number, &ok);
    if (!ok || !std::isfinite(value)) return kSpeedNormal;
    return NormaliseSpeed(value);
}
