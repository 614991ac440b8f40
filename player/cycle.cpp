#include "player/cycle.h"

#include <algorithm>
#include <cmath>

namespace {

// A tempo the cycle can divide by; anything else plays as normal speed.
double UsableTempo(double tempo) {
    return tempo > 0.0 && std::isfinite(tempo) ? tempo : 1.0;
}

}  // namespace

int AdvanceCycle(TRepetitionCycle& Cycle, double dt, int L, int N, int P, double tempo) {
    tempo = UsableTempo(tempo);
    // Ticks a playing lasts: at 1.0 exactly L, so normal speed keeps its arithmetic.
    const double playing = L / tempo;
    const int previousPhase = Cycle.Phase;
    const int previousRepetition = Cycle.Repetition;
    // The decision uses the clock before this step's increment.
    double t = Cycle.Clock;
    Cycle.Clock = Cycle.Clock + dt;
    Cycle.Repetition = 0;
    Cycle.PlaySecond = -1;
    Cycle.PauseSecond = -1;
    for (int i = 0; i < N; ++i) {
        ++Cycle.Repetition;
        if (t < playing) {
            Cycle.PlaySecond = static_cast<int>(t * tempo);
            // t < dt rather than t == 0: the summed clock is never an exact multiple of dt.
            // A step that follows one in this same playing is not its first, whatever the
            // rounding of a clock moved by a change of speed says: one jump per playing.
            const bool samePlaying =
                (previousPhase == CyclePhase::Playing || previousPhase == CyclePhase::Repeat) &&
                previousRepetition == Cycle.Repetition;
            Cycle.Phase =
                (i > 0 && t < dt && !samePlaying) ? CyclePhase::Repeat : CyclePhase::Playing;
            return Cycle.Phase;
        }
        t -= playing;
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

void RetimeCycle(TRepetitionCycle& Cycle, double dt, int L, int N, int P, double from, double to) {
    from = UsableTempo(from);
    to = UsableTempo(to);
    if (from == to) return;
    double t = Cycle.Clock;
    double start = 0.0;  // where the part that holds t begins on the new clock
    for (int i = 0; i < N; ++i) {
        const double playing = L / from;
        if (t < playing) {
            // Below dt the next step is this playing's first (and its jump back): keep it
            // there. Later on it must not become the first again.
            const double moved = t < dt ? t : std::max(t * from / to, dt);
            Cycle.Clock = start + std::min(moved, std::nextafter(L / to, 0.0));
            return;
        }
        t -= playing;
        start += L / to;
        if (t < P) {
            Cycle.Clock = start + t;
            return;
        }
        t -= P;
        start += P;
    }
    // Past every repetition: the next step completes the cycle whatever the speed.
}

bool TCycleHold::MayStep(bool reconnecting, std::uint32_t stream, bool playing,
                         std::uint64_t position) {
    const bool standing = playing && playing_ && stream == stream_ && position == position_;
    stream_ = stream;
    position_ = position;
    playing_ = playing;
    return !reconnecting && !standing;
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
