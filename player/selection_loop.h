// A selection loop: a stretch of the recording chosen on the waveform strip that the
// repetition cycle plays as its fragment, N times with the pause after each playing, or
// over and over until the selection is cleared. Each playing starts at the selection's own
// start (not relative to the position, as the normal cycle's jumps are) and covers its
// length in seconds of the recording at the current speed.
//
// Pure logic apart from ActOnLoop, which drives a playback stream of the sound engine.
// User-interface thread only.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "audio/audio.h"
#include "player/cycle.h"

// A selection shorter than this is taken as a click, not a stretch.
constexpr double kMinimumSelectionSeconds = 0.2;

struct LoopSelection {
    double Start = 0;      // seconds
    double End = 0;        // seconds, after Start
    bool Endless = false;  // repeat until cleared instead of N times
    bool operator==(const LoopSelection&) const = default;
};

// The selection between two moments in either order, held inside a recording of `length`
// seconds; nullopt when what is left is shorter than kMinimumSelectionSeconds (or the
// values are not numbers).
std::optional<LoopSelection> MakeSelection(double from, double to, double length, bool endless);

// What the tick does for a step of the selection loop.
enum class LoopAction {
    None,
    PlayIfStopped,  // inside a playing: play if the output has stopped (the end reached)
    PlayFromStart,  // seek to the selection's start and play
    Pause,          // a pause begins
    HaltAtStart,    // all N playings heard: seek to the start and halt the engine
};

// Ticks a playing of the selection lasts at `tempo`: enough to cover it, in whole steps.
int SelectionPlayingSteps(const LoopSelection& selection, double dt, double tempo);

// One step of the cycle with the selection as its fragment: N playings (or endless), each
// SelectionPlayingSteps long from the selection's start and followed by the pause P
// (seconds); the first step after a reset starts at the selection's start. Cycle's clock
// and counters move as the normal cycle's do, so the status bar reads them alike.
LoopAction AdvanceSelectionLoop(TRepetitionCycle& Cycle, const LoopSelection& selection, double dt,
                                int N, int P, double tempo);

// Acts on `stream`: seeks by the seek rule, pauses, and calls `play` (apply the equalizer
// and play) where the action plays. Returns true when the engine should halt.
bool ActOnLoop(audio::HSTREAM stream, LoopAction action, const LoopSelection& selection,
               const std::function<void()>& play);

// The project line's value: "<start ms>,<end ms>" and ",endless" for an endless loop.
QString SelectionValueText(const LoopSelection& selection);
// Reads a value written by SelectionValueText against a recording of `length` seconds:
// reversed ends are put in order, ends outside the recording are held inside it, and
// anything unreadable or too short is no selection.
std::optional<LoopSelection> ParseSelectionValue(const QString& text, double length);
