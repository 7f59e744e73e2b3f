#include "diag/Guard.h"

#include <windows.h>

namespace __dbg_util {
namespace {

struct GuardFrame {
  void* jump[5];  // __builtin_setjmp's buffer
  GuardFrame* outer;
  // The head of the thread's exception-handler chain when the guard began. On 32-bit x86
  // the system links handler records on the stack into it; a fault leaves the records of
  // the abandoned calls there, in stack that the jump back frees.
  EXCEPTION_REGISTRATION_RECORD* handlerChain;
};

// GCC takes the segment-relative read of the thread's block for an access at address 0x30.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
EXCEPTION_REGISTRATION_RECORD*& HandlerChain() { return reinterpret_cast<NT_TIB*>(NtCurrentTeb())->ExceptionList; }
#pragma GCC diagnostic pop

DWORD g_slot = TLS_OUT_OF_INDEXES;

LONG CALLBACK GuardHandler(EXCEPTION_POINTERS* exception) {
  // Informational codes (debug output, C++ throws) are handled where they are raised.
  if (!(exception->ExceptionRecord->ExceptionCode & 0x80000000u)) return EXCEPTION_CONTINUE_SEARCH;
  // TlsGetValue clears the last error, which the report shows for the faulting thread.
  const DWORD lastError = GetLastError();
  GuardFrame* frame = static_cast<GuardFrame*>(TlsGetValue(g_slot));
  SetLastError(lastError);
  if (!frame) return EXCEPTION_CONTINUE_SEARCH;
  TlsSetValue(g_slot, frame->outer);
  __builtin_longjmp(frame->jump, 1);
}

}  // namespace

void InstallGuardHandler() {
  if (g_slot != TLS_OUT_OF_INDEXES) return;
  g_slot = TlsAlloc();
  if (g_slot != TLS_OUT_OF_INDEXES) AddVectoredExceptionHandler(1, GuardHandler);
}

__attribute__((noinline)) bool RunGuarded(void (*fn)(void*), void* arg) {
  if (g_slot == TLS_OUT_OF_INDEXES) {
    fn(arg);
    return true;
  }
  GuardFrame frame;
  frame.outer = static_cast<GuardFrame*>(TlsGetValue(g_slot));
  frame.handlerChain = HandlerChain();
  if (__builtin_setjmp(frame.jump) != 0) {
    HandlerChain() = frame.handlerChain;
    return false;
  }
  TlsSetValue(g_slot, &frame);
  bool completed = true;
  try {
    fn(arg);
  } catch (...) {
    completed = false;
  }
  TlsSetValue(g_slot, frame.outer);
  return completed;
}

}  // namespace __dbg_util
