#pragma once
#include <unknwn.h>

#include <atomic>
#include <new>
#include <tuple>
#include <utility>

#include "filters/kit/ComPtr.h"

// Live COM objects and server locks of this module, for DllCanUnloadNow.
void ModuleAddRef();
void ModuleRelease();
bool ModuleCanUnload();

// Finds the interface with that identifier among Interfaces... of object (null if none).
template <class Object, class... Interfaces>
void* FindAmong(Object* object, REFIID iid) {
  void* found = nullptr;
  ((found == nullptr && iid == __uuidof(Interfaces) ? (found = static_cast<Interfaces*>(object))
                                                    : nullptr),
   ...);
  return found;
}

// IUnknown for a stand-alone COM object that implements Interfaces... (the first one also
// stands for IUnknown). The count starts at 1, owned by whoever created the object (see
// CreateComObject); the object deletes itself when the count returns to zero. A derived
// class adds interfaces (base interfaces such as IPersist, or more) by overriding
// FindInterface.
template <class... Interfaces>
class CComObjectBase : public Interfaces... {
 public:
  CComObjectBase() { ModuleAddRef(); }
  virtual ~CComObjectBase() { ModuleRelease(); }
  CComObjectBase(const CComObjectBase&) = delete;
  CComObjectBase& operator=(const CComObjectBase&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = FindInterface(iid);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }

 protected:
  virtual void* FindInterface(REFIID iid) {
    if (iid == IID_IUnknown) return static_cast<std::tuple_element_t<0, std::tuple<Interfaces...>>*>(this);
    return FindAmong<CComObjectBase, Interfaces...>(this, iid);
  }

 private:
  std::atomic<ULONG> m_refs{1};
};

// Adds the interfaces Extra... to Base (a filter, a pin or any class with FindInterface):
// their IUnknown methods go to Base's, and QueryInterface finds them.
//   class CCapturePin : public CWithInterfaces<CBaseOutputPin, IAMStreamConfig> { ... };
template <class Base, class... Extra>
class CWithInterfaces : public Base, public Extra... {
 public:
  using Base::Base;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return Base::QueryInterface(iid, out); }
  STDMETHODIMP_(ULONG) AddRef() override { return Base::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return Base::Release(); }

 protected:
  void* FindInterface(REFIID iid) override {
    void* found = FindAmong<CWithInterfaces, Extra...>(this, iid);
    return found ? found : Base::FindInterface(iid);
  }
};

// Creates a T and returns its interface iid; on any failure nothing is left alive.
template <class T, class... Args>
HRESULT CreateComObject(REFIID iid, void** out, Args&&... args) {
  if (!out) return E_POINTER;
  *out = nullptr;
  T* object = new (std::nothrow) T(std::forward<Args>(args)...);
  if (!object) return E_OUTOFMEMORY;
  HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

// Creates a T and hands back the creator's reference (for tests and fakes built on the kit).
template <class T, class... Args>
CComPtr<T> MakeComObject(Args&&... args) {
  return CComPtr<T>::Adopt(new T(std::forward<Args>(args)...));
}
