// Export through CRegistry's tree walk, import through the Win32 registry calls.
#include "RegFileStore.h"

#include <plinth/Registry.h>

#include <cstring>

namespace plinth_regfile {
namespace {

// Large enough that writing is not a cost, small enough that a pipe reader sees output early.
constexpr std::size_t kSinkChunk = 1u << 16;

bool SameNoCase(const std::string& a, const char* b) {
  const std::size_t length = std::strlen(b);
  if (a.size() != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// The walk reports a subkey with its parent's level and name, depth first, so the names of the
// keys above the current one are a stack indexed by level.
class TreeExporter : public CRegistry {
 public:
  TreeExporter(HKEY root, const std::string& shownPath, const RegFileSink& sink,
               const RegFileTick& tick)
      : CRegistry(root), shownPath_(shownPath), sink_(sink), tick_(tick) {}

  bool OnValueHit(const char*, const char* name, CRegVal& value, unsigned short, void*) override {
    AppendRegFileValue(text_, name, std::strlen(name), static_cast<DWORD>(value.GetType()),
                       value.GetRawData(), value.GetSize());
    return Drain();
  }

  bool OnKeyHit(HKEY, const char*, const char* name, unsigned short level, void*) override {
    if (name == nullptr) return true;  // the start key, whose section is already written
    names_.resize(level);
    names_.emplace_back(name);
    std::string path = shownPath_;
    for (const std::string& each : names_) {
      path += '\\';
      path += each;
    }
    AppendRegFileSection(text_, path);
    ++keys_;
    if (tick_ && !tick_(keys_)) return false;
    return Drain();
  }

  std::string& text() { return text_; }
  std::uint64_t keys() const { return keys_; }

 private:
  bool Drain() {
    if (text_.size() >= kSinkChunk) sink_(text_);
    return true;
  }

  std::string shownPath_;
  const RegFileSink& sink_;
  const RegFileTick& tick_;
  std::vector<std::string> names_;
  std::string text_;
  std::uint64_t keys_ = 1;
};

LONG DeleteTree(HKEY parent, const std::string& name) {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ, &key);
  if (result != ERROR_SUCCESS) return result;
  // Always the first subkey: each one is gone before the next is asked for.
  char child[256];
  for (;;) {
    result = RegEnumKeyA(key, 0, child, sizeof child);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result == ERROR_SUCCESS) result = DeleteTree(key, child);
    if (result != ERROR_SUCCESS) {
      RegCloseKey(key);
      return result;
    }
  }
  RegCloseKey(key);
  return RegDeleteKeyA(parent, name.c_str());
}

}  // namespace

const RootName kRootNames[7] = {
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", "HKU", HKEY_USERS},
    {"HKEY_PERFORMANCE_DATA", nullptr, HKEY_PERFORMANCE_DATA},
    {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
    {"HKEY_DYN_DATA", nullptr, HKEY_DYN_DATA},
};

const RootName* SplitRootPath(const std::string& text, std::string& subkey) {
  const std::size_t slash = text.find('\\');
  const std::string root = text.substr(0, slash);
  for (const RootName& candidate : kRootNames) {
    if (SameNoCase(root, candidate.full) || (candidate.brief && SameNoCase(root, candidate.brief))) {
      subkey = slash == std::string::npos ? "" : text.substr(slash + 1);
      while (!subkey.empty() && subkey.back() == '\\') subkey.pop_back();
      return &candidate;
    }
  }
  return nullptr;
}

std::uint64_t ExportRegistryTree(HKEY root, const std::string& subkey,
                                 const std::string& shownPath, const RegFileSink& sink,
                                 const RegFileTick& tick) {
  HKEY probe = nullptr;
  const LONG result = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &probe);
  if (result != ERROR_SUCCESS) throw RegStoreError(0, shownPath, result);
  RegCloseKey(probe);

  TreeExporter exporter(root, shownPath, sink, tick);
  AppendRegFileHeader(exporter.text());
  AppendRegFileSection(exporter.text(), shownPath);
  // A false result means a stop asked for by the tick or a key gone since the probe; either
  // way what was written stands.
  exporter.RegistryTreeWalk(subkey.c_str(), true, 3);
  AppendRegFileEnd(exporter.text());
  sink(exporter.text());
  return exporter.keys();
}

ImportCounts ImportRegFile(const std::vector<RegFileSection>& sections, const RegFileTick& tick) {
  ImportCounts counts;
  std::uint64_t done = 0;
  for (const RegFileSection& section : sections) {
    std::string subkey;
    const RootName* root = SplitRootPath(section.path, subkey);
    if (root == nullptr)
      throw RegStoreError(section.line, "[" + section.path + "]", ERROR_BAD_PATHNAME);
    const std::string shown = subkey.empty() ? root->full : root->full + ("\\" + subkey);
    if (section.remove) {
      if (subkey.empty()) throw RegStoreError(section.line, shown, ERROR_ACCESS_DENIED);
      const LONG result = DeleteTree(root->key, subkey);
      if (result == ERROR_SUCCESS) ++counts.deleted;
      else if (result != ERROR_FILE_NOT_FOUND)
        throw RegStoreError(section.line, shown, result);
      if (tick) tick(++done);
      continue;
    }
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(root->key, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) throw RegStoreError(section.line, shown, result);
    ++counts.keys;
    for (const RegFileValue& value : section.values) {
      if (value.remove) {
        result = RegDeleteValueA(key, value.name.c_str());
        if (result == ERROR_SUCCESS) ++counts.deleted;
        if (result == ERROR_FILE_NOT_FOUND) result = ERROR_SUCCESS;
      } else {
        result = RegSetValueExA(key, value.name.c_str(), 0, value.type,
                                reinterpret_cast<const BYTE*>(value.data.data()),
                                static_cast<DWORD>(value.data.size()));
        ++counts.values;
      }
      if (result != ERROR_SUCCESS) {
        RegCloseKey(key);
        throw RegStoreError(value.line,
                            shown + "\\" + (value.name.empty() ? "(Default)" : value.name), result);
      }
      if (tick && ++done % 64 == 0) tick(done);
    }
    RegCloseKey(key);
    if (tick) tick(++done);
  }
  return counts;
}

}  // namespace plinth_regfile
