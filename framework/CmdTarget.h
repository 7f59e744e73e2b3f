#pragma once
#include "MessageMap.h"

// Base of everything that has a message map: windows and the application object.
class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;

  // The class's map, chained to its base's. Classes with handlers override it.
  virtual const MessageMap* GetMessageMap() const { return ThisMessageMap(); }
  static const MessageMap* ThisMessageMap();

  // Runs the handler for WM_COMMAND (id, code) if this object's map has one.
  virtual bool OnCmdMsg(UINT id, UINT code);

 protected:
  // Runs the handler of any message; false when the map has none.
  bool Dispatch(UINT message, UINT id, UINT code, WPARAM wParam, LPARAM lParam, LRESULT& result);
};

// Reports a C++ exception caught at a Win32 callback boundary, so that none unwinds
// through the system's code. It ends the process through std::terminate.
[[noreturn]] void AfxUnhandledException();
