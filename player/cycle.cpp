#include "player/cycle.h"

#include <algorithm>
#include <cmath>

int AdvanceCycle(TRepetitionCycle& Cycle, double dt, int L, int N, int P) {
    // The decision uses the clock before this step's increment.
    double t = Cycle.Clock;
    Cycle.Clock = Cycle.Clock + dt;
    Cycle.Repetition = 0;
    Cycle.PlaySecond = -1;
    Cycle.PauseSecond = -1;
    for (int i = 0; i < N; ++i) {
        ++Cycle.Repetition;
        if (t < L) {
            Cycle.PlaySecond = static_cast<int>(t);
            // t < dt rather than t == 0: the summed clock is never an exact multiple of dt.
            Cycle.Phase = (i > 0 && t < dt) ? CyclePhase::Repeat : CyclePhase::Playing;
            return Cycle.Phase;
        }
        t -= L;
        if (t < P) {
            Cycle.PauseSecond = static_cast<int>(t);
            const bool alreadyPausing =
                Cycle.Phase == CyclePhase::PauseBegins || Cycle.Phase == CyclePhase::Pausing;
            Cycle.Phase = alreadyPausing ? CyclePhase::Pausing : CyclePhase::PauseBegins;
            return Cycle.Phase;
        }
        t -= P;
    }
    Cycle.Clock = 0.0;
    Cycle.Phase = CyclePhase::CycleDone;
    return Cycle.Phase;
}

void ResetCycle(TRepetitionCycle& Cycle) {
    Cycle.Clock = 0.0;
    Cycle.Phase = CyclePhase::Reset;
}

int ReadParameter(const QString& text, const TParameterField& field) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : field.Default;
}

QString NormaliseParameter(const QString& text, const TParameterField& field) {
    const int value = std::clamp(ReadParameter(text, field), field.Minimum, field.Maximum);
    return QString::number(value);
}

double ReadFragmentSeconds(const QString& text) {
    QString trimmed = text.trimmed();
    bool ok = false;
    double value = trimmed.toDouble(&ok);
    if (!ok) value = trimmed.replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    // NaN and infinities would poison the seek arithmetic.
    if (!ok || !std::isfinite(value)) return kFragmentLength.Default;
    return value;
}
