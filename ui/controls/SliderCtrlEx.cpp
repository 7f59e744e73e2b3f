#include "ui/controls/SliderCtrlEx.h"

const MessageMap* CSliderCtrlEx::GetMessageMap() const {
  static constexpr MessageEntry entries[] = {On<WM_LBUTTONDOWN, &CSliderCtrlEx::OnLButtonDown>()};
  static constexpr MessageMap map{&CWnd::ThisMessageMap, entries};
  return &map;
}

void CSliderCtrlEx::OnLButtonDown(UINT, POINTS point) {
  const RECT thumb = GetThumbRect();
  if (::PtInRect(&thumb, POINT{point.x, point.y})) {
    Default();  // the ordinary drag
    return;
  }
  const RECT channel = GetChannelRect();
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  int minimum = 0;
  int maximum = 0;
  GetRange(minimum, maximum);

  const int width = channel.right - channel.left;
  if (width <= 0) return;  // not laid out: the click is ignored
  const int offset = ((client.right - client.left) - width) / 2;
  const int x = point.x - offset;
  // Left of the channel gives a value below the minimum, which the trackbar clamps.
  const int position =
      x > width ? maximum : minimum + static_cast<int>(static_cast<double>(x) / width * (maximum - minimum));
  SetPos(position);

  HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
  if (owner == nullptr) owner = ::GetParent(m_hWnd);
  ::SendMessageA(owner, WM_HSCROLL, SB_THUMBTRACK, 0);
  ::SendMessageA(owner, WM_HSCROLL, SB_ENDSCROLL, 0);
}
