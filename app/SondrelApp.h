#pragma once
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
};

// The application object, through the framework's current-application pointer.
CSondrelApp& TheApp();

// "Sondrel.cfg" beside the executable.
std::string ConfigurationFilePath();
