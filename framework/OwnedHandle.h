#pragma once
#include <windows.h>

// A kernel handle (event, thread) owned for the object's lifetime; null when there is none.
class COwnedHandle {
 public:
  COwnedHandle() = default;
  explicit COwnedHandle(HANDLE handle) : m_handle(handle) {}
  ~COwnedHandle() { Reset(); }
  COwnedHandle(COwnedHandle&& other) noexcept : m_handle(other.Release()) {}
  COwnedHandle& operator=(COwnedHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  COwnedHandle(const COwnedHandle&) = delete;
  COwnedHandle& operator=(const COwnedHandle&) = delete;

  HANDLE Get() const { return m_handle; }
  explicit operator bool() const { return m_handle != nullptr; }
  // Gives the handle up without closing it.
  HANDLE Release() {
    HANDLE handle = m_handle;
    m_handle = nullptr;
    return handle;
  }
  void Reset(HANDLE handle = nullptr) {
    if (m_handle != nullptr) ::CloseHandle(m_handle);
    m_handle = handle;
  }

 private:
  HANDLE m_handle = nullptr;
};
