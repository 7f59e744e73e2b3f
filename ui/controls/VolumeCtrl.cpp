#include "ui/controls/VolumeCtrl.h"

#include "framework/WinApp.h"

namespace {

// A pen that is deleted with its scope, the previous pen restored first.
class ScopedPen {
 public:
  ScopedPen(HDC dc, COLORREF colour) : m_dc(dc), m_pen(::CreatePen(PS_SOLID, 1, colour)) {
    m_previous = ::SelectObject(dc, m_pen);
  }
  ~ScopedPen() {
    ::SelectObject(m_dc, m_previous);
    ::DeleteObject(m_pen);
  }
  ScopedPen(const ScopedPen&) = delete;
  ScopedPen& operator=(const ScopedPen&) = delete;

 private:
  HDC m_dc;
  HPEN m_pen;
  HGDIOBJ m_previous;
};

void Draw3dRect(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
  auto fill = [dc](int x, int y, int cx, int cy, COLORREF colour) {
    ::SetBkColor(dc, colour);
    const RECT line{x, y, x + cx, y + cy};
    ::ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &line, nullptr, 0, nullptr);
  };
  const int cx = r.right - r.left;
  const int cy = r.bottom - r.top;
  fill(r.left, r.top, cx - 1, 1, topLeft);
  fill(r.left, r.top, 1, cy - 1, topLeft);
  fill(r.left + cx, r.top, -1, cy, bottomRight);
  fill(r.left, r.top + cy, cx, -1, bottomRight);
}

}  // namespace

const MessageMap* CVolumeCtrl::GetMessageMap() const {
  static constexpr MessageEntry entries[] = {
      On<WM_LBUTTONDOWN, &CVolumeCtrl::OnLButtonDown>(),
      On<WM_SETFOCUS, &CVolumeCtrl::OnSetFocus>(),
      OnNotifyReflect<&CVolumeCtrl::OnCustomDraw>(NM_CUSTOMDRAW),
  };
  static constexpr MessageMap map{&CWnd::ThisMessageMap, entries};
  return &map;
}

BOOL CVolumeCtrl::CreateVolumeCtrl(CWnd* parent) {
  if (parent == nullptr) return FALSE;
  HWND hwnd = ::CreateWindowExA(0, TRACKBAR_CLASSA, "", WS_CHILD | WS_VISIBLE | TBS_NOTICKS, 0, 0, 0, 0,
                                parent->m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kControlId)),
                                AfxGetInstanceHandle(), nullptr);
  if (hwnd == nullptr) return FALSE;
  if (!SubclassWindow(hwnd)) {  // already bound to a window: the new one is not kept
    ::DestroyWindow(hwnd);
    return FALSE;
  }
  SetRange(1, 100, FALSE);
  SetPosNotify(60);
  SetPageSize(8);
  SetLineSize(0);
  return TRUE;
}

void CVolumeCtrl::SetPosNotify(int position) {
  SetPos(position);
  ::PostMessageA(::GetParent(m_hWnd), WM_HSCROLL, MAKEWPARAM(position, SB_THUMBPOSITION),
                 reinterpret_cast<LPARAM>(m_hWnd));
}

void CVolumeCtrl::OnLButtonDown(UINT, POINTS point) {
  const RECT channel = GetChannelRect();
  if (channel.left >= channel.right) return;  // not laid out: the click is ignored
  int minimum = 0;
  int maximum = 0;
  GetRange(minimum, maximum);
  const int left = channel.left + 3;
  const int right = channel.right - 4;
  if (point.x < left) {
    SetPos(minimum);
  } else if (point.x >= right) {
    SetPos(maximum);
  } else if (minimum < maximum) {
    const int width = right - left;
    SetPosNotify(minimum + ((maximum - minimum) * (point.x - left) + width / 2) / width);  // nearest step
  }
  Default();
}

void CVolumeCtrl::OnSetFocus(HWND) {
  Default();
  ::SetFocus(::GetParent(m_hWnd));
}

void CVolumeCtrl::OnCustomDraw(NMHDR* header, LRESULT* result) {
  auto* draw = reinterpret_cast<NMCUSTOMDRAW*>(header);
  *result = CDRF_DODEFAULT;
  if (m_customDraw) {
    if (draw->dwDrawStage == CDDS_PREPAINT) {
      *result = CDRF_NOTIFYITEMDRAW;
    } else if (draw->dwDrawStage == CDDS_ITEMPREPAINT && draw->dwItemSpec == TBCD_CHANNEL) {
      DrawWedge(draw->hdc, draw->rc);
      *result = CDRF_SKIPDEFAULT;
    } else if (draw->dwDrawStage == CDDS_ITEMPREPAINT && draw->dwItemSpec == TBCD_THUMB) {
      DrawThumb(draw->hdc, draw->rc);
      *result = CDRF_SKIPDEFAULT;
    }
  }
  draw->uItemState &= ~static_cast<UINT>(CDIS_FOCUS);  // never a focus rectangle
}

// A right triangle rising from left to right, lit on its right and bottom edges and
// shaded along its diagonal.
void CVolumeCtrl::DrawWedge(HDC dc, RECT& channel) {
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  channel = {client.left + 8, client.top + 4, client.right - 10, client.bottom - 6};
  {
    ScopedPen light(dc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
    ::MoveToEx(dc, channel.right, channel.top, nullptr);
    ::LineTo(dc, channel.right, channel.bottom);
    ::LineTo(dc, channel.left, channel.bottom);
  }
  ScopedPen shadow(dc, ::GetSysColor(COLOR_BTNSHADOW));
  ::MoveToEx(dc, channel.left, channel.bottom, nullptr);
  ::LineTo(dc, channel.right, channel.top);
}

void CVolumeCtrl::DrawThumb(HDC dc, RECT& thumb) {
  thumb.bottom -= 1;
  RECT r = thumb;
  r.right -= 1;
  Draw3dRect(dc, r, ::GetSysColor(COLOR_BTNHIGHLIGHT), RGB(0, 0, 0));
  r.right -= 1;
  r.bottom -= 1;
  Draw3dRect(dc, r, ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_BTNSHADOW));
  ::InflateRect(&r, -1, -1);
  ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
  ::SetPixel(dc, r.left + 7, r.top - 1, ::GetSysColor(COLOR_BTNFACE));
}
