#include "ui/main/SystemCalls.h"

SystemCalls& TheSystemCalls() {
  static SystemCalls calls{&::Shell_NotifyIconA, &::SetThreadExecutionState, &::Beep};
  return calls;
}
