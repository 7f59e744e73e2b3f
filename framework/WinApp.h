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
  // The executable's file name without folder and extension ("Sondrel").
  std::string m_exeName;

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

// The window that owns the application's message boxes: the main window's last active
// popup, which is a modal dialog open over the main window (the player, a file chooser) or
// else the main window itself; a box owned by it stays in front of what the user works in.
// Null without a main window.
HWND AfxGetMessageBoxOwner();

// The framework's application message box: caption the application's name, owner
// AfxGetMessageBoxOwner(), or the owner the caller took. Returns the pressed button.
int AfxMessageBox(const std::string& text, UINT type = MB_OK);
int AfxMessageBox(const std::string& text, UINT type, HWND owner);
