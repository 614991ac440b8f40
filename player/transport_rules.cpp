#include "player/transport_rules.h"

#include <algorithm>
#include <cmath>
#include <limits>

QString SecondsToText(int seconds) {
    QString text;
    int s = seconds;
    if (s >= 3600) {
        text += QString::number(s / 3600) + QStringLiteral(" ч ");
        s %= 3600;
    }
    if (s >= 60) {
        text += QString::number(s / 60) + QStringLiteral(" мин ");
        s %= 60;
    }
    text += QString::number(s) + QStringLiteral(" сек");
    return text;
}

namespace {

// Whole seconds of a time for the status bar; a failed query (negative, huge) must not
// turn into an undefined conversion.
int WholeSeconds(double seconds) {
    if (!(seconds > -2147483648.0)) return std::numeric_limits<int>::min();
    if (!(seconds < 2147483647.0)) return std::numeric_limits<int>::max();
    return static_cast<int>(seconds);
}

}  // namespace

std::array<QString, 4> PlayerStatusTexts(double position, double length,
                                         const TRepetitionCycle& cycle, bool stopped) {
    std::array<QString, 4> texts{
        QStringLiteral("Длина: ") + SecondsToText(WholeSeconds(length)),
        QStringLiteral("Позиция: ") + SecondsToText(WholeSeconds(position))};
    if (stopped) return texts;
    texts[2] = QStringLiteral("Повтор: %1").arg(cycle.Repetition);
    if (cycle.PlaySecond >= 0)
        texts[3] = QStringLiteral("Воспр: %1 сек").arg(cycle.PlaySecond);
    else if (cycle.PauseSecond >= 0)
        texts[3] = QStringLiteral("Пауза: %1 сек").arg(cycle.PauseSecond);
    return texts;
}

std::uint64_t SecondsToBytes(std::uint64_t lengthBytes, double seconds, double lengthSeconds) {
    if (!(lengthSeconds > 0.0) || !(seconds > 0.0) || !std::isfinite(seconds)) return 0;
    const double bytes = static_cast<double>(lengthBytes) * seconds / lengthSeconds;
    // A double beyond the 64-bit range would make the conversion undefined.
    if (!(bytes < 18446744073709551615.0)) return lengthBytes;
    return static_cast<std::uint64_t>(bytes);
}

std::uint64_t SliderToBytes(std::uint64_t lengthBytes, int sliderPosition) {
    if (sliderPosition <= 0) return 0;
    const auto position = static_cast<std::uint64_t>(sliderPosition);
    // Multiplication first keeps the exact byte; a length this large cannot overflow it
    // unless it exceeds 2^54 bytes, where the division comes first instead.
    if (lengthBytes > (~std::uint64_t{0}) / 1000) return lengthBytes / 1000 * position;
    return lengthBytes * position / 1000;
}

int PositionToSlider(double positionSeconds, double lengthSeconds) {
    if (!(lengthSeconds > 0.0) || !(positionSeconds > 0.0)) return 0;
    const double perMille = positionSeconds * 1000.0 / lengthSeconds;
    if (!(perMille < 1000.0)) return 1000;
    return static_cast<int>(perMille);
}

double NextFragmentTarget(double positionSeconds, double lengthSeconds, double fragment,
                          bool* nearEnd) {
    const double target = positionSeconds + fragment;
    *nearEnd = target >= lengthSeconds;
    if (!*nearEnd) return target < 0.0 ? 0.0 : target;
    const double beforeEnd = lengthSeconds - 0.5;
    return beforeEnd < 0.0 ? 0.0 : beforeEnd;
}

int ParameterInRange(const QString& text, const TParameterField& field) {
    return std::clamp(ReadParameter(text, field), field.Minimum, field.Maximum);
}

double FragmentSecondsInRange(const QString& text) {
    return std::clamp(ReadFragmentSeconds(text), static_cast<double>(kFragmentLength.Minimum),
                      static_cast<double>(kFragmentLength.Maximum));
}

QString EqualizerBandTip(int centreHz, int gainDb) {
    const QString gain = gainDb > 0 ? QStringLiteral("+%1").arg(gainDb) : QString::number(gainDb);
    return QStringLiteral("%1 Гц: %2 дБ").arg(centreHz).arg(gain);
}
