#pragma once
// The report's message box, shown by a helper process: a second start of the executable,
// made by the library's start-up, that waits doing nothing until a report asks it for the
// box. In the failed process every other thread is stopped, and a thread stopped inside the
// window system (creating a window, say) or inside the loader's search for a DLL (which the
// window system's input method does for a box) holds locks that no call can take and no
// one can see: a box shown there could wait for them forever. The helper's window system
// and loader are its own.

#include <windows.h>

namespace __dbg_util {

// On the helper's command line, followed by the handle of the channel it inherits.
constexpr char kReportBoxSwitch[] = "/report-box";

// Becomes the helper when the command line asks for it, and then never returns.
void run_report_box_helper_if_asked();

// Starts the helper of this process; without one, a report shows its box itself.
void start_report_box_helper(const char* exePath);
// Ends it (the last context ends; a process that ends ends its helper too).
void stop_report_box_helper();

// Shows the box (MB_ICONERROR, OK) through the helper and returns when the user has closed
// it. False when there is no helper, or it ended before the box was on the screen: the
// caller then shows the box itself.
bool show_box_in_helper(const char* text, const char* caption);

}  // namespace __dbg_util
