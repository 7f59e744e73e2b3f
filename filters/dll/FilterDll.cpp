// Entry points of SondrelFilters.dll, an in-process COM server for Sondrel's filters.
#include <windows.h>

#include "filters/dll/FilterClasses.h"
#include "filters/kit/ComObject.h"

namespace {
HMODULE g_module = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return GetFilterClassObject(kFilterClasses, kFilterClassCount, clsid, iid, out);
}

STDAPI DllCanUnloadNow() { return ModuleCanUnload() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return RegisterFilterClasses(g_module, kFilterClasses, kFilterClassCount); }

STDAPI DllUnregisterServer() { return UnregisterFilterClasses(kFilterClasses, kFilterClassCount); }
