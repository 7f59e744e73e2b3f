// Takes the help page's pictures of Sondrel's windows from the running program: the main
// window after two recordings, the audio settings, the timer and the player, each cropped
// to its window from the X display (ImageMagick's import). Run by
// scripts/help-screenshots.sh, which gives it a display, a sound server and a fresh prefix:
//   help_screenshots.exe <Linux folder for the PNG files>
#include <windows.h>

#include <cstdio>
#include <initializer_list>
#include <string>

#include "res/resource.h"
#include "support/LinuxCommand.h"
#include "support/LiveAudio.h"
#include "support/ProgramDriver.h"
#include "support/ProgramProcess.h"
#include "support/TempDir.h"

namespace {

constexpr char kRecordings[] = "C:\\Recordings";

bool Shoot(HWND window, const std::string& file) {
  ::Sleep(700);  // painted
  RECT r = {};
  ::GetWindowRect(window, &r);
  char crop[64];
  std::snprintf(crop, sizeof crop, "%ldx%ld+%ld+%ld", r.right - r.left, r.bottom - r.top, r.left, r.top);
  const LinuxCommandResult result =
      RunLinuxCommand("import -window root -crop " + std::string(crop) + " +repage " + ShellQuote(file));
  std::printf("%s %s: %s\n", file.c_str(), crop, result.exitCode == 0 ? "ok" : result.output.c_str());
  return result.exitCode == 0;
}

// Opens a dialog with button `id`, ticks its check boxes `ticks`, takes its picture and
// closes it again without keeping anything.
bool ShootDialog(DWORD process, HWND main, int id, const std::string& file, std::initializer_list<int> ticks = {}) {
  PostClick(main, id);
  HWND dialog = WaitForOtherDialog(process, main);
  if (!dialog) {
    std::printf("%s: button %d opened no window\n", file.c_str(), id);
    return false;
  }
  for (int tick : ticks) ::SendMessageA(::GetDlgItem(dialog, tick), BM_CLICK, 0, 0);
  const bool shot = Shoot(dialog, file);
  ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  for (int i = 0; i < 100 && ::IsWindow(dialog) && ::IsWindowVisible(dialog); ++i) ::Sleep(50);
  return shot;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: help_screenshots.exe <Linux folder>\n");
    return 2;
  }
  const std::string out = std::string(argv[1]) + "/";
  TempDir dir;
  ::CreateDirectoryA(kRecordings, nullptr);
  WriteWholeFile(dir.File("Sondrel.cfg"),
                 std::string("AudioDevice: ") + kMonitorDevice + "\r\nAudioInput: " + kCaptureLine +
                     "\r\nAudioVolume: 80\r\nFileTemplate: " + kRecordings +
                     "\\Interview\r\nAddSeqNum: 1\r\nFileCount: 1\r\nOverwritePrompt: 1\r\n");
  ProgramProcess program(dir.path());
  HWND main = program.WaitForMainWindow();
  if (!main) {
    std::printf("Sondrel did not start\n");
    return 1;
  }
  for (int take = 0; take < 2; ++take) {
    if (!ClickButton(main, IDC_RECORD)) return 1;
    ::Sleep(3000);
    if (!ClickButton(main, IDC_RECORD)) return 1;
  }
  bool ok = Shoot(main, out + "main-window.png");
  ok = ShootDialog(program.id(), main, IDC_AUDIO, out + "audio-settings.png") && ok;
  ok = ShootDialog(program.id(), main, IDC_TIMER, out + "timer.png",
                   {IDC_TIMER_START_ENABLED, IDC_TIMER_STOP_ENABLED}) &&
       ok;
  ok = ShootDialog(program.id(), main, IDC_PLAY, out + "player.png") && ok;
  ::PostMessageA(main, WM_CLOSE, 0, 0);
  DWORD code = 0;
  program.WaitForExit(code);
  return ok ? 0 : 1;
}
