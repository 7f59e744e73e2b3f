// Start-up's registration of SondrelFilters.dll for the process.
#include <gtest/gtest.h>

#include <objbase.h>

#include "app/BundledFilters.h"
#include "filters/kit/ClassFactory.h"
#include "filters/kit/ComPtr.h"
#include "filters/wavdest/WaveDest.h"

namespace {

// Not a class of the DLL; registered system-wide by the test to stand for an installation.
const CLSID kInstalledClass = {0x7e2b9c41, 0x5d3a, 0x4f10, {0x9b, 0x6e, 0x21, 0x43, 0x65, 0x87, 0xa9, 0xcb}};

HRESULT CreateWaveDestInstance() {
  CComPtr<IUnknown> filter;
  return ::CoCreateInstance(CLSID_WaveDest, nullptr, CLSCTX_ALL, IID_IUnknown, filter.PutVoid());
}

TEST(BundledFilters, RegisterMissingClassesForTheProcessUntilDestroyed) {
  ASSERT_GE(::CoInitialize(nullptr), 0);
  const std::wstring key = L"CLSID\\" + GuidString(kInstalledClass) + L"\\InprocServer32";
  HKEY created = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &created, nullptr),
            ERROR_SUCCESS);
  ::RegCloseKey(created);
  ASSERT_FALSE(CBundledFilters::IsRegisteredWithSystem(CLSID_WaveDest)) << "the prefix has Wave Dest installed";
  EXPECT_TRUE(CBundledFilters::IsRegisteredWithSystem(kInstalledClass));

  EXPECT_EQ(CreateWaveDestInstance(), REGDB_E_CLASSNOTREG);
  {
    CBundledFilters filters(BundledFiltersPath(), {CLSID_WaveDest, kInstalledClass});
    // The installed class keeps its registration; only Wave Dest is added.
    EXPECT_EQ(filters.RegisteredCount(), 1u);
    EXPECT_EQ(CreateWaveDestInstance(), S_OK);
  }
  EXPECT_EQ(CreateWaveDestInstance(), REGDB_E_CLASSNOTREG);
  {
    CBundledFilters missing("Z:\\nonexistent\\SondrelFilters.dll", {CLSID_WaveDest});
    EXPECT_EQ(missing.RegisteredCount(), 0u);
  }
  ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidString(kInstalledClass)).c_str());
  ::CoUninitialize();
}

}  // namespace
