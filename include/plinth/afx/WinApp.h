#pragma once
// The application object and the load sequence of a library module.

#include <plinth/afx/Module.h>
#include <plinth/afx/Object.h>
#include <plinth/win32.h>

class PLINTH_API CWinApp : public CObject {
 public:
  explicit CWinApp(LPCTSTR appName = nullptr);
  ~CWinApp() override;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance();
  virtual int ExitInstance();

  // The wait cursor: shown by the first BeginWaitCursor, the cursor before it back at the
  // EndWaitCursor that matches it; nested pairs only count. RestoreWaitCursor shows it again
  // after something else changed the cursor. An EndWaitCursor without a Begin does no harm.
  void BeginWaitCursor();
  void EndWaitCursor();
  void RestoreWaitCursor();
  // 1 begins, -1 ends, 0 restores.
  virtual void DoWaitCursor(int code);

  LPCTSTR m_pszAppName;

 protected:
  int m_nWaitCursorCount;
  HCURSOR m_hcurWaitCursorRestore;

 private:
  CWinApp* m_pPreviousApp;  // the application constructed before this one, still alive
};

// The most recently constructed application object still alive, or null.
PLINTH_API CWinApp* AfxGetApp() noexcept;

// Shows the application's wait cursor for its lifetime; does nothing without an application.
class PLINTH_API CWaitCursor {
 public:
  CWaitCursor();
  ~CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
  void Restore();
};

// Starts Windows Sockets (version 1.1) for the current module, once: later calls return TRUE
// and leave data alone. The first call fills data when given. A library module's detach
// cleans its sockets up (those started outside every module last as long as the process).
// TRUE on success. On POSIX the sockets need no start-up, so it cannot fail there
// (tests can force a failure, see platform/Sockets.h).
PLINTH_API BOOL AfxSocketInit(WSADATA* data = nullptr);

// Shows a message box with the text, or with string resource id of the current module.
PLINTH_API int AfxMessageBox(LPCTSTR text, UINT type = MB_OK, UINT helpId = 0);
PLINTH_API int AfxMessageBox(UINT promptId, UINT type = MB_OK, UINT helpId = (UINT)-1);

// Runs a library module's load sequence. Define one, as the last static object of the module,
// after every other static object: its constructor runs when the module attaches (the static
// objects before it already built), makes the module current, calls the application's
// InitInstance and, when that succeeds, puts the module's resources on the chain. When it
// fails, ExitInstance runs and the load is refused: a POSIX shared object cannot decline to
// load once its constructors run, so there the process ends with exit status 1, as a Windows
// process does when a DLL it was linked with fails to initialise; a Windows entry point asks
// Attached() and answers FALSE. Its destructor, at detach, runs ExitInstance and leaves the
// chain before the earlier static objects are destroyed.
class PLINTH_API CModuleLoad {
 public:
  CModuleLoad(CAfxModule& module, CWinApp& app);
  ~CModuleLoad();
  CModuleLoad(const CModuleLoad&) = delete;
  CModuleLoad& operator=(const CModuleLoad&) = delete;

  // Whether InitInstance accepted the load.
  bool Attached() const noexcept { return m_attached; }

 private:
  void CleanUpSockets();

  CAfxModule& m_module;
  CWinApp& m_app;
  bool m_attached;
};
