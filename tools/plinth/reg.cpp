// plinth reg …: reading and writing the registry from a shell, straight through the Win32
// registry calls.
//
// Options are written the Windows way (/v NAME, /ve, /t TYPE, /d DATA, /f) or with a dash
// (-v NAME …); CLI11 takes "/v" for a positional argument, so this file reads them itself.
// Values print as one line each, name, type and data separated by four blanks:
//     HKEY_CURRENT_USER\Software\Example
//         Colour    REG_SZ    blue
//         Count    REG_DWORD    0x2a

#include <plinth/Registry.h>
#include <plinth/win32.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "IoSystem.h"
#include "RegFileStore.h"
#include "Tool.h"

namespace plinth_tool {
namespace {

// A key that is not there: "nothing found" (exit status 1), not a broken run.
class NotFound : public ToolError {
 public:
  using ToolError::ToolError;
};

struct TypeName {
  const char* name;
  DWORD type;
};

const TypeName kTypes[] = {
    {"REG_NONE", REG_NONE},
    {"REG_SZ", REG_SZ},
    {"REG_EXPAND_SZ", REG_EXPAND_SZ},
    {"REG_BINARY", REG_BINARY},
    {"REG_DWORD", REG_DWORD},
    {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN},
    {"REG_LINK", REG_LINK},
    {"REG_MULTI_SZ", REG_MULTI_SZ},
    {"REG_RESOURCE_LIST", REG_RESOURCE_LIST},
    {"REG_FULL_RESOURCE_DESCRIPTOR", REG_FULL_RESOURCE_DESCRIPTOR},
    {"REG_RESOURCE_REQUIREMENTS_LIST", REG_RESOURCE_REQUIREMENTS_LIST},
    {"REG_QWORD", REG_QWORD},
};

bool SameNoCase(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

struct KeyPath {
  HKEY root;
  std::string rootName;  // the full name, for output
  std::string subkey;    // below the root, without leading or trailing backslashes
  std::string Shown() const { return subkey.empty() ? rootName : rootName + "\\" + subkey; }
};

KeyPath ParseKey(const std::string& text) {
  std::string subkey;
  if (const plinth_regfile::RootName* root = plinth_regfile::SplitRootPath(text, subkey))
    return {root->key, root->full, subkey};
  throw ToolError("'" + text +
                  "' does not start with a root key; begin it with HKLM, HKCU, HKCR, HKU, HKCC "
                  "or a full name such as HKEY_CURRENT_USER");
}

std::string TypeText(DWORD type) {
  for (const TypeName& name : kTypes)
    if (name.type == type) return name.name;
  return "0x" + [&] {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(type));
    return std::string(hex);
  }();
}

DWORD ParseType(const std::string& text) {
  for (const TypeName& name : kTypes)
    if (SameNoCase(text, name.name)) return name.type;
  throw ToolError("'" + text +
                  "' is not a value type; use REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, "
                  "REG_QWORD, REG_BINARY or REG_NONE");
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

std::string DataText(DWORD type, const std::string& data) {
  auto number = [&](bool bigEndian) {
    unsigned long long value = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
      const unsigned long long byte = static_cast<unsigned char>(data[i]);
      value |= bigEndian ? byte << (8 * (data.size() - 1 - i)) : byte << (8 * i);
    }
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", value);
    return std::string(text);
  };
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_LINK: return data.substr(0, data.find('\0'));
    case REG_MULTI_SZ: {
      std::string text, rest = data;
      while (!rest.empty() && rest.back() == '\0') rest.pop_back();
      for (char c : rest) text += c == '\0' ? std::string("\\0") : std::string(1, c);
      return text;
    }
    case REG_DWORD: return data.size() == 4 ? number(false) : Hex(data);
    case REG_DWORD_BIG_ENDIAN: return data.size() == 4 ? number(true) : Hex(data);
    case REG_QWORD: return data.size() == 8 ? number(false) : Hex(data);
    default: return Hex(data);
  }
}

std::string ParseData(DWORD type, const std::string& text) {
  auto number = [&](unsigned long long limit, std::size_t bytes) {
    errno = 0;
    char* end = nullptr;
    const bool negative = !text.empty() && text[0] == '-';
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || negative || *end || errno == ERANGE || value > limit)
      throw ToolError("'" + text + "' is not a " + TypeText(type) +
                      " number; give a decimal or 0x-prefixed hexadecimal number up to " +
                      std::to_string(limit));
    std::string data(bytes, '\0');
    for (std::size_t i = 0; i < bytes; ++i)
      data[type == REG_DWORD_BIG_ENDIAN ? bytes - 1 - i : i] =
          static_cast<char>(value >> (8 * i) & 0xFF);
    return data;
  };
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_LINK: return text + '\0';
    case REG_MULTI_SZ: {
      // Strings are separated by the two characters \0, as reg.exe writes them.
      std::string data;
      std::size_t start = 0;
      for (;;) {
        const std::size_t cut = text.find("\\0", start);
        data += text.substr(start, cut - start) + '\0';
        if (cut == std::string::npos) break;
        start = cut + 2;
      }
      if (text.empty()) data.clear();
      return data + '\0';
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: return number(0xFFFFFFFFull, 4);
    case REG_QWORD: return number(~0ull, 8);
    default: {
      std::string data;
      auto digit = [&](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
      };
      if (text.size() % 2 != 0)
        throw ToolError("'" + text +
                        "' has an odd number of hexadecimal digits; give two per byte");
      for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = digit(text[i]), low = digit(text[i + 1]);
        if (high < 0 || low < 0)
          throw ToolError("'" + text +
                          "' is not hexadecimal bytes; give two digits 0-9, A-F per byte");
        data += static_cast<char>(high << 4 | low);
      }
      return data;
    }
  }
}

// The message for a failed call, naming what was asked for and what to do.
[[noreturn]] void Fail(const std::string& what, LONG error) {
  std::string advice;
  switch (error) {
    case ERROR_BADDB:
    case ERROR_REVISION_MISMATCH:
    case ERROR_CANTOPEN: {
      // The store is a file only on systems without a registry of their own.
      const char* given = std::getenv("PLINTH_REGISTRY");
      const std::string store = given && *given
                                    ? std::string("'") + given + "'"
                                    : std::string(
                                          "at its default place ($XDG_DATA_HOME/plinth/registry.db "
                                          "or ~/.local/share/plinth/registry.db)");
      advice = error == ERROR_REVISION_MISMATCH
                   ? "the registry store " + store +
                         " was written by a later release of Plinth; use that release"
               : error == ERROR_BADDB
                   ? "the registry store " + store +
                         " is damaged or not a registry store; move it aside (a new store "
                         "is made in its place) or point PLINTH_REGISTRY at the store"
                   : "the registry store " + store +
                         " cannot be opened; check that its folder can be created and "
                         "written";
      break;
    }
    case ERROR_ACCESS_DENIED:
      advice =
          "access denied (a key that still has subkeys, or one the store keeps, cannot be "
          "deleted); name a key of your own, below the root";
      break;
    case ERROR_CALL_NOT_IMPLEMENTED:
      advice = "this root key holds nothing on this system; use another";
      break;
    case ERROR_INVALID_PARAMETER:
      advice = "a name is too long (keys 255 characters, values 16383) or not allowed";
      break;
    case ERROR_BAD_PATHNAME: advice = "a key path must not start with a backslash"; break;
    case ERROR_BUSY: advice = "the store stayed busy; try again"; break;
    default: advice = "the registry refused the change; check the key's path and try again"; break;
  }
  throw ToolError(what + ": " + advice + " (error " + std::to_string(error) + ")");
}

struct Arguments {
  std::vector<std::string> positional;
  std::optional<std::string> value;  // /v NAME or /ve (empty name)
  std::optional<std::string> type;
  std::optional<std::string> data;
  bool allValues = false;
};

Arguments ParseArguments(const std::vector<std::string>& words, const std::string& command,
                         const std::vector<std::string>& allowed) {
  Arguments arguments;
  auto allowedOption = [&](const std::string& option) {
    for (const std::string& name : allowed)
      if (name == option) return true;
    return false;
  };
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    std::string option;
    if (word.size() >= 2 && (word[0] == '/' || word[0] == '-')) {
      option = word.substr(1);
      for (char& c : option)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (option.empty() || !allowedOption(option)) {
      if (!option.empty() && word[0] == '-' && option.size() <= 2 &&
          arguments.positional.size() > 0)
        throw ToolError("'" + word + "' is not an option of 'plinth reg " + command +
                        "'; run 'plinth reg " + command + " --help'");
      arguments.positional.push_back(word);
      continue;
    }
    auto next = [&]() -> std::string {
      if (i + 1 >= words.size())
        throw ToolError("'" + word + "' needs a value after it; run 'plinth reg " + command +
                        " --help'");
      return words[++i];
    };
    if (option == "v") arguments.value = next();
    if (option == "ve") arguments.value = "";
    if (option == "va") arguments.allValues = true;
    if (option == "t") arguments.type = next();
    if (option == "d") arguments.data = next();
    // "f" (no questions asked) is what this host always does.
  }
  return arguments;
}

class OpenedKey {
 public:
  OpenedKey(const KeyPath& path, REGSAM access, bool create) {
    const LONG result =
        create ? RegCreateKeyExA(path.root, path.subkey.c_str(), 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, access, nullptr, &key_, nullptr)
               : RegOpenKeyExA(path.root, path.subkey.c_str(), 0, access, &key_);
    if (result == ERROR_FILE_NOT_FOUND)
      throw NotFound(path.Shown() + ": no such key; list what is there with 'plinth reg keys'");
    if (result != ERROR_SUCCESS) Fail(path.Shown(), result);
  }
  ~OpenedKey() { RegCloseKey(key_); }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::string ShownName(const std::string& name) { return name.empty() ? "(Default)" : name; }

void PrintValue(Output& out, const std::string& name, DWORD type, const std::string& data) {
  out.Write("    " + ShownName(name) + "    " + TypeText(type) + "    " + DataText(type, data) +
            "\n");
}

// The value's name as the key spells it (names match in any case); the name asked for when the
// key cannot be listed.
std::string StoredName(HKEY key, const std::string& asked) {
  DWORD maxName = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return asked;
  std::string name(maxName + 1, '\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    if (RegEnumValueA(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      return asked;
    const std::string found(name.data(), length);
    if (found.size() == asked.size() && SameNoCase(found, asked.c_str())) return found;
  }
}

int RunQuery(const std::vector<std::string>& words) {
  Arguments arguments = ParseArguments(words, "query", {"v", "ve"});
  if (arguments.positional.empty() || arguments.positional.size() > 2)
    throw ToolError("give one KEY and at most one VALUE; run 'plinth reg query --help'");
  if (arguments.positional.size() == 2) arguments.value = arguments.positional[1];
  const KeyPath path = ParseKey(arguments.positional[0]);
  OpenedKey key(path, KEY_READ, false);
  if (arguments.value) {
    DWORD type = 0, size = 0;
    const char* name = arguments.value->c_str();
    LONG result = RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size);
    std::string data(size, '\0');
    // Another process may grow the value between the two calls.
    while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
      data.resize(size);
      result = RegQueryValueExA(key.get(), name, nullptr, &type,
                                reinterpret_cast<BYTE*>(data.data()), &size);
      if (result == ERROR_SUCCESS) break;
    }
    if (result == ERROR_FILE_NOT_FOUND) {
      Complain(path.Shown() + ": no value " + ShownName(*arguments.value) +
               "; list the values with 'plinth reg query " + arguments.positional[0] + "'");
      return kExitNothingFound;
    }
    if (result != ERROR_SUCCESS) Fail(path.Shown() + "\\" + ShownName(*arguments.value), result);
    data.resize(size);
    Output out("-");
    out.Write(path.Shown() + "\n");
    PrintValue(out, StoredName(key.get(), *arguments.value), type, data);
    out.Commit();
    return kExitOk;
  }
  DWORD maxName = 0, maxData = 0;
  LONG result = RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, &maxName, &maxData, nullptr, nullptr);
  if (result != ERROR_SUCCESS) Fail(path.Shown(), result);
  std::string name(maxName + 1, '\0'), data(maxData, '\0');
  Output out("-");
  out.Write(path.Shown() + "\n");
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    result = RegEnumValueA(key.get(), index, name.data(), &nameLength, nullptr, &type,
                           reinterpret_cast<BYTE*>(data.data()), &size);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result == ERROR_MORE_DATA) {
      // Grown since the sizes were read: make room and try this index again.
      name.resize(name.size() * 2 + 256);
      data.resize(std::max<std::size_t>(data.size() * 2, size));
      --index;
      continue;
    }
    if (result != ERROR_SUCCESS) Fail(path.Shown(), result);
    PrintValue(out, std::string(name.data(), nameLength), type, data.substr(0, size));
  }
  out.Commit();
  return kExitOk;
}

std::vector<std::string> Subkeys(HKEY key, const std::string& shown) {
  std::vector<std::string> names;
  char name[256];
  for (DWORD index = 0;; ++index) {
    const LONG result = RegEnumKeyA(key, index, name, sizeof name);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) Fail(shown, result);
    names.emplace_back(name);
  }
  return names;
}

int RunKeys(const std::vector<std::string>& words) {
  Arguments arguments = ParseArguments(words, "keys", {});
  if (arguments.positional.size() != 1)
    throw ToolError("give exactly one KEY; run 'plinth reg keys --help'");
  const KeyPath path = ParseKey(arguments.positional[0]);
  OpenedKey key(path, KEY_READ, false);
  Output out("-");
  for (const std::string& name : Subkeys(key.get(), path.Shown())) out.Write(name + "\n");
  out.Commit();
  return kExitOk;
}

int RunAdd(const std::vector<std::string>& words) {
  Arguments arguments = ParseArguments(words, "add", {"v", "ve", "t", "d", "f"});
  if (arguments.positional.size() != 1)
    throw ToolError("give exactly one KEY; run 'plinth reg add --help'");
  const KeyPath path = ParseKey(arguments.positional[0]);
  if (!arguments.value && (arguments.type || arguments.data))
    throw ToolError("/t and /d need a value: add /v NAME (or /ve for the default value)");
  OpenedKey key(path, KEY_WRITE, true);
  if (!arguments.value) return kExitOk;
  const DWORD type = arguments.type ? ParseType(*arguments.type) : REG_SZ;
  const std::string data = ParseData(type, arguments.data.value_or(""));
  const LONG result =
      RegSetValueExA(key.get(), arguments.value->c_str(), 0, type,
                     reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
  if (result != ERROR_SUCCESS) Fail(path.Shown() + "\\" + ShownName(*arguments.value), result);
  return kExitOk;
}

// Deletes a key and everything below it, deepest first.
void DeleteTree(HKEY parent, const std::string& name, const std::string& shown) {
  {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ, &key);
    if (result != ERROR_SUCCESS) Fail(shown, result);
    std::vector<std::string> children;
    try {
      children = Subkeys(key, shown);
      for (const std::string& child : children) DeleteTree(key, child, shown + "\\" + child);
    } catch (...) {
      RegCloseKey(key);
      throw;
    }
    RegCloseKey(key);
  }
  const LONG result = RegDeleteKeyA(parent, name.c_str());
  if (result != ERROR_SUCCESS) Fail(shown, result);
}

int RunDelete(const std::vector<std::string>& words) {
  Arguments arguments = ParseArguments(words, "delete", {"v", "ve", "va", "f"});
  if (arguments.positional.size() != 1)
    throw ToolError("give exactly one KEY; run 'plinth reg delete --help'");
  const KeyPath path = ParseKey(arguments.positional[0]);
  if (arguments.value || arguments.allValues) {
    OpenedKey key(path, KEY_READ | KEY_SET_VALUE, false);
    std::vector<std::string> names;
    if (arguments.value) {
      names.push_back(*arguments.value);
    } else {
      DWORD maxName = 0;
      LONG result = RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, &maxName, nullptr, nullptr, nullptr);
      if (result != ERROR_SUCCESS) Fail(path.Shown(), result);
      std::string name(maxName + 1, '\0');
      for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        result = RegEnumValueA(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr,
                               nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS) Fail(path.Shown(), result);
        names.emplace_back(name.data(), length);
      }
    }
    for (const std::string& name : names) {
      const LONG result = RegDeleteValueA(key.get(), name.c_str());
      if (result == ERROR_FILE_NOT_FOUND) {
        Complain(path.Shown() + ": no value " + ShownName(name) +
                 " to delete; list the values with 'plinth reg query " + arguments.positional[0] +
                 "'");
        return kExitNothingFound;
      }
      if (result != ERROR_SUCCESS) Fail(path.Shown() + "\\" + ShownName(name), result);
    }
    return kExitOk;
  }
  if (path.subkey.empty())
    throw ToolError(path.Shown() + ": a root key cannot be deleted; name a key below it");
  {
    HKEY probe = nullptr;
    const LONG result = RegOpenKeyExA(path.root, path.subkey.c_str(), 0, KEY_READ, &probe);
    if (result == ERROR_FILE_NOT_FOUND) {
      Complain(path.Shown() +
               ": no such key to delete; list what is there with 'plinth reg keys' and the "
               "key above it");
      return kExitNothingFound;
    }
    if (result != ERROR_SUCCESS) Fail(path.Shown(), result);
    RegCloseKey(probe);
  }
  DeleteTree(path.root, path.subkey, path.Shown());
  return kExitOk;
}

// One report per line: a line feed or carriage return in a name or string prints as \n or \r.
std::string OneLine(const std::string& text) {
  if (text.find_first_of("\r\n") == std::string::npos) return text;
  std::string line;
  for (char c : text) line += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
  return line;
}

// The walk reports a subkey with the level of the key it was found in, depth first, so the
// names between KEY and the key being walked are a stack indexed by level.
class TreePrinter : public CRegistry {
 public:
  TreePrinter(const KeyPath& path, bool printKeys, Output& out, Progress& progress)
      : CRegistry(path.root),
        shown_(path.Shown()),
        printKeys_(printKeys),
        out_(out),
        progress_(progress) {}

  bool OnValueHit(const char*, const char* name, CRegVal& value, unsigned short level,
                  void*) override {
    const DWORD type = static_cast<DWORD>(value.GetType());
    const std::string data(reinterpret_cast<const char*>(value.GetRawData()), value.GetSize());
    out_.Write("value    " + std::to_string(level) + "    " + OneLine(Path(level)) + "    " +
               OneLine(ShownName(name)) + "    " + TypeText(type) + "    " +
               OneLine(DataText(type, data)) + "\n");
    progress_.Update(++reports_);
    return !out_.ReaderGone();
  }

  bool OnKeyHit(HKEY, const char*, const char* name, unsigned short level, void*) override {
    unsigned depth = 0;
    if (name != nullptr) {
      names_.resize(level);
      names_.emplace_back(name);
      depth = level + 1u;
    }
    if (!printKeys_) return true;
    out_.Write("key    " + std::to_string(depth) + "    " + OneLine(Path(depth)) + "\n");
    progress_.Update(++reports_);
    return !out_.ReaderGone();
  }

 private:
  std::string Path(std::size_t depth) const {
    std::string path = shown_;
    for (std::size_t i = 0; i < depth && i < names_.size(); ++i) path += "\\" + names_[i];
    return path;
  }

  std::string shown_;
  bool printKeys_;
  Output& out_;
  Progress& progress_;
  std::vector<std::string> names_;
  std::uint64_t reports_ = 0;
};

int RunWalk(const std::vector<std::string>& words) {
  std::vector<std::string> positional;
  unsigned int flags = 0;
  bool recurse = false;
  for (const std::string& word : words) {
    if (word == "--values" || word == "/values") flags |= 1;
    else if (word == "--keys" || word == "/keys") flags |= 2;
    else if (word == "--recurse" || word == "/s" || word == "-s" || word == "/S") recurse = true;
    else if (word.size() > 1 && word[0] == '-')
      throw ToolError("'" + word + "' is not an option of 'plinth reg walk'; run 'plinth reg walk --help'");
    else positional.push_back(word);
  }
  if (positional.size() != 1)
    throw ToolError("give exactly one KEY; run 'plinth reg walk --help'");
  if (flags == 0) flags = 3;
  const KeyPath path = ParseKey(positional[0]);
  { OpenedKey probe(path, KEY_READ, false); }
  Output out("-");
  Progress progress("walking " + path.Shown(), 0, "lines");
  // Keys are always reported to the printer, which needs their names for the values' paths.
  TreePrinter printer(path, (flags & 2) != 0, out, progress);
  // The walk ends early only when the reader of the output went away.
  printer.RegistryTreeWalk(path.subkey.c_str(), recurse, (flags & 1) | 2);
  out.Commit();
  return kExitOk;
}

int RunExport(const std::vector<std::string>& words) {
  Arguments arguments = ParseArguments(words, "export", {});
  if (arguments.positional.empty() || arguments.positional.size() > 2)
    throw ToolError("give one KEY and at most one FILE; run 'plinth reg export --help'");
  const KeyPath path = ParseKey(arguments.positional[0]);
  const std::string file = arguments.positional.size() == 2 ? arguments.positional[1] : "-";
  { OpenedKey probe(path, KEY_READ, false); }
  Output out(file);
  Progress progress("exporting " + path.Shown(), 0, "keys");
  try {
    plinth_regfile::ExportRegistryTree(
        path.root, path.subkey, path.Shown(),
        [&](std::string& text) {
          out.Write(text);
          text.clear();
        },
        [&](std::uint64_t keys) {
          progress.Update(keys);
          return !out.ReaderGone();
        });
  } catch (const plinth_regfile::RegStoreError& error) {
    if (error.code() == ERROR_FILE_NOT_FOUND)
      throw NotFound(path.Shown() + ": no such key; list what is there with 'plinth reg keys'");
    Fail(error.what(), error.code());
  }
  out.Commit();
  return kExitOk;
}

int RunImport(const std::vector<std::string>& words) {
  Arguments arguments = ParseArguments(words, "import", {});
  if (arguments.positional.size() != 1)
    throw ToolError("give exactly one FILE ('-' for standard input); run 'plinth reg import --help'");
  const std::string& file = arguments.positional[0];
  const std::string where = DisplayName(file);
  const std::string data = ReadInput(file);
  std::vector<plinth_regfile::RegFileSection> sections;
  try {
    sections = plinth_regfile::ParseRegFile(data);
  } catch (const plinth_regfile::RegFileError& error) {
    throw ToolError(where + ", line " + std::to_string(error.line()) + ": " + error.what() +
                    "; nothing was imported");
  }
  std::uint64_t entries = 0;
  for (const auto& section : sections) entries += section.values.size() + 1;
  Progress progress("importing " + where, entries, "entries");
  try {
    plinth_regfile::ImportRegFile(sections, [&](std::uint64_t done) {
      progress.Update(done);
      return true;
    });
  } catch (const plinth_regfile::RegStoreError& error) {
    const std::string at = where + ", line " + std::to_string(error.line()) + ": ";
    if (error.code() == ERROR_BAD_PATHNAME && error.what()[0] == '[')
      throw ToolError(at + "the section " + error.what() +
                      " does not start with a root key; begin it with a full name such as "
                      "HKEY_CURRENT_USER (the sections above it were imported)");
    if (error.code() == ERROR_ACCESS_DENIED && error.what()[0] != '[' &&
        std::string(error.what()).find('\\') == std::string::npos)
      throw ToolError(at + error.what() + ": a root key cannot be deleted; name a key below it");
    Fail(at + error.what(), error.code());
  }
  return kExitOk;
}

}  // namespace

void AddRegCommands(CLI::App& app, int& exitCode) {
  CLI::App* reg = app.add_subcommand("reg", "Read and write the registry");
  reg->require_subcommand(1);
  reg->footer(
      "KEY is a root key (HKLM, HKCU, HKCR, HKU, HKCC or a full name such as HKEY_CURRENT_USER), "
      "then a backslash and the path below it. Options may be written /v or -v.\n"
      "On this system the registry is a file shared by your programs: $PLINTH_REGISTRY, else "
      "$XDG_DATA_HOME/plinth/registry.db, else ~/.local/share/plinth/registry.db.\n"
      "Give one of the commands above; 'plinth reg COMMAND --help' shows its options.\n"
      "Example: plinth reg walk HKCU\\Software --recurse\n"
      "Exit status: that of the command; 2 when none or an unknown one is given.");

  struct Command {
    const char* name;
    const char* description;
    const char* footer;
    int (*run)(const std::vector<std::string>&);
  };
  static const Command kCommands[] = {
      {"query", "Print a key's values, or one value: query KEY [VALUE], query KEY /v NAME | /ve",
       "Example: plinth reg query HKCU\\Software\\Example Colour\n"
       "Exit status: 0 printed, 1 no such key or value, 2 usage or registry error.",
       RunQuery},
      {"add",
       "Create a key, and set a value in it: add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]",
       "TYPE: REG_SZ (the default), REG_EXPAND_SZ, REG_MULTI_SZ (strings separated by \\0), "
       "REG_DWORD, REG_QWORD (decimal or 0x hexadecimal), REG_BINARY, REG_NONE (hexadecimal "
       "bytes).\nExample: plinth reg add HKCU\\Software\\Example /v Count /t REG_DWORD /d 42\n"
       "Exit status: 0 done, 2 usage or registry error.",
       RunAdd},
      {"delete",
       "Delete a key with everything below it, or values: delete KEY [/v NAME | /ve | /va] [/f]",
       "Example: plinth reg delete HKCU\\Software\\Example /v Count\n"
       "Exit status: 0 deleted, 1 no such key or value, 2 usage or registry error.",
       RunDelete},
      {"keys", "Print the names of a key's subkeys, one per line: keys KEY",
       "Example: plinth reg keys HKCU\\Software\n"
       "Exit status: 0 printed, 1 no such key, 2 usage or registry error.",
       RunKeys},
      {"walk", "Print a key, its values and its subkeys, one line each: walk KEY [--values] "
               "[--keys] [--recurse]",
       "Lines: 'key    DEPTH    PATH' and 'value    DEPTH    PATH    NAME    TYPE    DATA', "
       "separated by four blanks, DEPTH counting from 0 at KEY; values first, then each subkey "
       "followed by everything below it (with --recurse, also /s). --values or --keys alone "
       "prints only those lines. Data prints as in 'query'; a line feed or carriage return in "
       "a name or data prints as \\n or \\r (use 'export' for the exact bytes).\n"
       "Example: plinth reg walk HKCU\\Software\\Example --recurse\n"
       "Exit status: 0 printed, 1 no such key, 2 usage or registry error.",
       RunWalk},
      {"export", "Write a key and everything below it as a registry file: export KEY [FILE]",
       "Writes REGEDIT4 with CR LF line ends to FILE, or to standard output without one (or "
       "with '-'). \"NAME\"=\"text\" (\\\\ and \\\" escaped; @ is the default value), "
       "dword:0000002a, hex:01,02 (REG_BINARY) and hex(N):… with N the type in hexadecimal for "
       "everything else, including any value a plain line would not give back byte for byte "
       "(a string with a line feed, no terminating NUL or an embedded NUL; a DWORD not of 4 "
       "bytes). A line feed or carriage return in a value name is written \\n or \\r; in a "
       "key name, [A\\\\nB] (two backslashes, as a key path never has two in a row). A "
       "section ends at the last ']' of its line.\n"
       "Example: plinth reg export HKCU\\Software\\Example example.reg\n"
       "Exit status: 0 written, 1 no such key, 2 usage or registry error.",
       RunExport},
      {"import", "Apply a registry file to the registry: import FILE ('-' reads standard input)",
       "Reads what export writes, with LF or CR LF line ends, and UTF-16 files that start with "
       "'Windows Registry Editor Version 5.00'. [-KEY] deletes a key and everything below it, "
       "\"NAME\"=- deletes a value, lines starting with ';' are comments. The whole file is "
       "checked before anything is changed: a malformed line is reported with its number and "
       "nothing is imported.\n"
       "Example: plinth reg import example.reg\n"
       "Exit status: 0 imported, 2 usage, file or registry error.",
       RunImport},
  };
  for (const Command& command : kCommands) {
    CLI::App* sub = reg->add_subcommand(command.name, command.description);
    sub->footer(command.footer);
    sub->allow_extras();
    sub->callback([sub, &command, &exitCode] {
      try {
        exitCode = command.run(sub->remaining());
      } catch (const NotFound& missing) {
        Complain(missing.what());
        exitCode = kExitNothingFound;
      }
    });
  }
}

}  // namespace plinth_tool
