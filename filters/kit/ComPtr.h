#pragma once
#include <unknwn.h>

#include <cstddef>
#include <utility>

// Holds one reference on a COM object and releases it when it goes. Out parameters go
// through Put(), which releases what was held first; Adopt() takes over a reference the
// caller already owns (a new object's first reference, for instance).
template <class T>
class CComPtr {
 public:
  CComPtr() = default;
  CComPtr(std::nullptr_t) {}
  CComPtr(T* raw) : m_p(raw) {
    if (m_p) m_p->AddRef();
  }
  CComPtr(const CComPtr& other) : CComPtr(other.m_p) {}
  CComPtr(CComPtr&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
  ~CComPtr() { Reset(); }

  CComPtr& operator=(CComPtr other) noexcept {
    std::swap(m_p, other.m_p);
    return *this;
  }

  static CComPtr Adopt(T* raw) {
    CComPtr result;
    result.m_p = raw;
    return result;
  }

  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  T& operator*() const { return *m_p; }
  explicit operator bool() const { return m_p != nullptr; }

  void Reset() {
    if (m_p) {
      T* old = m_p;
      m_p = nullptr;
      old->Release();
    }
  }
  T** Put() {
    Reset();
    return &m_p;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  // Hands the reference to the caller (an out parameter of a COM method).
  T* Detach() {
    T* raw = m_p;
    m_p = nullptr;
    return raw;
  }
  // Copies the pointer into an out parameter with a reference of its own.
  void CopyTo(T** out) const {
    *out = m_p;
    if (m_p) m_p->AddRef();
  }

  template <class U>
  HRESULT As(CComPtr<U>& out) const {
    if (!m_p) return E_POINTER;
    return m_p->QueryInterface(__uuidof(U), out.PutVoid());
  }

 private:
  T* m_p = nullptr;
};

template <class T>
CComPtr<T> ComQuery(IUnknown* object) {
  CComPtr<T> result;
  if (object) object->QueryInterface(__uuidof(T), result.PutVoid());
  return result;
}
