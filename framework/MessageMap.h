#pragma once
// Table-driven message maps. Each class that handles messages returns a map of entries
// {message, control id, notification code, thunk} chained to its base class's map. The
// entries are built by the templates below from typed member-function pointers, so a
// handler with the wrong signature does not compile and user code never casts.
//
//   const MessageMap* CMyDlg::GetMessageMap() const {
//     static constexpr MessageEntry entries[] = {
//         OnClicked<&CMyDlg::OnBrowse>(IDC_BROWSE),
//         On<WM_VSCROLL, &CMyDlg::OnVScroll>(),
//     };
//     static constexpr MessageMap map{&CDialog::ThisMessageMap, entries};
//     return &map;
//   }

#include <windows.h>

#include <cstddef>

class CCmdTarget;

using MessageThunk = LRESULT (*)(CCmdTarget& target, WPARAM wParam, LPARAM lParam);

// A control's own WM_NOTIFY, sent back to it by its parent before the parent's map sees it.
constexpr UINT WM_REFLECTED_NOTIFY = 0x2000 + WM_NOTIFY;

struct MessageEntry {
  UINT message;  // WM_COMMAND and WM_NOTIFY match id and code too, reflected notifications code
  UINT id;
  UINT code;
  MessageThunk thunk;
};

struct MessageMap {
  const MessageMap* (*base)();
  const MessageEntry* first;
  size_t count;

  template <size_t N>
  constexpr MessageMap(const MessageMap* (*baseMap)(), const MessageEntry (&entries)[N])
      : base(baseMap), first(entries), count(N) {}
  constexpr explicit MessageMap(const MessageMap* (*baseMap)()) : base(baseMap), first(nullptr), count(0) {}
};

namespace framework_detail {

template <class F>
struct MemberOf;
template <class R, class T, class... A>
struct MemberOf<R (T::*)(A...)> {
  using Class = T;
};

// Cast from the dispatching base to the class that declared the handler. Every map entry of
// a class names that class's own members, so the object is always of that class.
template <class T>
T& Self(CCmdTarget& target) {
  return static_cast<T&>(target);
}

}  // namespace framework_detail

// Typed unpacking of wParam/lParam. Messages with the same handler shape share a cracker;
// a message gets one by a specialisation of MessageCracker.
struct NoArgumentsCracker {  // void OnPaint()
  template <class T, auto F>
  static LRESULT Call(T& t, WPARAM, LPARAM) {
    (t.*F)();
    return 0;
  }
};
struct ScrollCracker {  // void OnVScroll(UINT code, UINT position, HWND scrollBar)
  template <class T, auto F>
  static LRESULT Call(T& t, WPARAM wParam, LPARAM lParam) {
    (t.*F)(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    return 0;
  }
};
struct MouseCracker {  // void OnLButtonDown(UINT flagsOrHitTest, POINTS point)
  template <class T, auto F>
  static LRESULT Call(T& t, WPARAM wParam, LPARAM lParam) {
    (t.*F)(static_cast<UINT>(wParam), MAKEPOINTS(lParam));
    return 0;
  }
};
struct SysCommandCracker {  // void OnSysCommand(UINT id, LPARAM lParam)
  template <class T, auto F>
  static LRESULT Call(T& t, WPARAM wParam, LPARAM lParam) {
    (t.*F)(static_cast<UINT>(wParam), lParam);
    return 0;
  }
};
struct TimerCracker {  // void OnTimer(UINT_PTR id)
  template <class T, auto F>
  static LRESULT Call(T& t, WPARAM wParam, LPARAM) {
    (t.*F)(static_cast<UINT_PTR>(wParam));
    return 0;
  }
};
struct FocusCracker {  // void OnSetFocus(HWND previous)
  template <class T, auto F>
  static LRESULT Call(T& t, WPARAM wParam, LPARAM) {
    (t.*F)(reinterpret_cast<HWND>(wParam));
    return 0;
  }
};
struct QueryDragIconCracker {  // HCURSOR OnQueryDragIcon()
  template <class T, auto F>
  static LRESULT Call(T& t, WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>((t.*F)());
  }
};
struct HelpCracker {  // BOOL OnHelpInfo(HELPINFO* info)
  template <class T, auto F>
  static LRESULT Call(T& t, WPARAM, LPARAM lParam) {
    return (t.*F)(reinterpret_cast<HELPINFO*>(lParam));
  }
};

template <UINT Message>
struct MessageCracker;
template <> struct MessageCracker<WM_PAINT> : NoArgumentsCracker {};
template <> struct MessageCracker<WM_CLOSE> : NoArgumentsCracker {};
template <> struct MessageCracker<WM_DESTROY> : NoArgumentsCracker {};
template <> struct MessageCracker<WM_VSCROLL> : ScrollCracker {};
template <> struct MessageCracker<WM_HSCROLL> : ScrollCracker {};
template <> struct MessageCracker<WM_LBUTTONDOWN> : MouseCracker {};
template <> struct MessageCracker<WM_LBUTTONUP> : MouseCracker {};
template <> struct MessageCracker<WM_NCLBUTTONDOWN> : MouseCracker {};
template <> struct MessageCracker<WM_SYSCOMMAND> : SysCommandCracker {};
template <> struct MessageCracker<WM_TIMER> : TimerCracker {};
template <> struct MessageCracker<WM_SETFOCUS> : FocusCracker {};
template <> struct MessageCracker<WM_QUERYDRAGICON> : QueryDragIconCracker {};
template <> struct MessageCracker<WM_HELP> : HelpCracker {};

template <UINT Message, class T, auto F>
LRESULT CrackedThunk(CCmdTarget& target, WPARAM wParam, LPARAM lParam) {
  return MessageCracker<Message>::template Call<T, F>(framework_detail::Self<T>(target), wParam, lParam);
}

// A standard message with its typed handler: On<WM_PAINT, &CMyDlg::OnPaint>().
template <UINT Message, auto F>
constexpr MessageEntry On() {
  using T = typename framework_detail::MemberOf<decltype(F)>::Class;
  return {Message, 0, 0, &CrackedThunk<Message, T, F>};
}

template <class T, LRESULT (T::*F)(WPARAM, LPARAM)>
LRESULT RawThunk(CCmdTarget& target, WPARAM wParam, LPARAM lParam) {
  return (framework_detail::Self<T>(target).*F)(wParam, lParam);
}

// The program's own messages: LRESULT OnTrayNotify(WPARAM, LPARAM).
template <auto F>
constexpr MessageEntry OnMessage(UINT message) {
  using T = typename framework_detail::MemberOf<decltype(F)>::Class;
  return {message, 0, 0, &RawThunk<T, F>};
}

template <class T, void (T::*F)()>
LRESULT CommandThunk(CCmdTarget& target, WPARAM, LPARAM) {
  (framework_detail::Self<T>(target).*F)();
  return 0;
}

// WM_COMMAND from control or command `id` with notification `code`: void OnBrowse().
template <auto F>
constexpr MessageEntry OnCommandFrom(UINT id, UINT code) {
  using T = typename framework_detail::MemberOf<decltype(F)>::Class;
  return {WM_COMMAND, id, code, &CommandThunk<T, F>};
}

template <auto F>
constexpr MessageEntry OnClicked(UINT id) {
  return OnCommandFrom<F>(id, BN_CLICKED);
}

template <class T, void (T::*F)(NMHDR*, LRESULT*)>
LRESULT NotifyThunk(CCmdTarget& target, WPARAM, LPARAM lParam) {
  LRESULT result = 0;
  (framework_detail::Self<T>(target).*F)(reinterpret_cast<NMHDR*>(lParam), &result);
  return result;
}

// WM_NOTIFY from control `id` with code `code`: void OnCustomDraw(NMHDR*, LRESULT*).
template <auto F>
constexpr MessageEntry OnNotify(UINT id, UINT code) {
  using T = typename framework_detail::MemberOf<decltype(F)>::Class;
  return {WM_NOTIFY, id, code, &NotifyThunk<T, F>};
}

// A control's handler of its own notification `code`: void OnCustomDraw(NMHDR*, LRESULT*).
template <auto F>
constexpr MessageEntry OnNotifyReflect(UINT code) {
  using T = typename framework_detail::MemberOf<decltype(F)>::Class;
  return {WM_REFLECTED_NOTIFY, 0, code, &NotifyThunk<T, F>};
}

// Finds the entry for a message in a map and its bases; null when none handles it.
const MessageEntry* FindMessageEntry(const MessageMap* map, UINT message, UINT id, UINT code);
