// Where the repetition cycle stands in the recording, for drawing it on the waveform
// strip: the stretch the current repetition plays (from where it began to where its
// playing stops) and where the next playing will begin (the jump back of the next
// repetition, or the shift back that starts the next fragment).
//
// The cycle itself keeps no positions (every jump is relative to the position of its
// tick), so they are found by running the same steps on a copy of a fresh cycle and
// placing that run at the present position. Pure functions; any thread.
#pragma once

#include "player/cycle.h"

struct FragmentMarks {
    bool Valid = false;
    double Start = 0;      // seconds: where the current repetition began
    double End = 0;        // seconds: where its playing stops
    double NextStart = 0;  // seconds: where the next playing begins
};

// The marks of `cycle` after its latest step, the stream being at `position` of a
// recording of `length` seconds, with the fragment parameters L, N, P, S and the speed.
// Right after a reset or a completed cycle the fragment begins at the position. Values
// are held inside the recording.
FragmentMarks CycleMarks(const TRepetitionCycle& cycle, double position, double length, int L,
                         int N, int P, int S, double tempo, double dt = kCycleStep);
