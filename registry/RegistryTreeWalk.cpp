// CRegistry's tree walk: depth first, every value of a key before its subkeys, each subkey
// reported and then walked completely before the next one.
//
// The walk is meant to cost little more than enumerating the keys by hand: the buffers of a
// key are sized once from its metrics, and each value is read straight into the walk's CRegVal,
// so nothing is allocated per value.

#include <plinth/KaPath.h>
#include <plinth/Registry.h>

#include <memory>

namespace {

constexpr unsigned int kReportValues = 0x1;
constexpr unsigned int kReportKeys = 0x2;

// Room beyond the longest value data of the metrics, for a value that grows a little while
// the key is walked.
constexpr DWORD kDataSlack = 64;

// Names up to this length (NUL included) live on the stack, whatever the metrics say: every
// key name fits (255 characters at most), and a name that the metrics undercount (a platform
// counting characters where the name has double-byte ones) is still read. Longer value names
// get a buffer per key.
constexpr DWORD kNameOnStack = 260;

class NameBuffer {
 public:
  explicit NameBuffer(DWORD longestName)
      : capacity_(longestName < kNameOnStack ? kNameOnStack
                  : longestName < ~DWORD{0}  ? longestName + 1
                                             : longestName) {
    if (capacity_ > kNameOnStack) heap_.reset(new char[capacity_]);
  }
  char* data() { return heap_ ? heap_.get() : stack_; }
  DWORD capacity() const { return capacity_; }

 private:
  DWORD capacity_;
  std::unique_ptr<char[]> heap_;
  char stack_[kNameOnStack];
};

// The metrics a key's walk is sized from.
struct KeyMetrics {
  DWORD subkeys = 0;
  DWORD longestSubkeyName = 0;
  DWORD values = 0;
  DWORD longestValueName = 0;
  DWORD longestValueData = 0;
};

// An enumeration that fails at an index other than with ERROR_NO_MORE_ITEMS skips that index,
// but only below the count the metrics gave: past it there is nothing left to skip to, and an
// enumeration that fails everywhere (a handle without the right to enumerate) must end.
bool KeepEnumerating(LONG result, DWORD index, DWORD count) {
  return result != ERROR_NO_MORE_ITEMS && index < count;
}

// Closes the key a walk was given on every way out, an exception from a callback included.
class KeyCloser {
 public:
  explicit KeyCloser(HKEY key) : key_(key) {}
  ~KeyCloser() { RegCloseKey(key_); }
  KeyCloser(const KeyCloser&) = delete;
  KeyCloser& operator=(const KeyCloser&) = delete;

 private:
  HKEY key_;
};

}  // namespace

bool CRegistry::RegistryTreeWalk(const char* path, bool recurse, unsigned int flags) {
  HKEY start = m_hKey;
  const char* walkPath = "HKEY_LOCAL_MACHINE";
  if (path) {
    if (RegOpenKeyExA(m_hKey, path, 0, KEY_READ, &start) != ERROR_SUCCESS) return false;
    walkPath = path;
  }
  if (flags & kReportKeys) {
    CString rootName;
    CString fullPath = walkPath;
    if (GetStringFromKey(m_hKey, rootName))
      fullPath = CKaPath::ConcatenatePath(rootName, fullPath, "\\");
    // The report of the start key cannot stop the walk.
    OnKeyHit(start, fullPath, nullptr, 0, m_pOnKeyHitData);
  }
  return RegTreeWalk(walkPath, start, flags, 0, recurse);
}

bool CRegistry::RegTreeWalk(const char* path, HKEY key, unsigned int flags, unsigned short level,
                            bool recurse) {
  const KeyCloser closer(key);
  KeyMetrics metrics;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &metrics.subkeys,
                       &metrics.longestSubkeyName, nullptr, &metrics.values,
                       &metrics.longestValueName, &metrics.longestValueData, nullptr,
                       nullptr) != ERROR_SUCCESS) {
    // Without metrics there is nothing to size the buffers from, nor a count that bounds the
    // enumeration: the key is passed over as if it were empty, and the walk goes on.
    return true;
  }

  if (flags & kReportValues) {
    NameBuffer name(metrics.longestValueName);
    CRegVal value;
    const DWORD capacity = metrics.longestValueData <= ~DWORD{0} - kDataSlack
                               ? metrics.longestValueData + kDataSlack
                               : ~DWORD{0};
    value.AllocateDataBuffer(capacity);
    for (DWORD index = 0;; ++index) {
      DWORD nameLength = name.capacity();
      value.m_dwSize = capacity;
      const LONG result = RegEnumValueA(key, index, name.data(), &nameLength, nullptr,
                                        &value.m_dwType, value.m_pData, &value.m_dwSize);
      if (result == ERROR_SUCCESS) {
        if (!OnValueHit(path, name.data(), value, level, m_pOnValueHitData)) return false;
      } else if (!KeepEnumerating(result, index, metrics.values)) {
        break;
      }
    }
  }

  NameBuffer subkey(metrics.longestSubkeyName);
  CString fullPath;
  bool fullPathFormed = false;
  for (DWORD index = 0;; ++index) {
    const LONG result = RegEnumKeyA(key, index, subkey.data(), subkey.capacity());
    if (result != ERROR_SUCCESS) {
      if (KeepEnumerating(result, index, metrics.subkeys)) continue;
      break;
    }
    if (flags & kReportKeys) {
      if (!fullPathFormed) {
        CString rootName;
        fullPath = path ? path : "";
        if (GetStringFromKey(m_hKey, rootName))
          fullPath = CKaPath::ConcatenatePath(rootName, fullPath, "\\");
        fullPathFormed = true;
      }
      if (!OnKeyHit(key, fullPath, subkey.data(), level, m_pOnKeyHitData)) return false;
    }
    if (!recurse) continue;
    HKEY child = nullptr;
    if (RegOpenKeyExA(key, subkey.data(), 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    CString childPath = subkey.data();
    if (path) childPath = CString(path) + "\\" + childPath;
    if (!RegTreeWalk(childPath, child, flags, static_cast<unsigned short>(level + 1), true))
      return false;
  }
  return true;
}

bool CRegistry::OnValueHit(const char* /*path*/, const char* /*name*/, CRegVal& /*value*/,
                           unsigned short /*level*/, void* /*data*/) {
  return false;
}

void CRegistry::SetOnValueHitData(void* data) { m_pOnValueHitData = data; }

bool CRegistry::OnKeyHit(HKEY /*key*/, const char* /*path*/, const char* /*name*/,
                         unsigned short /*level*/, void* /*data*/) {
  return false;
}

void CRegistry::SetOnKeyHitData(void* data) { m_pOnKeyHitData = data; }
