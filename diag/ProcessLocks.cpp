#include "diag/ProcessLocks.h"

#include <winternl.h>

#include <cstdint>

extern "C" {
// ntdll's loader lock: no documented call takes it.
NTSYSAPI LONG NTAPI LdrLockLoaderLock(ULONG flags, ULONG* state, ULONG_PTR* cookie);
NTSYSAPI LONG NTAPI LdrUnlockLoaderLock(ULONG flags, ULONG_PTR cookie);
// The lock of the process's environment block: path conversions (the report file's
// creation among them) and the loader's search for a DLL take it.
NTSYSAPI VOID NTAPI RtlAcquirePebLock();
NTSYSAPI VOID NTAPI RtlReleasePebLock();
}

namespace __dbg_util {
namespace {

// Where the process environment block points at its locks (the SDK's headers leave them
// out): their owners tell whether the thread that failed holds one.
#ifdef _WIN64
constexpr size_t kPebLockOffset = 0x38;
constexpr size_t kLoaderLockOffset = 0x110;
#else
constexpr size_t kPebLockOffset = 0x1C;
constexpr size_t kLoaderLockOffset = 0xA0;
#endif

// GCC takes the segment-relative read of the thread's block for an access at a small address.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
const RTL_CRITICAL_SECTION* PebLock(size_t pebOffset) {
  const BYTE* peb = reinterpret_cast<const BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
  return *reinterpret_cast<const RTL_CRITICAL_SECTION* const*>(peb + pebOffset);
}
#pragma GCC diagnostic pop

bool OwnedBy(size_t pebOffset, DWORD thread) {
  const RTL_CRITICAL_SECTION* lock = PebLock(pebOffset);
  return lock && static_cast<DWORD>(reinterpret_cast<uintptr_t>(lock->OwningThread)) == thread;
}

}  // namespace

void ProcessLocks::Take(DWORD failingThread) {
  // The thread that failed never lets go of a lock it holds (a fault in a DLL's start-up):
  // waiting for it would wait forever. Any other owner runs on and lets it go.
  if (!OwnedBy(kLoaderLockOffset, failingThread)) m_loaderLocked = LdrLockLoaderLock(0, nullptr, &m_loaderCookie) >= 0;
  if (!OwnedBy(kPebLockOffset, failingThread)) {
    RtlAcquirePebLock();
    m_pebLocked = true;
  }
  HANDLE heaps[kMaxHeaps];
  const DWORD n = GetProcessHeaps(kMaxHeaps, heaps);
  for (DWORD i = 0; i < n && i < kMaxHeaps; ++i)
    if (HeapLock(heaps[i])) m_heaps[m_heapCount++] = heaps[i];
}

bool ProcessLocks::OthersWaitForEnvironment() const {
  const RTL_CRITICAL_SECTION* lock = PebLock(kPebLockOffset);
  // Held once by this thread: every count beyond that is a thread waiting.
  return m_pebLocked && lock && lock->LockCount > 0;
}

void ProcessLocks::Release() {
  while (m_heapCount > 0) HeapUnlock(m_heaps[--m_heapCount]);
  if (m_pebLocked) RtlReleasePebLock();
  m_pebLocked = false;
  if (m_loaderLocked) LdrUnlockLoaderLock(0, m_loaderCookie);
  m_loaderLocked = false;
}

}  // namespace __dbg_util
