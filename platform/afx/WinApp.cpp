#include <plinth/afx/WinApp.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<CWinApp*> g_app{nullptr};
// Sockets started by AfxSocketInit are cleaned up once, when the module that started them
// detaches.
std::atomic<bool> g_socketsStarted{false};

void AfxSocketTerm() {
  if (g_socketsStarted.exchange(false)) WSACleanup();
}

}  // namespace

CWinApp::CWinApp(LPCTSTR appName) : m_pszAppName(appName) { g_app.store(this); }

CWinApp::~CWinApp() {
  CWinApp* self = this;
  g_app.compare_exchange_strong(self, nullptr);
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

CWinApp* AfxGetApp() noexcept { return g_app.load(); }

BOOL AfxSocketInit(WSADATA* data) {
  WSADATA local{};
  if (WSAStartup(MAKEWORD(1, 1), data ? data : &local) != 0) return FALSE;
  g_socketsStarted.store(true);
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
    AfxSocketTerm();
    std::fflush(nullptr);
    std::_Exit(1);
  }
  m_module.JoinResourceChain();
}

CModuleLoad::~CModuleLoad() {
  if (!m_attached) return;
  {
    AFX_MANAGE_STATE(&m_module);
    m_app.ExitInstance();
  }
  AfxSocketTerm();
  m_module.LeaveResourceChain();
}
