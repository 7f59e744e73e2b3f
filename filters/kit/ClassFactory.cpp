#include "filters/kit/ClassFactory.h"

#include <objbase.h>
#include <uuids.h>

#include <atomic>
#include <string>

#include "filters/kit/ComPtr.h"

namespace {

std::atomic<long> g_moduleCount{0};

// Initialises COM on this thread for the registration calls when the caller has not.
class CComScope {
 public:
  CComScope() : m_hr(::CoInitialize(nullptr)) {}
  ~CComScope() {
    if (SUCCEEDED(m_hr)) ::CoUninitialize();
  }

 private:
  HRESULT m_hr;
};

std::wstring ClassKeyPath(REFCLSID clsid) { return L"CLSID\\" + GuidString(clsid); }

HRESULT SetStringValue(HKEY key, const wchar_t* name, const std::wstring& value) {
  LONG status = ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  return HRESULT_FROM_WIN32(status);
}

HRESULT WriteClassKey(REFCLSID clsid, const wchar_t* name, const std::wstring& modulePath) {
  HKEY classKey = nullptr;
  LONG status = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, ClassKeyPath(clsid).c_str(), 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &classKey, nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  HRESULT hr = SetStringValue(classKey, nullptr, name);
  HKEY serverKey = nullptr;
  if (SUCCEEDED(hr)) {
    status = ::RegCreateKeyExW(classKey, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &serverKey, nullptr);
    hr = HRESULT_FROM_WIN32(status);
  }
  if (SUCCEEDED(hr)) hr = SetStringValue(serverKey, nullptr, modulePath);
  if (SUCCEEDED(hr)) hr = SetStringValue(serverKey, L"ThreadingModel", L"Both");
  if (serverKey) ::RegCloseKey(serverKey);
  ::RegCloseKey(classKey);
  return hr;
}

}  // namespace

void ModuleAddRef() { ++g_moduleCount; }

void ModuleRelease() { --g_moduleCount; }

bool ModuleCanUnload() { return g_moduleCount == 0; }

std::wstring GuidString(REFGUID guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return text;
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  return m_class.create(iid, out);
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock) {
  if (lock) {
    ModuleAddRef();
  } else {
    ModuleRelease();
  }
  return S_OK;
}

HRESULT GetFilterClassObject(const CFilterClass* classes, size_t count, REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (size_t i = 0; i < count; ++i) {
    if (*classes[i].clsid == clsid) return CreateComObject<CClassFactory>(iid, out, classes[i]);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT RegisterFilterClasses(HMODULE module, const CFilterClass* classes, size_t count) {
  wchar_t path[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  CComScope com;
  CComPtr<IFilterMapper2> mapper;
  HRESULT hr = ::CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  mapper.PutVoid());
  if (FAILED(hr)) return hr;
  for (size_t i = 0; i < count; ++i) {
    const CFilterClass& filterClass = classes[i];
    hr = WriteClassKey(*filterClass.clsid, filterClass.name, path);
    if (FAILED(hr)) return hr;
    if (!filterClass.filterData) continue;
    hr = mapper->RegisterFilter(*filterClass.clsid, filterClass.name, nullptr, filterClass.category, nullptr,
                                filterClass.filterData);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT UnregisterFilterClasses(const CFilterClass* classes, size_t count) {
  CComScope com;
  CComPtr<IFilterMapper2> mapper;
  ::CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, mapper.PutVoid());
  for (size_t i = 0; i < count; ++i) {
    const CFilterClass& filterClass = classes[i];
    if (mapper && filterClass.filterData) {
      mapper->UnregisterFilter(filterClass.category, nullptr, *filterClass.clsid);
    }
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKeyPath(*filterClass.clsid).c_str());
  }
  return S_OK;
}
