#pragma once
// CWinApp: the application object. One instance per program, constructed by static
// initialisation; AfxWinMain runs InitInstance and then ExitInstance, whose result is the
// process exit code.

#include <string>

#include "CmdTarget.h"

class CWnd;

// The framework's Help command; F1 in a dialog sends it.
constexpr UINT ID_HELP = 0xE146;

class CWinApp : public CCmdTarget {
 public:
  // No name: the application is named after the executable file's base name.
  explicit CWinApp(const char* appName = nullptr);
  ~CWinApp() override;

  // True runs a message loop until WM_QUIT; false goes straight to ExitInstance.
  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return m_exitCode; }
  // The Help command's handler: opens the help page with the shell.
  virtual void OnHelp();

  // Names the registry key under HKEY_CURRENT_USER\Software where the application's
  // profile would live.
  void SetRegistryKey(const char* companyName) { m_registryKey = companyName ? companyName : ""; }
  const std::string& GetRegistryKey() const { return m_registryKey; }
  const std::string& GetAppName() const { return m_appName; }
  // "Help\index.html" in the executable's folder.
  const std::string& GetHelpFilePath() const { return m_helpFilePath; }

  const MessageMap* GetMessageMap() const override;

  CWnd* m_pMainWnd = nullptr;
  HINSTANCE m_hInstance = nullptr;

 private:
  friend int AfxWinMain(HINSTANCE instance);
  int Run();

  std::string m_appName;
  std::string m_helpFilePath;
  std::string m_registryKey;
  int m_exitCode = 0;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();

// ActiveX control containment. Sondrel's dialogs hold only standard and common controls,
// which need no container; the call stays where start-up makes it and records the request.
void AfxEnableControlContainer();
bool AfxControlContainerEnabled();

// The program's WinMain calls this.
int AfxWinMain(HINSTANCE instance);

// The framework's application message box: caption the application's name, owner the
// main window when it is enabled. Returns the pressed button.
int AfxMessageBox(const std::string& text, UINT type = MB_OK);
