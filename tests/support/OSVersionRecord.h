#pragma once
// Puts a hand-made version record into the library's one CKaOSVersionInfo instance for the
// length of a scope. The instance holds nothing but the record, so the record can be assigned
// through the public assignment.

#include <plinth/KaOSVersionInfo.h>

#include <cstring>
#include <type_traits>

namespace plinth::test {

static_assert(sizeof(CKaOSVersionInfo) == sizeof(OSVERSIONINFOA), "one record, nothing else");
static_assert(std::is_standard_layout<CKaOSVersionInfo>::value, "the record is at offset 0");

inline void InstallOSVersion(const OSVERSIONINFOA& record) {
  alignas(CKaOSVersionInfo) unsigned char storage[sizeof(CKaOSVersionInfo)];
  std::memcpy(storage, &record, sizeof record);
  CKaOSVersionInfo::m_cOSVerInfo = *reinterpret_cast<const CKaOSVersionInfo*>(storage);
}

inline OSVERSIONINFOA OSVersionRecord(DWORD platform, DWORD major, DWORD minor, DWORD build = 0,
                                      const char* csd = "") {
  OSVERSIONINFOA record = {};
  record.dwOSVersionInfoSize = sizeof record;
  record.dwPlatformId = platform;
  record.dwMajorVersion = major;
  record.dwMinorVersion = minor;
  record.dwBuildNumber = build;
  std::strncpy(record.szCSDVersion, csd, sizeof record.szCSDVersion - 1);
  return record;
}

class ScopedOSVersion {
 public:
  explicit ScopedOSVersion(const OSVERSIONINFOA& record)
      : saved_(CKaOSVersionInfo::GetCurrentOsVersionInfo()) {
    InstallOSVersion(record);
  }
  ~ScopedOSVersion() { InstallOSVersion(saved_); }
  ScopedOSVersion(const ScopedOSVersion&) = delete;
  ScopedOSVersion& operator=(const ScopedOSVersion&) = delete;

 private:
  OSVERSIONINFOA saved_;
};

}  // namespace plinth::test
