#pragma once
#include "framework/Controls.h"

// A trackbar drawn as a rising wedge with a small flat thumb; the player's volume control.
// A click moves the thumb to that point, and the control never keeps the keyboard focus.
class CVolumeCtrl : public CSliderCtrl {
 public:
  static constexpr UINT kControlId = 1050;

  // Creates the control (range 1..100, position 60, page 8) as a child of `parent`, with an
  // empty rectangle: the owner moves it into place.
  BOOL CreateVolumeCtrl(CWnd* parent);
  // Moves the thumb and tells the parent as a finished thumb drag would.
  void SetPosNotify(int position);

  const MessageMap* GetMessageMap() const override;

  bool m_customDraw = true;

 private:
  void OnLButtonDown(UINT flags, POINTS point);
  void OnSetFocus(HWND previous);
  void OnCustomDraw(NMHDR* header, LRESULT* result);
  void DrawWedge(HDC dc, RECT& channel);
  void DrawThumb(HDC dc, RECT& thumb);
};
