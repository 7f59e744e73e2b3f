// The three custom controls as a user meets them: clicks become positions, the owner hears
// the scroll messages a drag would produce, the volume control never keeps the focus and
// draws itself, and the read-only edit refuses typed characters.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "framework/Dialog.h"
#include "framework/WinApp.h"
#include "tests/ui/UiTestRes.h"
#include "ui/controls/ReadOnlyEdit.h"
#include "ui/controls/SliderCtrlEx.h"
#include "ui/controls/VolumeCtrl.h"

namespace {

struct ScrollMessage {
  UINT code;
  UINT position;
  HWND from;
  bool operator==(const ScrollMessage& o) const { return code == o.code && position == o.position && from == o.from; }
};

class HostDialog : public CDialog {
 public:
  HostDialog() : CDialog(IDD_CONTROL_HOST) {}
  CSliderCtrlEx slider;
  CReadOnlyEdit edit;
  CVolumeCtrl volume;
  std::vector<ScrollMessage> scrolls;

  const MessageMap* GetMessageMap() const override {
    static constexpr MessageEntry entries[] = {On<WM_HSCROLL, &HostDialog::OnHScroll>()};
    static constexpr MessageMap map{&CDialog::ThisMessageMap, entries};
    return &map;
  }

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    slider.SubclassDlgItem(IDC_HOST_SLIDER, this);
    edit.SubclassDlgItem(IDC_HOST_EDIT, this);
    volume.CreateVolumeCtrl(this);
    ::MoveWindow(volume.m_hWnd, 10, 120, 200, 30, TRUE);
    return TRUE;
  }

 private:
  void OnHScroll(UINT code, UINT position, HWND from) { scrolls.push_back({code, position, from}); }
};

void Pump() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.Create());
    Pump();
    host.scrolls.clear();
  }
  void TearDown() override {
    if (host.m_hWnd) ::DestroyWindow(host.m_hWnd);
  }
  CWinApp app;
  HostDialog host;
};

TEST_F(ControlsTest, SliderJumpsToTheClickedPoint) {
  CSliderCtrlEx& slider = host.slider;
  slider.SetRange(0, 100, TRUE);
  const RECT channel = slider.GetChannelRect();
  RECT client{};
  ::GetClientRect(slider.m_hWnd, &client);
  const int width = channel.right - channel.left;
  const int offset = (client.right - width) / 2;
  const int y = (channel.top + channel.bottom) / 2;
  const struct {
    int x;
    int expected;
  } clicks[] = {{offset, 0}, {offset + width, 100}, {offset + width / 2, 50}, {offset + width + 20, 100}};
  for (const auto& click : clicks) {
    slider.SetPos(click.expected == 50 ? 0 : 50);  // the thumb is elsewhere
    host.scrolls.clear();
    slider.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(click.x, y));
    slider.SendMessage(WM_LBUTTONUP, 0, At(click.x, y));
    EXPECT_EQ(slider.GetPos(), click.expected) << "x " << click.x;
    EXPECT_EQ(host.scrolls, (std::vector<ScrollMessage>{{SB_THUMBTRACK, 0, nullptr}, {SB_ENDSCROLL, 0, nullptr}}));
    EXPECT_EQ(::GetCapture(), nullptr) << "a click outside the thumb does not capture the mouse";
  }
}

TEST_F(ControlsTest, SliderClickOnTheThumbStartsAnOrdinaryDrag) {
  CSliderCtrlEx& slider = host.slider;
  slider.SetRange(0, 100, TRUE);
  slider.SetPos(30);
  const RECT thumb = slider.GetThumbRect();
  const LPARAM point = At((thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2);
  slider.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, point);
  EXPECT_EQ(::GetCapture(), slider.m_hWnd) << "the trackbar's own drag captures the mouse";
  EXPECT_EQ(slider.GetPos(), 30);
  slider.SendMessage(WM_LBUTTONUP, 0, point);
  Pump();
  for (const ScrollMessage& m : host.scrolls) EXPECT_EQ(m.from, slider.m_hWnd) << "the trackbar's own messages";
}

// A slider squeezed to nothing has a channel of no width: a click there is ignored.
TEST_F(ControlsTest, SliderWithoutAChannelIgnoresClicks) {
  CSliderCtrlEx& slider = host.slider;
  slider.SetRange(0, 100, TRUE);
  slider.SetPos(40);
  ::MoveWindow(slider.m_hWnd, 10, 10, 0, 20, TRUE);
  const RECT channel = slider.GetChannelRect();
  ASSERT_LE(channel.right - channel.left, 0);
  const RECT thumb = slider.GetThumbRect();
  const LPARAM beside = At(thumb.right + 2, (thumb.top + thumb.bottom) / 2);  // not on the thumb
  host.scrolls.clear();
  slider.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, beside);
  slider.SendMessage(WM_LBUTTONUP, 0, beside);
  EXPECT_EQ(slider.GetPos(), 40);
  EXPECT_TRUE(host.scrolls.empty());
}

int ChildrenWithId(HWND parent, int id) {
  int count = 0;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (::GetDlgCtrlID(child) == id) ++count;
  }
  return count;
}

TEST_F(ControlsTest, VolumeCreatedTwiceKeepsOneWindow) {
  ASSERT_EQ(ChildrenWithId(host.m_hWnd, CVolumeCtrl::kControlId), 1);
  EXPECT_FALSE(host.volume.CreateVolumeCtrl(&host)) << "the object already has its window";
  EXPECT_EQ(ChildrenWithId(host.m_hWnd, CVolumeCtrl::kControlId), 1) << "the second window is not left behind";
  CVolumeCtrl orphan;
  EXPECT_FALSE(orphan.CreateVolumeCtrl(nullptr));
}

TEST_F(ControlsTest, VolumeClicksRoundToTheNearestStep) {
  CVolumeCtrl& volume = host.volume;
  int minimum = 0, maximum = 0;
  volume.GetRange(minimum, maximum);
  ASSERT_EQ(minimum, 1);
  ASSERT_EQ(maximum, 100);
  Pump();
  host.scrolls.clear();
  const RECT channel = volume.GetChannelRect();
  ASSERT_LT(channel.left, channel.right);
  const int left = channel.left + 3;
  const int right = channel.right - 4;
  const int width = right - left;
  const int y = (channel.top + channel.bottom) / 2;
  const struct {
    int x;
    int expected;
    bool posts;
  } clicks[] = {
      {channel.left, 1, false},
      {left - 1, 1, false},
      {right, 100, false},
      {channel.right, 100, false},
      {left + width / 2, 1 + (99 * (width / 2) + width / 2) / width, true},
      {left + 1, 1 + (99 + width / 2) / width, true},
  };
  for (const auto& click : clicks) {
    SCOPED_TRACE(click.x);
    volume.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(click.x, y));
    EXPECT_EQ(volume.GetPos(), click.expected);
    // What the control posted itself, before the trackbar's own drag reports anything.
    MSG posted{};
    const bool anything = ::PeekMessageA(&posted, host.m_hWnd, WM_HSCROLL, WM_HSCROLL, PM_REMOVE);
    EXPECT_EQ(anything, click.posts);
    if (anything) {
      EXPECT_EQ(posted.wParam, MAKEWPARAM(click.expected, SB_THUMBPOSITION));
      EXPECT_EQ(posted.lParam, reinterpret_cast<LPARAM>(volume.m_hWnd));
    }
    volume.SendMessage(WM_LBUTTONUP, 0, At(click.x, y));
    ::ReleaseCapture();
    Pump();
  }
}

TEST_F(ControlsTest, VolumeGivesTheFocusBackToItsParent) {
  ::SetFocus(host.edit.m_hWnd);
  ::SetFocus(host.volume.m_hWnd);
  // The dialog takes the focus and hands it on to its own choice of control.
  HWND focus = ::GetFocus();
  EXPECT_NE(focus, host.volume.m_hWnd);
  EXPECT_TRUE(focus == host.m_hWnd || ::IsChild(host.m_hWnd, focus));
}

TEST_F(ControlsTest, VolumeDrawsAWedgeAndThumbWithoutFocusRectangle) {
  CVolumeCtrl& volume = host.volume;
  RECT client{};
  ::GetClientRect(volume.m_hWnd, &client);
  HDC dc = ::GetDC(volume.m_hWnd);
  auto notify = [&](DWORD stage, DWORD_PTR part, RECT& rect, UINT& state) {
    NMCUSTOMDRAW draw{};
    draw.hdr.hwndFrom = volume.m_hWnd;
    draw.hdr.idFrom = CVolumeCtrl::kControlId;
    draw.hdr.code = NM_CUSTOMDRAW;
    draw.dwDrawStage = stage;
    draw.dwItemSpec = part;
    draw.hdc = dc;
    draw.rc = rect;
    draw.uItemState = CDIS_FOCUS;
    const LRESULT result = host.SendMessage(WM_NOTIFY, CVolumeCtrl::kControlId, reinterpret_cast<LPARAM>(&draw));
    rect = draw.rc;
    state = draw.uItemState;
    return result;
  };
  RECT rect{};
  UINT state = 0;
  EXPECT_EQ(notify(CDDS_PREPAINT, 0, rect, state), CDRF_NOTIFYITEMDRAW);
  EXPECT_EQ(state & CDIS_FOCUS, 0u);
  EXPECT_EQ(notify(CDDS_ITEMPREPAINT, TBCD_CHANNEL, rect, state), CDRF_SKIPDEFAULT);
  EXPECT_EQ(rect.left, client.left + 8);
  EXPECT_EQ(rect.top, client.top + 4);
  EXPECT_EQ(rect.right, client.right - 10);
  EXPECT_EQ(rect.bottom, client.bottom - 6);
  // The diagonal is shaded: its middle pixel has the shadow colour.
  EXPECT_EQ(::GetPixel(dc, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2),
            ::GetSysColor(COLOR_BTNSHADOW));
  RECT thumb{20, 5, 31, 25};
  EXPECT_EQ(notify(CDDS_ITEMPREPAINT, TBCD_THUMB, thumb, state), CDRF_SKIPDEFAULT);
  EXPECT_EQ(thumb.bottom, 24) << "the thumb is one pixel shorter";
  EXPECT_EQ(notify(CDDS_ITEMPREPAINT, TBCD_TICS, rect, state), CDRF_DODEFAULT);
  volume.m_customDraw = false;
  EXPECT_EQ(notify(CDDS_PREPAINT, 0, rect, state), CDRF_DODEFAULT);
  EXPECT_EQ(state & CDIS_FOCUS, 0u);
  ::ReleaseDC(volume.m_hWnd, dc);
}

TEST_F(ControlsTest, ReadOnlyEditRefusesTypedCharactersOnly) {
  CReadOnlyEdit& edit = host.edit;
  edit.SetWindowText("C:\\Rec\\0001.mp3");
  ::SetFocus(edit.m_hWnd);
  for (const WPARAM typed : {WPARAM('a'), WPARAM(VK_BACK), WPARAM(0x16) /* Ctrl+V */}) {
    EXPECT_EQ(edit.SendMessage(WM_CHAR, typed, 1), 1);
  }
  EXPECT_EQ(edit.GetWindowText(), "C:\\Rec\\0001.mp3");
  edit.SetSel(0, 3);
  edit.SendMessage(WM_KEYDOWN, VK_DELETE, 1);  // handled on key-down, as in any edit
  EXPECT_EQ(edit.GetWindowText(), "Rec\\0001.mp3");
}

}  // namespace
