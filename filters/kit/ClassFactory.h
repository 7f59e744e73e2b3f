#pragma once
#include <windows.h>
#include <strmif.h>

#include <cstddef>
#include <string>

#include "filters/kit/ComObject.h"

// One class a filter DLL serves: how to create it and how to register it.
struct CFilterClass {
  const CLSID* clsid;
  const wchar_t* name;
  // Creates the object and returns its interface iid (see CreateComObject).
  HRESULT (*create)(REFIID iid, void** out);
  // The filter mapper's record (merit, pins); null registers the COM class only.
  const REGFILTER2* filterData;
  // The category to list the filter in, usually CLSID_LegacyAmFilterCategory.
  const CLSID* category;
};

// Creates objects of one class. Aggregation is not supported.
class CClassFactory : public CComObjectBase<IClassFactory> {
 public:
  explicit CClassFactory(const CFilterClass& filterClass) : m_class(filterClass) {}

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  const CFilterClass& m_class;
};

// DllGetClassObject over a table of classes.
HRESULT GetFilterClassObject(const CFilterClass* classes, size_t count, REFCLSID clsid, REFIID iid, void** out);

// DllRegisterServer / DllUnregisterServer over a table of classes: the COM class under
// HKEY_CLASSES_ROOT\CLSID (in-process server module, threading model Both) and the filter
// mapper's entry in each class's category. Unregistering removes both and ignores what is
// already gone.
HRESULT RegisterFilterClasses(HMODULE module, const CFilterClass* classes, size_t count);
HRESULT UnregisterFilterClasses(const CFilterClass* classes, size_t count);

// "{xxxxxxxx-...}" for a class identifier.
std::wstring GuidString(REFGUID guid);
