#pragma once
// What live-capture tests and benchmarks do with the sound server of their own
// (scripts/wine-live.sh starts it): play a tone into its null sink, as a person would with
// paplay, and end it, as when the sound server goes away.
#include <string>

// Wine's capture device for the monitor of the null sink "nullsink".
constexpr char kMonitorDevice[] = "Monitor of Null Output";
// Its only input line, as Sondrel's capture source names it.
constexpr char kCaptureLine[] = "Capture";

// Writes `seconds` of a sine tone at `amplitude` (of full scale), 44100 Hz 16-bit stereo, into
// `folder` and plays it into the null sink; with `wait`, returns when it has been played.
// False when sox or paplay fail (or, without `wait`, cannot be started).
bool PlayTone(const std::string& folder, double hz, double seconds, double amplitude, bool wait);

// Ends the tone the last PlayTone without `wait` started in `folder`, if it still plays.
void StopTone(const std::string& folder);

// Ends the sound server of this test (SONDREL_PULSE_PID) and waits until it is gone.
bool EndSoundServer();
