#pragma once
/// \file
/// Module state and string resources. Every module (the library, a host program) owns a
/// CAfxModule with its string table. LoadString looks first in the module made current on this
/// thread (AFX_MANAGE_STATE), then along the chain of modules that joined it, newest first, as
/// resources of a DLL are found from host code once it has loaded.

#include <plinth/Export.h>
#include <plinth/win32.h>

/// One entry of a module's string table.
struct AFX_STRING_RESOURCE {
  UINT id;           ///< The string's resource id.
  const char* text;  ///< Its text, NUL-terminated, in the process's code page.
};

class CAfxModule;

/// The text of string resource id: the current module's, then the chain's. Null when none.
PLINTH_API const char* AfxFindStringResource(UINT id) noexcept;

/// The module made current on this thread, or null outside every AFX_MANAGE_STATE scope.
PLINTH_API CAfxModule* AfxGetCurrentModule() noexcept;

/// The state of one module (the library, a host program): its string table, its place on the
/// resource chain, and whether it started the sockets.
class PLINTH_API CAfxModule {
 public:
  /// The table must outlive the module; ids need not be sorted.
  ///
  /// count entries of strings; a null table, or a count of 0 or less, gives a module without
  /// strings. The module is not on the chain until JoinResourceChain.
  CAfxModule(const AFX_STRING_RESOURCE* strings, int count) noexcept;
  /// Takes the module off the resource chain.
  ~CAfxModule();
  CAfxModule(const CAfxModule&) = delete;
  CAfxModule& operator=(const CAfxModule&) = delete;

  /// The text of string id in this module, or null. Of several entries with the same id, the
  /// first in the table counts.
  const char* FindString(UINT id) const noexcept;

  ///@{
  /// Puts the module on the resource chain (idempotent), or takes it off.
  ///
  /// A module joins at the front, so the newest is searched first; taking off a module that
  /// is not on the chain does nothing. Both are safe from any thread.
  void JoinResourceChain() noexcept;
  void LeaveResourceChain() noexcept;
  ///@}

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

/// Makes a module current on this thread for the guard's lifetime (scopes nest).
class PLINTH_API AFX_MAINTAIN_STATE {
 public:
  /// Makes module current (null: no module) on this thread.
  explicit AFX_MAINTAIN_STATE(CAfxModule* module) noexcept;
  /// Makes current again the module that was current before; guards must end in the reverse
  /// order of their start, as nested scopes do.
  ~AFX_MAINTAIN_STATE();
  AFX_MAINTAIN_STATE(const AFX_MAINTAIN_STATE&) = delete;
  AFX_MAINTAIN_STATE& operator=(const AFX_MAINTAIN_STATE&) = delete;

 private:
  CAfxModule* m_previous;
};

/// Makes module current on this thread until the end of the enclosing scope (one per scope).
#define AFX_MANAGE_STATE(module) AFX_MAINTAIN_STATE afxManageState_(module)
