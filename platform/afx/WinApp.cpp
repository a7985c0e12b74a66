#include <plinth/afx/WinApp.h>

#include "platform/LoadRefusal.h"
#include "platform/Sockets.h"
#include "platform/afx/ModuleAccess.h"

#include <atomic>
#include <mutex>

namespace {

// Application objects stack up as modules load (the library's, a host's, a plug-in's) and may
// go in any order; the newest still alive is the application.
std::mutex g_appLock;
std::atomic<CWinApp*> g_app{nullptr};

// Sockets are started once per module (or once for code outside every module) and cleaned up
// when that module detaches, so that each start-up is matched by one clean-up.
std::mutex g_socketsLock;
bool g_socketsStartedOutsideModules = false;

}  // namespace

CWinApp::CWinApp(LPCTSTR appName)
    : m_pszAppName(appName), m_nWaitCursorCount(0), m_hcurWaitCursorRestore(nullptr) {
  std::lock_guard<std::mutex> lock(g_appLock);
  m_pPreviousApp = g_app.load();
  g_app.store(this);
}

CWinApp::~CWinApp() {
  std::lock_guard<std::mutex> lock(g_appLock);
  if (g_app.load() == this) {
    g_app.store(m_pPreviousApp);
    return;
  }
  for (CWinApp* app = g_app.load(); app; app = app->m_pPreviousApp) {
    if (app->m_pPreviousApp == this) {
      app->m_pPreviousApp = m_pPreviousApp;
      return;
    }
  }
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

void CWinApp::BeginWaitCursor() { DoWaitCursor(1); }

void CWinApp::EndWaitCursor() { DoWaitCursor(-1); }

void CWinApp::RestoreWaitCursor() { DoWaitCursor(0); }

void CWinApp::DoWaitCursor(int code) {
  m_nWaitCursorCount += code;
  if (m_nWaitCursorCount > 0) {
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    if (code > 0 && m_nWaitCursorCount == 1) m_hcurWaitCursorRestore = previous;
  } else {
    m_nWaitCursorCount = 0;
    SetCursor(m_hcurWaitCursorRestore);
  }
}

CWinApp* AfxGetApp() noexcept { return g_app.load(); }

// The application is asked for each time rather than kept: one that goes away while the
// cursor is shown must not be called afterwards.
CWaitCursor::CWaitCursor() {
  if (CWinApp* app = AfxGetApp()) app->BeginWaitCursor();
}

CWaitCursor::~CWaitCursor() {
  if (CWinApp* app = AfxGetApp()) app->EndWaitCursor();
}

void CWaitCursor::Restore() {
  if (CWinApp* app = AfxGetApp()) app->RestoreWaitCursor();
}

BOOL AfxSocketInit(WSADATA* data) {
  CAfxModule* module = AfxGetCurrentModule();
  std::lock_guard<std::mutex> lock(g_socketsLock);
  bool& started =
      module ? CAfxModuleAccess::SocketsStarted(*module) : g_socketsStartedOutsideModules;
  if (started) return TRUE;
  WSADATA local{};
  if (plinth::platform::StartSockets(MAKEWORD(1, 1), data ? data : &local) != 0) return FALSE;
  started = true;
  return TRUE;
}

int AfxMessageBox(LPCTSTR text, UINT type, UINT /*helpId*/) {
  CWinApp* app = AfxGetApp();
  LPCTSTR caption = app && app->m_pszAppName ? app->m_pszAppName : nullptr;
  return MessageBoxA(nullptr, text ? text : "", caption, type);
}

int AfxMessageBox(UINT promptId, UINT type, UINT helpId) {
  return AfxMessageBox(AfxFindStringResource(promptId), type, helpId);
}

CModuleLoad::CModuleLoad(CAfxModule& module, CWinApp& app)
    : m_module(module), m_app(app), m_attached(false) {
  {
    AFX_MANAGE_STATE(&m_module);
    m_attached = m_app.InitInstance() != FALSE;
    if (!m_attached) m_app.ExitInstance();
  }
  if (!m_attached) {
    CleanUpSockets();
    plinth::platform::RefuseModuleLoad();
    return;
  }
  m_module.JoinResourceChain();
}

CModuleLoad::~CModuleLoad() {
  if (!m_attached) return;
  {
    AFX_MANAGE_STATE(&m_module);
    m_app.ExitInstance();
  }
  CleanUpSockets();
  m_module.LeaveResourceChain();
}

void CModuleLoad::CleanUpSockets() {
  std::lock_guard<std::mutex> lock(g_socketsLock);
  if (!m_module.m_socketsStarted) return;
  m_module.m_socketsStarted = false;
  WSACleanup();
}
