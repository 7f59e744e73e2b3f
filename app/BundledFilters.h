#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Makes the filters shipped in SondrelFilters.dll beside the program usable without an
// installation step: for each of its classes that the system has no registration for, the
// DLL's class factory is registered for this process (CoRegisterClassObject). A class that
// is registered system-wide keeps that registration. Failures are ignored: the recording
// graph then reports the missing filter as it would without this.
// Construct after COM is initialised; destroy before COM is uninitialised.
class CBundledFilters {
 public:
  // dllPath: the filter DLL; classes: the classes to make available.
  CBundledFilters(const std::string& dllPath, const std::vector<CLSID>& classes);
  ~CBundledFilters();
  CBundledFilters(const CBundledFilters&) = delete;
  CBundledFilters& operator=(const CBundledFilters&) = delete;

  // How many classes were registered for this process.
  size_t RegisteredCount() const { return m_cookies.size(); }

  // True when HKEY_CLASSES_ROOT names an in-process server for the class.
  static bool IsRegisteredWithSystem(const CLSID& clsid);

 private:
  HMODULE m_module = nullptr;
  std::vector<DWORD> m_cookies;
};

// SondrelFilters.dll beside the executable, with the encoder ("Lame MP3"), the WAV writer
// ("Wave Dest") and the waveIn capture source ("Sondrel Audio Capture") classes.
std::string BundledFiltersPath();
std::vector<CLSID> BundledFilterClasses();
