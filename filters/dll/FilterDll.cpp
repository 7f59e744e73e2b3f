// Entry points of SondrelFilters.dll, an in-process COM server for Sondrel's filters.
#include <windows.h>

#include "filters/dll/FilterClasses.h"
#include "filters/kit/ComServer.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return GetFilterClassObject(kFilterClasses, kFilterClassCount, clsid, iid, out);
}

STDAPI DllRegisterServer() { return RegisterFilterClasses(ComServerModule(), kFilterClasses, kFilterClassCount); }

STDAPI DllUnregisterServer() { return UnregisterFilterClasses(kFilterClasses, kFilterClassCount); }
