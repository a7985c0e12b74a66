// The running system's version with CKaOSVersionInfo.
#include <plinth/Plinth.h>

#include <cstdio>

int main() {
  // Read once when the library loads; every query reads that one record. On Linux the record
  // describes the kernel release as an NT-family system.
  std::printf("version %lu.%lu, build %lu, platform %lu\n", CKaOSVersionInfo::GetMajorVersion(),
              CKaOSVersionInfo::GetMinorVersion(), CKaOSVersionInfo::BuildNumber(),
              CKaOSVersionInfo::GetPlatformID());
  std::printf("service pack or release: %s\n", CKaOSVersionInfo::GetCSDVersion().GetString());

  // The release predicates test one exact version each: IsOSXP() is 5.1 only.
  std::printf("NT family: %d, 9x family: %d, XP: %d\n", CKaOSVersionInfo::IsOSNT(),
              CKaOSVersionInfo::IsOS9x(), CKaOSVersionInfo::IsOSXP());

  const OSVERSIONINFOA& record = CKaOSVersionInfo::GetCurrentOsVersionInfo();
  bool consistent = record.dwMajorVersion == CKaOSVersionInfo::GetMajorVersion() &&
                    CKaOSVersionInfo::IsOSNT(record) == CKaOSVersionInfo::IsOSNT() &&
                    CKaOSVersionInfo::IsOSNT() != CKaOSVersionInfo::IsOS9x();
  return consistent ? 0 : 1;
}
