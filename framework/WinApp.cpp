#include "WinApp.h"

#include <shellapi.h>

#include "Wnd.h"

namespace {
CWinApp* g_currentApp = nullptr;
bool g_controlContainerEnabled = false;

std::string ExecutablePath() {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH - 1);
  return path;
}

std::string ExecutableBaseName() {
  std::string name = ExecutablePath();
  name.erase(0, name.rfind('\\') + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

std::string HelpPagePath() {
  std::string path = ExecutablePath();
  path.erase(path.rfind('\\') + 1);
  return path + "Help\\index.html";
}
}  // namespace

CWinApp::CWinApp(const char* appName)
    : m_exeName(ExecutableBaseName()), m_appName(appName ? appName : m_exeName), m_helpFilePath(HelpPagePath()) {
  g_currentApp = this;
}

void CWinApp::OnHelp() {
  CWnd* main = AfxGetMainWnd();
  ::ShellExecuteA(main ? main->m_hWnd : nullptr, nullptr, m_helpFilePath.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

CWinApp::~CWinApp() {
  if (g_currentApp == this) g_currentApp = nullptr;
}

const MessageMap* CWinApp::GetMessageMap() const {
  static constexpr MessageEntry entries[] = {OnCommandFrom<&CWinApp::OnHelp>(ID_HELP, 0)};
  static constexpr MessageMap map{&CCmdTarget::ThisMessageMap, entries};
  return &map;
}

int CWinApp::Run() {
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  m_exitCode = static_cast<int>(msg.wParam);
  return ExitInstance();
}

CWinApp* AfxGetApp() { return g_currentApp; }
CWnd* AfxGetMainWnd() { return g_currentApp ? g_currentApp->m_pMainWnd : nullptr; }
HINSTANCE AfxGetInstanceHandle() {
  return g_currentApp && g_currentApp->m_hInstance ? g_currentApp->m_hInstance : ::GetModuleHandleA(nullptr);
}

void AfxEnableControlContainer() { g_controlContainerEnabled = true; }
bool AfxControlContainerEnabled() { return g_controlContainerEnabled; }

int AfxWinMain(HINSTANCE instance) {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return -1;
  app->m_hInstance = instance;
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}

HWND AfxGetMessageBoxOwner() {
  CWnd* main = AfxGetMainWnd();
  HWND window = main != nullptr && ::IsWindow(main->m_hWnd) ? main->m_hWnd : nullptr;
  while (window != nullptr && (::GetWindowLongA(window, GWL_STYLE) & WS_CHILD)) window = ::GetParent(window);
  return window != nullptr ? ::GetLastActivePopup(window) : nullptr;
}

int AfxMessageBox(const std::string& text, UINT type) { return AfxMessageBox(text, type, AfxGetMessageBoxOwner()); }

int AfxMessageBox(const std::string& text, UINT type, HWND owner) {
  const std::string caption = AfxGetApp() ? AfxGetApp()->GetAppName() : std::string();
  return ::MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}
