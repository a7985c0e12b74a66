#pragma once
/// \file
/// The application object and the load sequence of a library module: CWinApp, CWaitCursor,
/// CModuleLoad, and the AfxGetApp, AfxSocketInit and AfxMessageBox functions.

#include <plinth/afx/Module.h>
#include <plinth/afx/Object.h>
#include <plinth/win32.h>

/// The application object of a module (the library, a host program).
///
/// Application objects stack up as modules load and may go in any order: the newest one still
/// alive is the application AfxGetApp answers. A library module's CModuleLoad calls its
/// InitInstance and ExitInstance.
class PLINTH_API CWinApp : public CObject {
 public:
  /// Becomes the application (AfxGetApp) until destroyed or until a newer one is made.
  /// appName, which may be null, is kept as a pointer, not copied.
  explicit CWinApp(LPCTSTR appName = nullptr);
  /// Leaves the stack of applications, wherever it stands in it.
  ~CWinApp() override;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  /// Sets the module up when it loads. TRUE accepts the load (the default does nothing else);
  /// FALSE refuses it (see CModuleLoad).
  virtual BOOL InitInstance();
  /// Tears the module down when it unloads, or after InitInstance refused the load. The
  /// default does nothing and returns 0; CModuleLoad does not use the result.
  virtual int ExitInstance();

  ///@{
  /// The wait cursor: shown by the first BeginWaitCursor, the cursor before it back at the
  /// EndWaitCursor that matches it; nested pairs only count. RestoreWaitCursor shows it again
  /// after something else changed the cursor. An EndWaitCursor without a Begin does no harm.
  ///
  /// Outside every pair, EndWaitCursor and RestoreWaitCursor leave the count at 0 and set
  /// again the cursor kept at the last first BeginWaitCursor (null before any).
  void BeginWaitCursor();
  void EndWaitCursor();
  void RestoreWaitCursor();
  ///@}
  /// 1 begins, -1 ends, 0 restores.
  ///
  /// code is added to m_nWaitCursorCount: above 0 the wait cursor is shown (on the step from 0
  /// to 1 the cursor it replaces is kept); otherwise the count goes back to 0 and the kept
  /// cursor is set.
  virtual void DoWaitCursor(int code);

  /// The application's name as given to the constructor, or null; AfxMessageBox's caption.
  LPCTSTR m_pszAppName;

 protected:
  /// How many BeginWaitCursor calls are not yet ended; never below 0.
  int m_nWaitCursorCount;
  /// The cursor to set back when the count returns to 0.
  HCURSOR m_hcurWaitCursorRestore;

 private:
  CWinApp* m_pPreviousApp;  // the application constructed before this one, still alive
};

/// The most recently constructed application object still alive, or null.
PLINTH_API CWinApp* AfxGetApp() noexcept;

/// Shows the application's wait cursor for its lifetime; does nothing without an application.
///
/// Each member asks AfxGetApp at the time of the call, so an application that goes away while
/// the cursor is shown is never called afterwards.
class PLINTH_API CWaitCursor {
 public:
  /// The application's BeginWaitCursor.
  CWaitCursor();
  /// The application's EndWaitCursor.
  ~CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
  /// The application's RestoreWaitCursor: shows the wait cursor again after something else
  /// changed the cursor.
  void Restore();
};

/// Starts Windows Sockets (version 1.1) for the current module, once: later calls return TRUE
/// and leave data alone. The first call fills data when given. A library module's detach
/// cleans its sockets up (those started outside every module last as long as the process).
/// TRUE on success. On POSIX the sockets need no start-up, so it cannot fail there
/// (tests can force a failure, see platform/Sockets.h).
///
/// \return TRUE when the sockets are started; FALSE when the start-up fails (WSAStartup's
/// error code is not kept, and a later call tries again).
PLINTH_API BOOL AfxSocketInit(WSADATA* data = nullptr);

/// Shows a message box with the text (null: empty), captioned with the application's name.
///
/// type takes the MB_… flags; helpId is ignored. Without an application or its name the system
/// chooses the caption. On POSIX the box is one line on the standard error stream
/// ("caption: text", caption "Error" by default) and the answer is IDOK.
/// \return The button chosen (IDOK, IDCANCEL, …); 0 when the box cannot be shown.
PLINTH_API int AfxMessageBox(LPCTSTR text, UINT type = MB_OK, UINT helpId = 0);
/// As AfxMessageBox(LPCTSTR, UINT, UINT) with string resource promptId as found by
/// AfxFindStringResource (the current module's, then the chain's); an id without a string shows
/// empty text.
PLINTH_API int AfxMessageBox(UINT promptId, UINT type = MB_OK, UINT helpId = (UINT)-1);

/// Runs a library module's load sequence. Define one, as the last static object of the module,
/// after every other static object: its constructor runs when the module attaches (the static
/// objects before it already built), makes the module current, calls the application's
/// InitInstance and, when that succeeds, puts the module's resources on the chain. When it
/// fails, ExitInstance runs and the load is refused: a POSIX shared object cannot decline to
/// load once its constructors run, so there the process ends with exit status 1, as a Windows
/// process does when a DLL it was linked with fails to initialise; a Windows entry point asks
/// Attached() and answers FALSE. Its destructor, at detach, runs ExitInstance and leaves the
/// chain before the earlier static objects are destroyed.
class PLINTH_API CModuleLoad {
 public:
  /// Attaches module with app as described above. module and app must outlive this object.
  /// Sockets that app's InitInstance started for the module are cleaned up when the load is
  /// refused; on POSIX the constructor then does not return.
  CModuleLoad(CAfxModule& module, CWinApp& app);
  /// After an accepted load: ExitInstance with the module current, the module's sockets
  /// cleaned up, and the module off the chain. Nothing after a refused one.
  ~CModuleLoad();
  CModuleLoad(const CModuleLoad&) = delete;
  CModuleLoad& operator=(const CModuleLoad&) = delete;

  /// Whether InitInstance accepted the load.
  bool Attached() const noexcept { return m_attached; }

 private:
  void CleanUpSockets();

  CAfxModule& m_module;
  CWinApp& m_app;
  bool m_attached;
};
