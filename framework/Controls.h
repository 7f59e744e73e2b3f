#pragma once
// Thin wrappers of the standard and common controls: they do not own their windows (a
// dialog's controls belong to the dialog) and add one inline method per message the
// program sends.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "framework/Wnd.h"

namespace framework_detail {
// An item's text through a list's length and text messages (CB_ERR and LB_ERR are both -1
// for an index out of range, which gives the empty text).
inline std::string ItemText(const CWnd& list, UINT lengthMessage, UINT textMessage, int index) {
  const LRESULT length = list.SendMessage(lengthMessage, static_cast<WPARAM>(index));
  if (length < 0) return {};
  std::vector<char> text(static_cast<size_t>(length) + 1);
  list.SendMessage(textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}
}  // namespace framework_detail

class CComboBox : public CWnd {
 public:
  // Position of the new item, or CB_ERR.
  int AddString(const std::string& text) { return Send(CB_ADDSTRING, 0, text.c_str()); }
  void ResetContent() { SendMessage(CB_RESETCONTENT); }
  int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
  // -1 when nothing is selected.
  int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
  int SetCurSel(int index) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index))); }
  // The item's text; empty for an index out of range.
  std::string GetLBText(int index) const {
    return framework_detail::ItemText(*this, CB_GETLBTEXTLEN, CB_GETLBTEXT, index);
  }

 private:
  int Send(UINT message, WPARAM wParam, const char* text) {
    return static_cast<int>(SendMessage(message, wParam, reinterpret_cast<LPARAM>(text)));
  }
};

class CSliderCtrl : public CWnd {
 public:
  void SetRange(int minimum, int maximum, BOOL redraw = FALSE) {
    SendMessage(TBM_SETRANGEMIN, FALSE, minimum);
    SendMessage(TBM_SETRANGEMAX, redraw, maximum);
  }
  void GetRange(int& minimum, int& maximum) const {
    minimum = static_cast<int>(SendMessage(TBM_GETRANGEMIN));
    maximum = static_cast<int>(SendMessage(TBM_GETRANGEMAX));
  }
  int GetPos() const { return static_cast<int>(SendMessage(TBM_GETPOS)); }
  void SetPos(int position) { SendMessage(TBM_SETPOS, TRUE, position); }
  void SetTicFreq(int frequency) { SendMessage(TBM_SETTICFREQ, static_cast<WPARAM>(frequency)); }
  void SetPageSize(int size) { SendMessage(TBM_SETPAGESIZE, 0, size); }
  void SetLineSize(int size) { SendMessage(TBM_SETLINESIZE, 0, size); }
  RECT GetThumbRect() const { return GetRect(TBM_GETTHUMBRECT); }
  RECT GetChannelRect() const { return GetRect(TBM_GETCHANNELRECT); }

 private:
  RECT GetRect(UINT message) const {
    RECT rect{};
    SendMessage(message, 0, reinterpret_cast<LPARAM>(&rect));
    return rect;
  }
};

class CEdit : public CWnd {
 public:
  // Selects from `start` to `end` (-1: to the end) and scrolls the caret into view.
  void SetSel(int start, int end, BOOL noScroll = FALSE) {
    SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end);
    if (!noScroll) SendMessage(EM_SCROLLCARET);
  }
};

class CStatic : public CWnd {
 public:
  // The previous icon, which stays the caller's.
  HICON SetIcon(HICON icon) {
    return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(icon)));
  }
  HICON GetIcon() const { return reinterpret_cast<HICON>(SendMessage(STM_GETICON)); }
};

class CButton : public CWnd {
 public:
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
  // The image of a BS_ICON button. The previous icon, which stays the caller's.
  HICON SetIcon(HICON icon) {
    return reinterpret_cast<HICON>(SendMessage(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)));
  }
  HICON GetIcon() const { return reinterpret_cast<HICON>(SendMessage(BM_GETIMAGE, IMAGE_ICON)); }
};

class CListBox : public CWnd {
 public:
  // Position of the new item, or LB_ERR / LB_ERRSPACE.
  int AddString(const std::string& text) {
    return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
  }
  void ResetContent() { SendMessage(LB_RESETCONTENT); }
  int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
  // LB_ERR (-1) when nothing is selected.
  int GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
  int SetCurSel(int index) { return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index))); }
  // The item's text; empty for an index out of range.
  std::string GetText(int index) const { return framework_detail::ItemText(*this, LB_GETTEXTLEN, LB_GETTEXT, index); }
};

class CDateTimeCtrl : public CWnd {
 public:
  // False when the control refuses the time (an all-zero one, for instance).
  BOOL SetTime(const SYSTEMTIME& time) {
    return SendMessage(DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time)) != 0;
  }
  // GDT_VALID with the time shown, or GDT_NONE when the control shows none.
  DWORD GetTime(SYSTEMTIME& time) const {
    return static_cast<DWORD>(SendMessage(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)));
  }
};
