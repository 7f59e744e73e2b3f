#pragma once
#include <optional>

#include "app/BundledFilters.h"
#include "app/RecordingState.h"
#include "framework/WinApp.h"

class CSondrelApp : public CWinApp {
 public:
  CSondrelApp();

  BOOL InitInstance() override;
  int ExitInstance() override;

  // Shared by the main dialog, the tray icon and the schedules; changed only by the
  // recording commands.
  int m_recordingState;

 private:
  // The program's own filters, registered for this process while COM is initialised.
  std::optional<CBundledFilters> m_bundledFilters;
};

// The application object, through the framework's current-application pointer.
CSondrelApp& TheApp();

// "Sondrel.cfg" beside the executable.
std::string ConfigurationFilePath();
// Writes the settings to that file.
void SaveSettings();
