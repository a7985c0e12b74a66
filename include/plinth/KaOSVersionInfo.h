#pragma once
/// \file
/// CKaOSVersionInfo: the running operating system's version, read once when the library loads.

#include <plinth/Export.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

/// The running operating system's version, read once when the library loads. Every query reads
/// that one record; the release predicates test exact equality (IsOSXP is 5.1 only, never "5.1
/// or later"). A failed read leaves every field but the size zero, which reads as Win32s.
///
/// On Linux the record describes the kernel release as an NT-family system (see
/// <plinth/win32/Version.h>): kernel 6.1.0-18-amd64 gives GetMajorVersion() 6,
/// GetMinorVersion() 1, GetBuildNumber() 0, GetCSDVersion() "6.1.0-18-amd64", IsOSNT() true.
///
/// Every member reads the record without locking; it never changes after the load, so any
/// thread may call them. On Windows the version is what GetVersionExA reports to the process.
class PLINTH_API CKaOSVersionInfo {
 public:
  /// The whole record, as read at load (its size field holds sizeof(OSVERSIONINFOA)).
  static const OSVERSIONINFOA& GetCurrentOsVersionInfo();
  /// The major version field as read (6 for kernel 6.1 on Linux).
  static unsigned long GetMajorVersion();
  /// The minor version field as read.
  static unsigned long GetMinorVersion();
  /// The build number field as read.
  static unsigned long GetBuildNumber();
  /// The build number: the 9x family keeps major and minor in the high 16 bits of the field:
  /// there, only the low 16 bits; elsewhere the whole field.
  static unsigned long BuildNumber();
  /// The platform field: 0 Win32s, 1 the 9x family, 2 the NT family.
  static unsigned long GetPlatformID();
  /// The service-pack text, up to its NUL (or the field's end); "" when there is none.
  static CString GetCSDVersion();

  /// Release predicates on the record read at load; each tests exact equality.
  ///@{
  static bool IsOSWin32s();  ///< platform 0 (also after a failed read)
  static bool IsOSWin95();   ///< platform 1, minor 0 (the major is not looked at)
  static bool IsOSWin98();   ///< platform 1, minor above 0 (4.90 counts)
  static bool IsOSNT3_51();  ///< platform 2, 3.51
  static bool IsOSNT4_0();   ///< platform 2, 4.0
  static bool IsOSNT5_0();   ///< platform 2, 5.0
  static bool IsOSXP();      ///< platform 2, 5.1
  ///@}
  /// Family predicates on the given record.
  ///@{
  static bool IsOSNT(const OSVERSIONINFOA& info);  ///< platform 2
  static bool IsOS9x(const OSVERSIONINFOA& info);  ///< not platform 2 (so Win32s too)
  ///@}
  /// Family predicates on the record read at load: IsOSNT is platform 2, IsOS9x any other
  /// platform (Win32s and a failed read included).
  ///@{
  static bool IsOSNT();
  static bool IsOS9x();
  ///@}

  /// Copies the whole record; assigning an object to itself changes nothing.
  CKaOSVersionInfo& operator=(const CKaOSVersionInfo& source);
  /// Does nothing.
  ~CKaOSVersionInfo();

  /// The one instance, filled at load and never refreshed.
  static CKaOSVersionInfo m_cOSVerInfo;

 private:
  CKaOSVersionInfo();

  OSVERSIONINFOA m_osVersionInfo;
};
