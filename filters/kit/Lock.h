#pragma once
#include <windows.h>

#include <mutex>

// A recursive lock (a critical section) usable with std::lock_guard. Recursive because the
// graph calls back into a filter from within calls the filter makes on it (a reconnection
// started by the filter's own pin, for instance).
class CCritSec {
 public:
  CCritSec() { ::InitializeCriticalSection(&m_section); }
  ~CCritSec() { ::DeleteCriticalSection(&m_section); }
  CCritSec(const CCritSec&) = delete;
  CCritSec& operator=(const CCritSec&) = delete;

  void lock() { ::EnterCriticalSection(&m_section); }
  void unlock() { ::LeaveCriticalSection(&m_section); }

 private:
  CRITICAL_SECTION m_section;
};

using CAutoLock = std::lock_guard<CCritSec>;
