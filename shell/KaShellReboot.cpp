// Restart, shutdown and logoff. The 5.1 release does not honour a forced restart through
// ExitWindowsEx from every session, so there the request goes through the remote-shutdown
// entry, looked up at run time because the earlier releases lack it.
#include <plinth/KaOSVersionInfo.h>
#include <plinth/KaSecurity.h>
#include <plinth/KaShell.h>
#include <plinth/win32.h>

namespace {

typedef BOOL(WINAPI* InitiateSystemShutdownExFunction)(LPSTR machine, LPSTR message, DWORD timeout,
                                                       BOOL forceAppsClosed,
                                                       BOOL rebootAfterShutdown, DWORD reason);

// Shutdown, reboot or power-off: the requests that stop or restart the machine.
const unsigned int kMachineRequests = EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF;
// The major reason "application" (0x40000) with the minor reason "maintenance" (1), unplanned.
const DWORD kApplicationMaintenance = 0x00040001;

}  // namespace

CKaShell::~CKaShell() {}

void CKaShell::RebootSystem(unsigned int flags) {
  if (CKaOSVersionInfo::IsOSNT())
    CKaSecurity::SetPrivilegeInAccessToken(true, "SeShutdownPrivilege");
  if (CKaOSVersionInfo::IsOSXP() && (flags & kMachineRequests)) {
    if (HMODULE advapi = LoadLibraryA("ADVAPI32.DLL")) {
      auto initiate = reinterpret_cast<InitiateSystemShutdownExFunction>(
          reinterpret_cast<void (*)(void)>(GetProcAddress(advapi, "InitiateSystemShutdownExA")));
      if (initiate) {
        initiate(nullptr, nullptr, 0, TRUE, TRUE, kApplicationMaintenance);
        FreeLibrary(advapi);
        return;
      }
      FreeLibrary(advapi);
    }
  }
  ExitWindowsEx(flags, 0);
}
