#pragma once
// The process-wide locks that writing a report needs: the loader's (module names, symbols
// loaded for the first time), the environment block's (path conversions) and every heap's (the symbol engine's allocations, path
// conversions, the message box). The reporting thread takes them all before it suspends the
// other threads and keeps them, so that no thread suspended inside one can block the
// report: a thread that holds one is let finish with it first.

#include <windows.h>

namespace __dbg_util {

class ProcessLocks {
 public:
  ProcessLocks() = default;
  ProcessLocks(const ProcessLocks&) = delete;
  ProcessLocks& operator=(const ProcessLocks&) = delete;
  ~ProcessLocks() { Release(); }

  // From the outermost in, as the system nests them: the loader's, the environment block's,
  // then each heap's.
  // `failingThread` waits for the report; a lock it holds is not waited for.
  void Take(DWORD failingThread);
  void Release();

  // True when another thread waits for the environment block's lock. It may hold a lock
  // that no call can take and the message box needs (the loader's search-path lock, held
  // while it reads the environment): suspended there, it would stop the box.
  bool OthersWaitForEnvironment() const;

 private:
  static constexpr unsigned kMaxHeaps = 128;
  ULONG_PTR m_loaderCookie = 0;
  bool m_loaderLocked = false;
  bool m_pebLocked = false;
  HANDLE m_heaps[kMaxHeaps] = {};
  unsigned m_heapCount = 0;
};

}  // namespace __dbg_util
