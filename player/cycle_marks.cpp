#include "player/cycle_marks.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct SimulatedStep {
    double ClockAfter;
    int Phase;
    int Repetition;
    double Position;  // after the step's sound and action, from the cycle's start
};

}  // namespace

FragmentMarks CycleMarks(const TRepetitionCycle& cycle, double position, double length, int L,
                         int N, int P, int S, double tempo, double dt) {
    FragmentMarks marks;
    if (!(length > 0) || L < 1 || N < 1 || P < 0 || !(dt > 0)) return marks;
    if (!(tempo > 0) || !std::isfinite(tempo)) tempo = 1.0;

    // One whole cycle from its start, the output playing from position 0: each step first
    // sounds dt x tempo seconds (while the output plays), then acts as the tick does.
    std::vector<double> starts(static_cast<std::size_t>(N) + 2, 0.0);
    std::vector<double> ends(static_cast<std::size_t>(N) + 2, 0.0);
    std::vector<SimulatedStep> steps;
    TRepetitionCycle run;
    run.Phase = CyclePhase::CycleDone;
    double at = 0;
    bool playing = true;
    double nextCycle = 0;
    for (int guard = 0; guard < 1000000; ++guard) {
        const int before = run.Repetition;
        if (playing) at += dt * tempo;
        const int phase = AdvanceCycle(run, dt, L, N, P, tempo);
        if (phase == CyclePhase::Repeat) {
            if (P == 0) ends[static_cast<std::size_t>(before)] = at;
            at -= L;
            starts[static_cast<std::size_t>(run.Repetition)] = at;
            playing = true;
        } else if (phase == CyclePhase::PauseBegins) {
            ends[static_cast<std::size_t>(run.Repetition)] = at;
            playing = false;
        } else if (phase == CyclePhase::CycleDone) {
            if (P == 0) ends[static_cast<std::size_t>(N)] = at;
            at -= S;
            nextCycle = at;
            playing = true;
        }
        steps.push_back({run.Clock, phase, run.Repetition, at});
        if (phase == CyclePhase::CycleDone) break;
    }

    // Which step the cycle is at: the same clock, phase and repetition; failing that (a
    // clock moved by a change of speed) the nearest clock of the same repetition.
    int repetition = 1;
    double offset = position;  // cycle start in the recording
    if (cycle.Phase != CyclePhase::Reset && cycle.Phase != CyclePhase::CycleDone) {
        const SimulatedStep* found = nullptr;
        for (const SimulatedStep& step : steps)
            if (step.ClockAfter == cycle.Clock && step.Phase == cycle.Phase &&
                step.Repetition == cycle.Repetition) {
                found = &step;
                break;
            }
        if (found == nullptr)
            for (const SimulatedStep& step : steps)
                if (step.Repetition == cycle.Repetition &&
                    (found == nullptr || std::abs(step.ClockAfter - cycle.Clock) <
                                             std::abs(found->ClockAfter - cycle.Clock)))
                    found = &step;
        if (found == nullptr) return marks;
        repetition = found->Repetition;
        offset = position - found->Position;
    }
    const auto r = static_cast<std::size_t>(repetition);
    auto inside = [length](double t) { return std::clamp(t, 0.0, length); };
    marks.Valid = true;
    marks.Start = inside(offset + starts[r]);
    marks.End = inside(offset + ends[r]);
    marks.NextStart = inside(offset + (repetition < N ? starts[r + 1] : nextCycle));
    return marks;
}
