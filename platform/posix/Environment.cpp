// The process environment with Windows semantics over POSIX environ: names without regard to
// case (the exact spelling first), a sorted block, and _putenv removing on an empty value.
// One lock serialises the layer's own readers and writers; code that calls setenv directly
// while another thread reads through here is as unsafe as it is with getenv.

#include <plinth/win32.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

extern char** environ;

namespace {

std::mutex g_environmentLock;

char FoldAscii(unsigned char c) {
  return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

// Compares the name part of an entry ("NAME=value") with name, without regard to case.
int CompareNames(const char* entry, std::size_t entryNameLength, const char* name,
                 std::size_t nameLength) {
  const std::size_t common = std::min(entryNameLength, nameLength);
  for (std::size_t i = 0; i < common; ++i) {
    const char a = FoldAscii(static_cast<unsigned char>(entry[i]));
    const char b = FoldAscii(static_cast<unsigned char>(name[i]));
    if (a != b) return static_cast<unsigned char>(a) < static_cast<unsigned char>(b) ? -1 : 1;
  }
  if (entryNameLength == nameLength) return 0;
  return entryNameLength < nameLength ? -1 : 1;
}

std::size_t NameLength(const char* entry) {
  const char* equals = std::strchr(entry, '=');
  return equals == nullptr ? std::strlen(entry) : static_cast<std::size_t>(equals - entry);
}

// Block order: names without regard to case, then by bytes, so the order never depends on the
// order in which variables were set.
bool BlockOrder(const char* a, const char* b) {
  const std::size_t lengthA = NameLength(a);
  const std::size_t lengthB = NameLength(b);
  const int byName = CompareNames(a, lengthA, b, lengthB);
  if (byName != 0) return byName < 0;
  return std::strcmp(a, b) < 0;
}

// The entry a lookup of name finds: the exact spelling, else the first other spelling in block
// order. Null when there is none. Caller holds the lock.
const char* FindEntry(const char* name) {
  const std::size_t nameLength = std::strlen(name);
  const char* best = nullptr;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::size_t length = NameLength(*entry);
    if ((*entry)[length] != '=') continue;
    if (CompareNames(*entry, length, name, nameLength) != 0) continue;
    if (std::strncmp(*entry, name, nameLength) == 0) return *entry;
    if (best == nullptr || BlockOrder(*entry, best)) best = *entry;
  }
  return best;
}

bool ValidName(const char* name) {
  return name != nullptr && *name != '\0' && std::strchr(name, '=') == nullptr;
}

// Every spelling of name. Caller holds the lock.
std::vector<std::string> Spellings(const char* name) {
  std::vector<std::string> found;
  const std::size_t nameLength = std::strlen(name);
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::size_t length = NameLength(*entry);
    if ((*entry)[length] == '=' && CompareNames(*entry, length, name, nameLength) == 0)
      found.emplace_back(*entry, length);
  }
  return found;
}

// Caller holds the lock. value null removes every spelling.
bool Assign(const char* name, const char* value) {
  if (value == nullptr) {
    for (const std::string& spelling : Spellings(name)) unsetenv(spelling.c_str());
    return true;
  }
  const char* existing = FindEntry(name);
  const std::string spelling =
      existing != nullptr ? std::string(existing, NameLength(existing)) : std::string(name);
  return setenv(spelling.c_str(), value, 1) == 0;
}

}  // namespace

extern "C" DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
  if (!ValidName(name)) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  std::lock_guard<std::mutex> hold(g_environmentLock);
  const char* entry = FindEntry(name);
  if (entry == nullptr) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  const char* value = entry + NameLength(entry) + 1;
  const std::size_t length = std::strlen(value);
  if (length + 1 > size || buffer == nullptr) return static_cast<DWORD>(length + 1);
  std::memcpy(buffer, value, length + 1);
  if (length == 0) SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(length);
}

extern "C" BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value) {
  if (!ValidName(name)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> hold(g_environmentLock);
  if (!Assign(name, value)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  return TRUE;
}

extern "C" LPCH GetEnvironmentStrings(void) {
  std::lock_guard<std::mutex> hold(g_environmentLock);
  std::vector<const char*> entries;
  std::size_t total = 1;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    entries.push_back(*entry);
    total += std::strlen(*entry) + 1;
  }
  std::sort(entries.begin(), entries.end(), BlockOrder);
  // One more NUL than needed: an empty environment is then two NULs, as Windows gives it.
  char* block = static_cast<char*>(std::malloc(total + 1));
  if (block == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  char* out = block;
  for (const char* entry : entries) {
    const std::size_t length = std::strlen(entry) + 1;
    std::memcpy(out, entry, length);
    out += length;
  }
  out[0] = '\0';
  out[1] = '\0';
  return block;
}

extern "C" BOOL FreeEnvironmentStringsA(LPCH block) {
  std::free(block);
  return TRUE;
}

extern "C" int _putenv(const char* envString) {
  const char* equals = envString == nullptr ? nullptr : std::strchr(envString, '=');
  if (equals == nullptr || equals == envString) {
    errno = EINVAL;
    return -1;
  }
  const std::string name(envString, static_cast<std::size_t>(equals - envString));
  std::lock_guard<std::mutex> hold(g_environmentLock);
  if (!Assign(name.c_str(), equals[1] == '\0' ? nullptr : equals + 1)) {
    errno = ENOMEM;
    return -1;
  }
  return 0;
}
