// The player's playback speed: 0.5x to 2.0x in steps of 0.05, 1.0 being normal speed. The
// pitch stays (the engine stretches time); the repetition cycle keeps counting in seconds
// of the recording (cycle.h). Pure logic, no widgets. User-interface thread only.
#pragma once

#include <QString>

constexpr double kSpeedMinimum = 0.5;
constexpr double kSpeedMaximum = 2.0;
constexpr double kSpeedNormal = 1.0;
constexpr int kSpeedStepHundredths = 5;  // one step of the keys and the control: 0.05

// The speed on the 0.05 grid within 0.5 … 2.0; anything that is not a number is 1.0.
double NormaliseSpeed(double speed);

// The speed `steps` steps of 0.05 away from `speed` (normalised first), within the range.
double StepSpeed(double speed, int steps);

// The speed in hundredths (50 … 200), for a slider or a spin box.
int SpeedHundredths(double speed);
double SpeedFromHundredths(int hundredths);

// What the player shows: "1.00×", "0.75×".
QString SpeedCaption(double speed);

// The value of the project file's "SPEED=" line: "0.75", "1.5", "2".
QString SpeedValueText(double speed);

// Reads a "SPEED=" value: a decimal number (point or comma), clamped to the range and put
// on the grid; anything else (empty, "abc", "nan") is normal speed.
double ParseSpeedValue(const QString& text);
