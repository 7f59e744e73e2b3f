#pragma once
// The player's arithmetic: positions and durations are in 100-nanosecond units, as the
// playback graph gives them. Nothing here needs Windows.

#include <cstdint>
#include <string>

// "mm:ss" of a position; minutes are not folded into hours ("75:00"). A negative position
// shows as "00:00".
std::string FormatPlayingTime(int64_t position);

// The attenuation, in hundredths of a decibel, for a volume slider position from 1 to 100:
// 5000 x (log10(position) - 2), truncated, within -10000 (silent) to 0 (full volume).
long VolumeToAttenuation(int position);

// The position as a percentage of the duration (truncated); false when the duration is 0.
bool PositionPercent(int64_t position, int64_t duration, int& percent);

// The position a slider percentage stands for.
int64_t PositionAtPercent(int64_t duration, int percent);
