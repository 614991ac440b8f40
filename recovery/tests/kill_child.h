// The typist of the kill test, run in a child process.
#pragma once

#include <QString>

// The text the child types, one character per step; '\n' is the Return key.
QString TypedText();
// Milliseconds between two characters.
inline constexpr int kTypingStepMs = 20;
// Types until killed (or for at most a minute), printing "typed <count> <monotonic ns>"
// after every character.
int RunTypingChild();
// CLOCK_MONOTONIC in nanoseconds: the same clock in the child and the test.
qint64 MonotonicNs();
