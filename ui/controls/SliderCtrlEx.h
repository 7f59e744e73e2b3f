#pragma once
#include "framework/Controls.h"

// A trackbar whose thumb jumps to the clicked point of the channel; the player's position
// slider. A click outside the thumb neither captures the mouse nor takes the focus.
class CSliderCtrlEx : public CSliderCtrl {
 public:
  const MessageMap* GetMessageMap() const override;

 private:
  void OnLButtonDown(UINT flags, POINTS point);
};
