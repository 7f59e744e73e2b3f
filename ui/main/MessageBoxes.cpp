#include "ui/main/MessageBoxes.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "ui/main/WindowUtilities.h"

namespace {

constexpr UINT kWarning = MB_OK | MB_ICONEXCLAMATION;
constexpr UINT kError = MB_OK | MB_ICONHAND;
constexpr UINT kInfo = MB_OK | MB_ICONASTERISK;
constexpr UINT kQuestion = MB_YESNO | MB_ICONQUESTION;

std::string FormatArguments(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(length));
  return text;
}

// The owner is taken before the main window comes forward: from then on the main window is
// its own last active popup, and a box raised over an open dialog would belong to the
// disabled window behind that dialog.
int Show(UINT style, const char* format, va_list args) {
  const std::string text = FormatArguments(format, args);
  const HWND owner = AfxGetMessageBoxOwner();
  CWnd* main = AfxGetMainWnd();
  if (main != nullptr && main->m_hWnd != nullptr) ForceForegroundWindow(main->m_hWnd);
  return AfxMessageBox(text, style, owner);
}

// A missing string gives an empty text, still shown.
int ShowString(UINT style, UINT stringId, va_list args) {
  return Show(style, LoadProgramString(stringId).c_str(), args);
}

}  // namespace

#define SONDREL_MESSAGE_BOX(name, result, style)        \
  result name(const char* format, ...) {                 \
    va_list args;                                        \
    va_start(args, format);                              \
    const int answer = Show(style, format, args);        \
    va_end(args);                                        \
    return static_cast<result>(answer);                  \
  }                                                      \
  result name(UINT stringId, ...) {                      \
    va_list args;                                        \
    va_start(args, stringId);                            \
    const int answer = ShowString(style, stringId, args); \
    va_end(args);                                        \
    return static_cast<result>(answer);                  \
  }

SONDREL_MESSAGE_BOX(ShowWarningBox, void, kWarning)
SONDREL_MESSAGE_BOX(ShowErrorBox, void, kError)
SONDREL_MESSAGE_BOX(ShowInfoBox, void, kInfo)
SONDREL_MESSAGE_BOX(AskYesNoBox, int, kQuestion)
