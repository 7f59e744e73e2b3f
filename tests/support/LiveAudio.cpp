#include "support/LiveAudio.h"

#include <cstdio>

#include "support/LinuxCommand.h"
#include "support/TempDir.h"

bool PlayTone(const std::string& folder, double hz, double seconds, double amplitude, bool wait) {
  char name[64];
  std::snprintf(name, sizeof name, "tone-%.0f-%.3f-%.3f.wav", hz, seconds, amplitude);
  const std::string file = ShellQuote(UnixPath(folder + "\\" + name));
  char synth[128];
  std::snprintf(synth, sizeof synth, " synth %.3f sine %.3f vol %.4f", seconds, hz, amplitude);
  if (RunLinuxCommand("sox -n -r 44100 -c 2 -b 16 " + file + synth).exitCode != 0) return false;
  const std::string play = "paplay --device=nullsink " + file;
  if (wait) return RunLinuxCommand(play, unsigned(seconds * 1000) + 30000).exitCode == 0;
  const std::string pidFile = ShellQuote(UnixPath(folder + "\\tone.pid"));
  return RunLinuxCommand(play + " >/dev/null 2>&1 & echo $! >" + pidFile).exitCode == 0;
}

void StopTone(const std::string& folder) {
  const std::string pid = ReadWholeFile(folder + "\\tone.pid");
  if (!pid.empty()) RunLinuxCommand("kill " + pid + " 2>/dev/null");
}

bool EndSoundServer() {
  // Gone means ended: the daemon stays a zombie until the script that started it reaps it.
  const LinuxCommandResult r = RunLinuxCommand(
      "pid=${SONDREL_PULSE_PID:?}; kill $pid || exit 1; "
      "while s=$(ps -o stat= -p $pid) && [ \"${s#Z}\" = \"$s\" ]; do sleep 0.05; done",
      20000);
  return r.finished && r.exitCode == 0;
}
