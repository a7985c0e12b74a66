#pragma once
// A registry tree whose names and data hold everything the registry file format has to take
// care of (quotes, backslashes, "]", "=", ";", line feeds, carriage returns, bytes above 0x7f,
// the default value, strings without their NUL or with one inside, DWORDs of the wrong size,
// empty data, unusual types), built with the Win32 calls and read back as a plain snapshot.
// Shared by the round-trip test and the walk benchmark, so both measure the same tree.

#include <plinth/win32.h>

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace plinth_awkward {

// Key names cannot hold a backslash; value names can.
inline const std::vector<std::string>& NamePieces() {
  static const std::vector<std::string> pieces = {
      "plain",        "with space",     "quote\"d",   "brack]et", "eq=ual",  "semi;colon",
      "line\nfeed",   "carriage\rret",  "caf\xc3\xa9", "\xff\xfe" "raw", "@",     "[-x]",
      "tail ",        " lead",          "\\\\n",       "100%"};
  return pieces;
}

struct Value {
  std::string name;
  DWORD type;
  std::string data;
};

inline Value AwkwardValue(std::uint32_t n) {
  const std::string& piece = NamePieces()[n % NamePieces().size()];
  std::string name = n % 17 == 0 ? "" : piece + "\\" + std::to_string(n);
  const std::string number = std::to_string(n);
  switch (n % 14) {
    case 0: return {name, REG_SZ, "C:\\Program Files\\App \"" + number + "\"" + std::string(1, '\0')};
    case 1: return {name, REG_SZ, "two\nlines\r" + number + std::string(1, '\0')};
    case 2: return {name, REG_SZ, "no terminator " + number};
    case 3: return {name, REG_SZ, std::string("in\0side\0", 8) + number};
    case 4: return {name, REG_EXPAND_SZ, "%HOME%\\" + number + std::string(1, '\0')};
    case 5: return {name, REG_MULTI_SZ, std::string("a\0b]=;\0\0", 8)};
    case 6: return {name, REG_DWORD, std::string(reinterpret_cast<const char*>(&n), 4)};
    case 7: return {name, REG_DWORD, std::string("\x01\x02\x03", 3)};
    case 8: return {name, REG_QWORD, std::string("\x88\x77\x66\x55\x44\x33\x22\x11", 8)};
    case 9: {
      std::string bytes;
      for (std::uint32_t i = 0; i < n % 97; ++i) bytes += static_cast<char>((n + i * 31) & 0xFF);
      return {name, REG_BINARY, bytes};
    }
    case 10: return {name, REG_NONE, ""};
    case 11: return {name, 0x1234u + n % 3, std::string("\0\xff\x80", 3)};
    case 12: return {name, REG_SZ, ""};
    default: return {name, REG_SZ, "caf\xc3\xa9 \xe4\xb8\xad " + number + std::string(1, '\0')};
  }
}

inline std::string AwkwardKeyName(std::uint32_t n) {
  std::string name = NamePieces()[(n * 7) % NamePieces().size()] + "-" + std::to_string(n);
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

// Builds below root\path `top` keys with `each` subkeys apiece and `values` values in every
// key below the start (not in the start itself). False when a call fails.
inline bool BuildAwkwardTree(HKEY root, const std::string& path, std::uint32_t top,
                             std::uint32_t each, std::uint32_t values) {
  HKEY start = nullptr;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &start,
                      nullptr) != ERROR_SUCCESS)
    return false;
  std::uint32_t counter = 0;
  auto fill = [&](HKEY key) {
    for (std::uint32_t v = 0; v < values; ++v) {
      const Value value = AwkwardValue(counter++);
      if (RegSetValueExA(key, value.name.c_str(), 0, value.type,
                         reinterpret_cast<const BYTE*>(value.data.data()),
                         static_cast<DWORD>(value.data.size())) != ERROR_SUCCESS)
        return false;
    }
    return true;
  };
  bool ok = true;
  for (std::uint32_t t = 0; t < top && ok; ++t) {
    HKEY parent = nullptr;
    ok = RegCreateKeyExA(start, AwkwardKeyName(t).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                         &parent, nullptr) == ERROR_SUCCESS;
    if (!ok) break;
    ok = fill(parent);
    for (std::uint32_t s = 0; s < each && ok; ++s) {
      HKEY child = nullptr;
      ok = RegCreateKeyExA(parent, AwkwardKeyName(top + t * each + s).c_str(), 0, nullptr, 0,
                           KEY_ALL_ACCESS, nullptr, &child, nullptr) == ERROR_SUCCESS &&
           fill(child);
      if (child) RegCloseKey(child);
    }
    RegCloseKey(parent);
  }
  RegCloseKey(start);
  return ok;
}

// Every key below and including root\path (by path relative to it) with its values in
// enumeration order.
using Snapshot = std::map<std::string, std::vector<std::tuple<std::string, DWORD, std::string>>>;

inline bool SnapshotKey(HKEY key, const std::string& relative, Snapshot& snapshot) {
  auto& values = snapshot[relative];
  DWORD subkeys = 0, longestName = 0, longestData = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                       &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  std::string name(longestName + 1, '\0'), data(longestData + 1, '\0');
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LONG result = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data.data()), &size);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) return false;
    values.emplace_back(name.substr(0, nameLength), type, data.substr(0, size));
  }
  char child[256];
  for (DWORD index = 0;; ++index) {
    const LONG result = RegEnumKeyA(key, index, child, sizeof child);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) return false;
    HKEY sub = nullptr;
    if (RegOpenKeyExA(key, child, 0, KEY_READ, &sub) != ERROR_SUCCESS) return false;
    const bool ok = SnapshotKey(sub, relative + "\\" + child, snapshot);
    RegCloseKey(sub);
    if (!ok) return false;
  }
  return true;
}

inline bool TakeSnapshot(HKEY root, const std::string& path, Snapshot& snapshot) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  const bool ok = SnapshotKey(key, "", snapshot);
  RegCloseKey(key);
  return ok;
}

}  // namespace plinth_awkward
