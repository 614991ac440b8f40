#include "player/selection_loop.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "player/transport_rules.h"

std::optional<LoopSelection> MakeSelection(double from, double to, double length, bool endless) {
    if (!std::isfinite(from) || !std::isfinite(to) || !(length > 0) || !std::isfinite(length))
        return std::nullopt;
    if (to < from) std::swap(from, to);
    from = std::clamp(from, 0.0, length);
    to = std::clamp(to, 0.0, length);
    if (to - from < kMinimumSelectionSeconds) return std::nullopt;
    return LoopSelection{from, to, endless};
}

int SelectionPlayingSteps(const LoopSelection& selection, double dt, double tempo) {
    if (!(tempo > 0) || !std::isfinite(tempo)) tempo = 1.0;
    if (!(dt > 0)) return 1;
    const double steps = std::ceil((selection.End - selection.Start) / (tempo * dt) - 1e-9);
    if (!(steps >= 1)) return 1;
    return steps > 1e6 ? 1000000 : static_cast<int>(steps);
}

LoopAction AdvanceSelectionLoop(TRepetitionCycle& Cycle, const LoopSelection& selection, double dt,
                                int N, int P, double tempo) {
    if (!(tempo > 0) || !std::isfinite(tempo)) tempo = 1.0;
    const bool fresh = Cycle.Phase == CyclePhase::Reset;
    // Whole steps, counted exactly: every playing sounds the same number of ticks and
    // every pause the same silence, whatever the sums of 0.2 would round to.
    const std::int64_t playing = SelectionPlayingSteps(selection, dt, tempo);
    const std::int64_t pause = std::max<std::int64_t>(0, std::llround(P / dt));
    const std::int64_t period = playing + pause;
    const std::int64_t step = fresh ? 0 : std::max<std::int64_t>(0, std::llround(Cycle.Clock / dt));
    const std::int64_t repetition = step / period;
    const std::int64_t within = step % period;
    const int previous = Cycle.Phase;
    Cycle.Clock = static_cast<double>(step + 1) * dt;
    Cycle.PlaySecond = -1;
    Cycle.PauseSecond = -1;
    if (!selection.Endless && repetition >= std::max(1, N)) {
        Cycle.Clock = 0.0;
        Cycle.Repetition = std::max(1, N);
        Cycle.Phase = CyclePhase::CycleDone;
        return LoopAction::HaltAtStart;
    }
    Cycle.Repetition = static_cast<int>(std::min<std::int64_t>(repetition + 1, 1 << 30));
    if (within < playing) {
        Cycle.PlaySecond = static_cast<int>(static_cast<double>(within) * dt * tempo);
        Cycle.Phase = within == 0 && repetition > 0 ? CyclePhase::Repeat : CyclePhase::Playing;
        if (fresh || Cycle.Phase == CyclePhase::Repeat) return LoopAction::PlayFromStart;
        return LoopAction::PlayIfStopped;
    }
    Cycle.PauseSecond = static_cast<int>(static_cast<double>(within - playing) * dt);
    const bool pausing = previous == CyclePhase::PauseBegins || previous == CyclePhase::Pausing;
    Cycle.Phase = within == playing || !pausing ? CyclePhase::PauseBegins : CyclePhase::Pausing;
    return Cycle.Phase == CyclePhase::PauseBegins ? LoopAction::Pause : LoopAction::None;
}

bool ActOnLoop(audio::HSTREAM stream, LoopAction action, const LoopSelection& selection,
               const std::function<void()>& play) {
    auto seekToStart = [&] {
        const std::uint64_t lengthBytes = audio::StreamLength(stream, audio::POS_BYTE);
        const double lengthSeconds = audio::BytesToSeconds(stream, lengthBytes);
        audio::SeekStream(stream, SecondsToBytes(lengthBytes, selection.Start, lengthSeconds),
                          audio::POS_BYTE);
    };
    switch (action) {
        case LoopAction::PlayIfStopped:
            if (audio::StreamActivity(stream) == audio::ACTIVE_STOPPED) play();
            return false;
        case LoopAction::PlayFromStart:
            seekToStart();
            play();
            return false;
        case LoopAction::Pause:
            audio::PauseStream(stream);
            return false;
        case LoopAction::HaltAtStart:
            audio::StopStream(stream);
            seekToStart();
            return true;
        case LoopAction::None:
            return false;
    }
    return false;
}

QString SelectionValueText(const LoopSelection& selection) {
    QString text = QStringLiteral("%1,%2")
                       .arg(std::llround(selection.Start * 1000))
                       .arg(std::llround(selection.End * 1000));
    if (selection.Endless) text += QStringLiteral(",endless");
    return text;
}

std::optional<LoopSelection> ParseSelectionValue(const QString& text, double length) {
    const QStringList parts = text.split(u',');
    if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
    bool okFrom = false;
    bool okTo = false;
    const qlonglong from = parts.at(0).trimmed().toLongLong(&okFrom);
    const qlonglong to = parts.at(1).trimmed().toLongLong(&okTo);
    if (!okFrom || !okTo) return std::nullopt;
    const bool endless = parts.size() == 3 && parts.at(2).trimmed() == QStringLiteral("endless");
    return MakeSelection(static_cast<double>(from) / 1000, static_cast<double>(to) / 1000, length,
                         endless);
}
