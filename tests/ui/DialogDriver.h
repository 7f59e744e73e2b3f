#pragma once
// Drives the program's dialogs with the messages a user's clicks, selections and keys
// produce, and reads back what the user would see.
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/ProgramDriver.h"

// Dispatches this thread's messages for `ms`, through `dialog`'s keyboard handling if given.
void PumpMessages(int ms, HWND dialog = nullptr);
// Pumps until `done` holds, for up to `ms`; whether it holds.
bool PumpUntil(const std::function<bool()>& done, int ms = 10000, HWND dialog = nullptr);

// The text of a combo box's selected item; empty when nothing is selected.
std::string ComboSelection(HWND combo);
// A click on a button: it sends its notification to the dialog as a real click does.
void ClickItem(HWND dialog, int id);
// The user picks item `index` of a drop-down list: the combo's selection and its
// CBN_SELCHANGE.
void SelectComboItem(HWND dialog, int id, int index);

// Keeps a picture of the whole screen as `name` among the run's artifacts, for a person to
// look at; nothing when the run keeps none.
void SaveScreenshot(const char* name);

// The visible top-level window of this process of class `windowClass` whose caption is
// `caption` (any caption when empty), or null.
HWND FindWindowOfThisProcess(const char* windowClass, const std::string& caption);
// The visible dialog of this process with the title `title`, or null.
HWND FindDialog(const std::string& title);
// The texts of a list box's items, in order.
std::vector<std::string> ListBoxItems(HWND list);

// Works a window that the test thread is about to open and wait in (a modal dialog, a
// menu), as a user who waits for it to appear and then acts in it: a thread of its own
// waits for the window (see FindWindowOfThisProcess) and runs `act` with it; messages sent
// from there are handled by the test thread's modal loop.
class WindowActor {
 public:
  WindowActor(std::string windowClass, std::string caption, std::function<void(HWND)> act,
              unsigned timeoutMs = 20000);
  ~WindowActor();  // waits for the actor to finish
  WindowActor(const WindowActor&) = delete;
  WindowActor& operator=(const WindowActor&) = delete;

  // Waits for the actor; whether the window appeared.
  bool Finish();

 private:
  bool m_found = false;
  std::thread m_thread;
};

// Works a modal dialog titled `title`. Whatever `act` leaves open is cancelled, so the test
// thread always gets out of its modal loop.
class DialogActor : public WindowActor {
 public:
  DialogActor(std::string title, std::function<void(HWND)> act, unsigned timeoutMs = 20000);
};
