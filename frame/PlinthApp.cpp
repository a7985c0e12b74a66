#include "frame/PlinthApp.h"

#include "frame/Resource.h"

CPlinthApp::CPlinthApp() : CWinApp(nullptr) {}

CPlinthApp::~CPlinthApp() = default;

BOOL CPlinthApp::InitInstance() {
  if (!AfxSocketInit(nullptr)) {
    AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK, static_cast<UINT>(-1));
    return FALSE;
  }
  // The library defines no COM class factories, so there are none to register here.
  return TRUE;
}
