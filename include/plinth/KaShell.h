#pragma once
// Services of the system shell: a collection of static members.
//
// RebootSystem(flags) takes the ExitWindowsEx flags: EWX_LOGOFF 0, EWX_SHUTDOWN 1, EWX_REBOOT
// 2, EWX_FORCE 4, EWX_POWEROFF 8. On the NT family it first switches SeShutdownPrivilege on.
// On the 5.1 release a request with any of shutdown, reboot or power-off set restarts the
// machine at once and forced (InitiateSystemShutdownExA, reason 0x40001), whatever it asked
// for; every other request goes to ExitWindowsEx unchanged:
//
//   CKaShell::RebootSystem(EWX_REBOOT | EWX_FORCE);
//
// It returns once the request is made and reports nothing; a refused request leaves the
// machine running.

#include <plinth/Export.h>

class PLINTH_API CKaShell {
 public:
  CKaShell() {}
  CKaShell& operator=(const CKaShell&) { return *this; }
  virtual ~CKaShell();

  static void RebootSystem(unsigned int flags);
};
