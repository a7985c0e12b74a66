#pragma once
// Module state and string resources. Every module (the library, a host program) owns a
// CAfxModule with its string table. LoadString looks first in the module made current on this
// thread (AFX_MANAGE_STATE), then along the chain of modules that joined it, newest first, as
// resources of a DLL are found from host code once it has loaded.

#include <plinth/Export.h>
#include <plinth/win32.h>

struct AFX_STRING_RESOURCE {
  UINT id;
  const char* text;
};

class CAfxModule;

// The text of string resource id: the current module's, then the chain's. Null when none.
PLINTH_API const char* AfxFindStringResource(UINT id) noexcept;

// The module made current on this thread, or null outside every AFX_MANAGE_STATE scope.
PLINTH_API CAfxModule* AfxGetCurrentModule() noexcept;

class PLINTH_API CAfxModule {
 public:
  // The table must outlive the module; ids need not be sorted.
  CAfxModule(const AFX_STRING_RESOURCE* strings, int count) noexcept;
  ~CAfxModule();
  CAfxModule(const CAfxModule&) = delete;
  CAfxModule& operator=(const CAfxModule&) = delete;

  // The text of string id in this module, or null.
  const char* FindString(UINT id) const noexcept;

  // Puts the module on the resource chain (idempotent), or takes it off.
  void JoinResourceChain() noexcept;
  void LeaveResourceChain() noexcept;

 private:
  // The framework's own functions reach the bookkeeping below through this internal class
  // (friend functions would clash with their dllimport declarations on Windows).
  friend class CAfxModuleAccess;
  friend class CModuleLoad;

  const AFX_STRING_RESOURCE* m_strings;
  int m_count;
  CAfxModule* m_next;  // the chain, guarded by the framework
  bool m_joined;
  // Set when AfxSocketInit started the sockets for this module; its detach cleans them up.
  bool m_socketsStarted;
};

// Makes a module current on this thread for the guard's lifetime (scopes nest).
class PLINTH_API AFX_MAINTAIN_STATE {
 public:
  explicit AFX_MAINTAIN_STATE(CAfxModule* module) noexcept;
  ~AFX_MAINTAIN_STATE();
  AFX_MAINTAIN_STATE(const AFX_MAINTAIN_STATE&) = delete;
  AFX_MAINTAIN_STATE& operator=(const AFX_MAINTAIN_STATE&) = delete;

 private:
  CAfxModule* m_previous;
};

#define AFX_MANAGE_STATE(module) AFX_MAINTAIN_STATE afxManageState_(module)
