// DllMain and DllCanUnloadNow of an in-process COM server built on the kit.
#include "filters/kit/ComServer.h"

#include <objbase.h>

#include "filters/kit/ComObject.h"

namespace {
HMODULE g_module = nullptr;
}

HMODULE ComServerModule() { return g_module; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() { return ModuleCanUnload() ? S_OK : S_FALSE; }
