// The repetition cycle of the player: cuts a recording into fragments that are played N
// times with a pause after each playing, the next fragment starting S seconds before the
// end of the previous one. Pure logic, driven by the player tick every 200 ms.
// User-interface thread only.
#pragma once

#include <QString>
#include <cstdint>

// The state of the repetition cycle. All zero at start-up.
struct TRepetitionCycle {
    double Clock = 0.0;   // seconds since the start of the current cycle
    int Phase = 0;        // result of the last step (CyclePhase)
    int Repetition = 0;   // repetition (from 1) the last step fell in
    int PlaySecond = 0;   // whole seconds played in the current repetition, -1 outside playing
    int PauseSecond = 0;  // whole seconds spent in the current pause, -1 outside a pause
};

namespace CyclePhase {
constexpr int Reset = 0;        // set only by a reset (F2, F5, position slider)
constexpr int Playing = 1;      // inside the playing part of a repetition
constexpr int Repeat = 2;       // first step of the 2nd ... N-th playing: jump back L seconds
constexpr int PauseBegins = 3;  // first step of a pause: pause the output
constexpr int Pausing = 4;      // later steps of a pause
constexpr int CycleDone = 5;    // all repetitions over: jump back S seconds, clock restarts
}  // namespace CyclePhase

// The step length of the player tick, in seconds; independent of the real time elapsed.
constexpr double kCycleStep = 0.2;

// One step of the cycle with fragment length L, repetitions N and pause P (seconds).
// Updates Cycle in place and returns the new phase, also stored in Cycle.Phase.
//
// At playback speed `tempo` (1.0 normal) each playing still covers L seconds of the
// recording and so lasts L / tempo seconds of ticks; pauses last P seconds of ticks.
// PlaySecond counts seconds of the recording. At 1.0 the arithmetic is exactly that of
// normal speed, step for step.
int AdvanceCycle(TRepetitionCycle& Cycle, double dt, int L, int N, int P, double tempo = 1.0);

// Moves the clock when the speed changes from `from` to `to` in the middle of a cycle, so
// that the current playing goes on with the recording time it has already covered and
// still covers L seconds in all; inside a pause the clock keeps its place in the pause. A
// playing whose first step (the jump back) is done is not jumped back again.
void RetimeCycle(TRepetitionCycle& Cycle, double dt, int L, int N, int P, double from, double to);

// Whether the tick may take a step of the cycle. The cycle counts ticks, not sound: while the
// sound card is being reconnected, or a playing stream stands still, a step would pause,
// jump back and play again over sound nobody heard, and playback would resume far from where
// it was heard. So no step is taken then; a paused or stopped stream stands still by design
// and is stepped as usual.
class TCycleHold {
  public:
    // Once per tick, with the engine's word on the sound card and the stream as it is now.
    bool MayStep(bool reconnecting, std::uint32_t stream, bool playing, std::uint64_t position);

  private:
    std::uint32_t stream_ = 0;
    std::uint64_t position_ = 0;
    bool playing_ = false;
};

// Puts the cycle back to its start; the counters keep their values until the next step.
void ResetCycle(TRepetitionCycle& Cycle);

// The four fragment parameters of the player window, in the order of Edit1 ... Edit4.
struct TParameterField {
    int Default;
    int Minimum;
    int Maximum;
};
constexpr TParameterField kFragmentLength{5, 1, 15};  // Edit1: L, seconds
constexpr TParameterField kRepetitions{2, 1, 10};     // Edit2: N
constexpr TParameterField kPause{2, 0, 5};            // Edit3: P, seconds
constexpr TParameterField kShiftBack{1, 0, 3};        // Edit4: S, seconds

// The value a tick reads from a field's text: a whole decimal number as it stands, or the
// field's default while the text is not one (the user may still be typing).
int ReadParameter(const QString& text, const TParameterField& field);

// The normalised text written back when the field loses the focus: the number, or the
// default when the text is not a whole number, clamped to the field's range.
QString NormaliseParameter(const QString& text, const TParameterField& field);

// The fragment length as F2 and F5 read it: the text as a floating-point number, or the
// default length while the text is not a number.
double ReadFragmentSeconds(const QString& text);
