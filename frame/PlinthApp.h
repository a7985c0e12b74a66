#pragma once
// The library's application object and module state. Not exported: hosts have their own.

#include <plinth/afx/Module.h>
#include <plinth/afx/WinApp.h>

class CPlinthApp : public CWinApp {
 public:
  CPlinthApp();
  ~CPlinthApp() override;

  // Starts the sockets; when they cannot start, shows string IDS_SOCKETS_INIT_FAILED and
  // refuses the load. On POSIX the sockets start-up cannot fail.
  BOOL InitInstance() override;
};

// The library's own module: its string table, made current when the library loads its own
// resources.
CAfxModule& PlinthModule();
