#include "app/SondrelApp.h"

#include <commctrl.h>
#include <objbase.h>

#include "app/BundledFilters.h"
#include "app/ModuleDirectory.h"
#include "app/SettingsStore.h"
#include "ui/main/SondrelDlg.h"

CSondrelApp::CSondrelApp() : m_recordingState(Idle) {}

CSondrelApp& TheApp() { return static_cast<CSondrelApp&>(*AfxGetApp()); }

std::string ConfigurationFilePath() { return GetModuleDirectory() + "\\Sondrel.cfg"; }

void SaveSettings() { Settings().Save(ConfigurationFilePath().c_str()); }

BOOL CSondrelApp::InitInstance() {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  CWinApp::InitInstance();
  AfxEnableControlContainer();
  // Tells other programs that Sondrel runs; held until the process ends, never waited on.
  ::CreateMutexA(nullptr, FALSE, "VelmoraSondrelMutex");
  ::CoInitialize(nullptr);
  m_bundledFilters.emplace(BundledFiltersPath(), BundledFilterClasses());
  SetRegistryKey("Velmora");
  Settings().Load(ConfigurationFilePath().c_str());
  {
    CSondrelDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
  }
  return FALSE;
}

int CSondrelApp::ExitInstance() {
  SaveSettings();
  m_bundledFilters.reset();
  ::CoUninitialize();
  return CWinApp::ExitInstance();
}
