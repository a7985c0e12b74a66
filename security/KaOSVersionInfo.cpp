// The operating-system version record and its predicates. The instance itself is defined with
// the library's other static objects (frame/Plinth.cpp), which fixes when it is read.
#include <plinth/KaOSVersionInfo.h>

#include <cstring>

CKaOSVersionInfo::CKaOSVersionInfo() {
  std::memset(&m_osVersionInfo, 0, sizeof m_osVersionInfo);
  m_osVersionInfo.dwOSVersionInfoSize = sizeof m_osVersionInfo;
  // A failed read leaves the zeros, which the predicates answer as Win32s.
  GetVersionExA(&m_osVersionInfo);
}

CKaOSVersionInfo::~CKaOSVersionInfo() {}

CKaOSVersionInfo& CKaOSVersionInfo::operator=(const CKaOSVersionInfo& source) {
  if (this != &source)
    std::memcpy(&m_osVersionInfo, &source.m_osVersionInfo, sizeof m_osVersionInfo);
  return *this;
}

const OSVERSIONINFOA& CKaOSVersionInfo::GetCurrentOsVersionInfo() {
  return m_cOSVerInfo.m_osVersionInfo;
}

unsigned long CKaOSVersionInfo::GetMajorVersion() {
  return m_cOSVerInfo.m_osVersionInfo.dwMajorVersion;
}

unsigned long CKaOSVersionInfo::GetMinorVersion() {
  return m_cOSVerInfo.m_osVersionInfo.dwMinorVersion;
}

unsigned long CKaOSVersionInfo::GetBuildNumber() {
  return m_cOSVerInfo.m_osVersionInfo.dwBuildNumber;
}

unsigned long CKaOSVersionInfo::BuildNumber() {
  const DWORD build = m_cOSVerInfo.m_osVersionInfo.dwBuildNumber;
  return IsOS9x() ? (build & 0xFFFF) : build;
}

unsigned long CKaOSVersionInfo::GetPlatformID() {
  return m_cOSVerInfo.m_osVersionInfo.dwPlatformId;
}

CString CKaOSVersionInfo::GetCSDVersion() {
  const char* text = m_cOSVerInfo.m_osVersionInfo.szCSDVersion;
  // The text is NUL-terminated by contract; the bound keeps a bad record from reading past it.
  const void* end = std::memchr(text, 0, sizeof m_cOSVerInfo.m_osVersionInfo.szCSDVersion);
  const int length = end ? static_cast<int>(static_cast<const char*>(end) - text)
                         : static_cast<int>(sizeof m_cOSVerInfo.m_osVersionInfo.szCSDVersion);
  return CString(text, length);
}

namespace {

bool Is(const OSVERSIONINFOA& info, DWORD platform, DWORD major, DWORD minor) {
  return info.dwPlatformId == platform && info.dwMajorVersion == major &&
         info.dwMinorVersion == minor;
}

}  // namespace

bool CKaOSVersionInfo::IsOSWin32s() {
  return m_cOSVerInfo.m_osVersionInfo.dwPlatformId == VER_PLATFORM_WIN32s;
}

bool CKaOSVersionInfo::IsOSWin95() {
  const OSVERSIONINFOA& info = m_cOSVerInfo.m_osVersionInfo;
  return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && info.dwMinorVersion == 0;
}

bool CKaOSVersionInfo::IsOSWin98() {
  const OSVERSIONINFOA& info = m_cOSVerInfo.m_osVersionInfo;
  return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && info.dwMinorVersion > 0;
}

bool CKaOSVersionInfo::IsOSNT3_51() {
  return Is(m_cOSVerInfo.m_osVersionInfo, VER_PLATFORM_WIN32_NT, 3, 51);
}

bool CKaOSVersionInfo::IsOSNT4_0() {
  return Is(m_cOSVerInfo.m_osVersionInfo, VER_PLATFORM_WIN32_NT, 4, 0);
}

bool CKaOSVersionInfo::IsOSNT5_0() {
  return Is(m_cOSVerInfo.m_osVersionInfo, VER_PLATFORM_WIN32_NT, 5, 0);
}

bool CKaOSVersionInfo::IsOSXP() {
  return Is(m_cOSVerInfo.m_osVersionInfo, VER_PLATFORM_WIN32_NT, 5, 1);
}

bool CKaOSVersionInfo::IsOSNT(const OSVERSIONINFOA& info) {
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool CKaOSVersionInfo::IsOS9x(const OSVERSIONINFOA& info) { return !IsOSNT(info); }

bool CKaOSVersionInfo::IsOSNT() { return IsOSNT(m_cOSVerInfo.m_osVersionInfo); }

bool CKaOSVersionInfo::IsOS9x() { return !IsOSNT(); }
