// Time text and position arithmetic of the player: what the status bar shows and how a
// target in seconds becomes a byte position of the stream. Pure functions, any thread.
#pragma once

#include <QString>
#include <cstdint>

// Whole seconds as hours " ч ", minutes " мин ", seconds " сек"; the hours and minutes
// parts appear only when the value reaches them (a negative value shows only seconds).
QString SecondsToText(int seconds);

// Byte position of a target of `seconds` in a stream `lengthBytes` long that lasts
// `lengthSeconds`: lengthBytes x seconds / lengthSeconds, truncated. A stream of no
// length, or a target before the start, gives 0.
std::uint64_t SecondsToBytes(std::uint64_t lengthBytes, double seconds, double lengthSeconds);

// Byte position for the position slider (0 ... 1000 per mille of the length).
std::uint64_t SliderToBytes(std::uint64_t lengthBytes, int sliderPosition);

// Slider position (per mille) for a playback position; 0 for a stream of no length.
int PositionToSlider(double positionSeconds, double lengthSeconds);

// Target of F5: `fragment` seconds on, or half a second before the end when that is
// reached (never before the start). `nearEnd` tells which of the two it is.
double NextFragmentTarget(double positionSeconds, double lengthSeconds, double fragment,
                          bool* nearEnd);
