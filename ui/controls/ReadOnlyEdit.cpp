#include "ui/controls/ReadOnlyEdit.h"

LRESULT CReadOnlyEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHAR) {
    ::MessageBeep(0xFFFFFFFF);
    return 1;
  }
  return CEdit::WindowProc(message, wParam, lParam);
}
