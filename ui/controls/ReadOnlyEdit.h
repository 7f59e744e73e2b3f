#pragma once
#include "framework/Controls.h"

// An edit control that refuses typed characters with a beep. Keys handled on key-down
// (Delete, the arrows) and the context menu work as in any edit control; the shortcuts that
// arrive as characters (copy, cut, paste) are refused too.
class CReadOnlyEdit : public CEdit {
 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
