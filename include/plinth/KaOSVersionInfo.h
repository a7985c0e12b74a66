#pragma once
// The running operating system's version, read once when the library loads. Every query reads
// that one record; the release predicates test exact equality (IsOSXP is 5.1 only, never "5.1
// or later"). A failed read leaves every field but the size zero, which reads as Win32s.
//
// On Linux the record describes the kernel release as an NT-family system (see
// <plinth/win32/Version.h>): kernel 6.1.0-18-amd64 gives GetMajorVersion() 6,
// GetMinorVersion() 1, GetBuildNumber() 0, GetCSDVersion() "6.1.0-18-amd64", IsOSNT() true.

#include <plinth/Export.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

class PLINTH_API CKaOSVersionInfo {
 public:
  static const OSVERSIONINFOA& GetCurrentOsVersionInfo();
  static unsigned long GetMajorVersion();
  static unsigned long GetMinorVersion();
  // The build number field as read.
  static unsigned long GetBuildNumber();
  // The 9x family keeps major and minor in the high 16 bits of the field: there, only the low
  // 16 bits; elsewhere the whole field.
  static unsigned long BuildNumber();
  static unsigned long GetPlatformID();
  static CString GetCSDVersion();

  static bool IsOSWin32s();  // platform 0
  static bool IsOSWin95();   // platform 1, minor 0 (the major is not looked at)
  static bool IsOSWin98();   // platform 1, minor above 0 (4.90 counts)
  static bool IsOSNT3_51();  // platform 2, 3.51
  static bool IsOSNT4_0();   // platform 2, 4.0
  static bool IsOSNT5_0();   // platform 2, 5.0
  static bool IsOSXP();      // platform 2, 5.1
  static bool IsOSNT(const OSVERSIONINFOA& info);  // platform 2
  static bool IsOS9x(const OSVERSIONINFOA& info);  // not platform 2 (so Win32s too)
  static bool IsOSNT();
  static bool IsOS9x();

  // Copies the whole record.
  CKaOSVersionInfo& operator=(const CKaOSVersionInfo& source);
  ~CKaOSVersionInfo();

  // The one instance, filled at load and never refreshed.
  static CKaOSVersionInfo m_cOSVerInfo;

 private:
  CKaOSVersionInfo();

  OSVERSIONINFOA m_osVersionInfo;
};
