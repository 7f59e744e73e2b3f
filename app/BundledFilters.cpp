#include "app/BundledFilters.h"

#include <objbase.h>

#include "app/ModuleDirectory.h"
#include "filters/FilterClassIds.h"
#include "filters/kit/ComPtr.h"

namespace {

using GetClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

}  // namespace

std::string BundledFiltersPath() { return GetModuleDirectory() + "\\SondrelFilters.dll"; }

std::vector<CLSID> BundledFilterClasses() { return {CLSID_LameMp3Encoder, CLSID_WaveDest, CLSID_WaveInCapture}; }

bool CBundledFilters::IsRegisteredWithSystem(const CLSID& clsid) {
  wchar_t guid[40] = {};
  ::StringFromGUID2(clsid, guid, 40);
  std::wstring path = std::wstring(L"CLSID\\") + guid + L"\\InprocServer32";
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

CBundledFilters::CBundledFilters(const std::string& dllPath, const std::vector<CLSID>& classes) {
  std::vector<CLSID> missing;
  for (const CLSID& clsid : classes) {
    if (!IsRegisteredWithSystem(clsid)) missing.push_back(clsid);
  }
  if (missing.empty()) return;
  m_module = ::LoadLibraryA(dllPath.c_str());
  if (!m_module) return;
  auto getClassObject =
      reinterpret_cast<GetClassObjectFunction>(reinterpret_cast<void*>(::GetProcAddress(m_module, "DllGetClassObject")));
  for (const CLSID& clsid : missing) {
    CComPtr<IClassFactory> factory;
    if (!getClassObject || FAILED(getClassObject(clsid, IID_IClassFactory, factory.PutVoid()))) continue;
    // COM holds a reference of its own while the class is registered.
    DWORD cookie = 0;
    if (SUCCEEDED(::CoRegisterClassObject(clsid, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie))) {
      m_cookies.push_back(cookie);
    }
  }
}

CBundledFilters::~CBundledFilters() {
  for (DWORD cookie : m_cookies) ::CoRevokeClassObject(cookie);
  if (!m_module) return;
  // Filters may outlive the revocation (a graph not yet released): the module then stays.
  auto canUnload =
      reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(::GetProcAddress(m_module, "DllCanUnloadNow")));
  if (canUnload && canUnload() == S_OK) ::FreeLibrary(m_module);
}
