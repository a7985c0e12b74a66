#pragma once
// Moving registry trees between the store and the registry editor's file format (RegFile.h):
// export walks a key with CRegistry's tree walk, import applies parsed sections with the Win32
// registry calls. Nothing here prints; the host's reg commands wrap these with messages.

#include <plinth/win32.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "RegFile.h"

namespace plinth_regfile {

struct RootName {
  const char* full;
  const char* brief;  // null when the root has no short form
  HKEY key;
};

// The predefined keys, by their full names and the short forms of the reg command.
extern const RootName kRootNames[7];

// The root named by text up to its first backslash (full name or short form, any case), or
// null; subkey receives the rest without leading or trailing backslashes.
const RootName* SplitRootPath(const std::string& text, std::string& subkey);

// A registry call that failed while a file was exported or imported.
class RegStoreError : public std::runtime_error {
 public:
  RegStoreError(std::size_t line, const std::string& what, LONG code)
      : std::runtime_error(what), line_(line), code_(code) {}
  std::size_t line() const { return line_; }  // the file's line, 0 for an export
  LONG code() const { return code_; }

 private:
  std::size_t line_;
  LONG code_;
};

// Called now and then with the number of keys (export) or entries (import) done so far;
// returns false to stop an export early (the reader of its output went away).
using RegFileTick = std::function<bool(std::uint64_t done)>;
// Takes the text written so far and empties it.
using RegFileSink = std::function<void(std::string& text)>;

// Writes the key root\subkey, shown as shownPath, and everything below it, header and end
// included. Returns the number of keys written, or throws RegStoreError (code
// ERROR_FILE_NOT_FOUND when the key is not there).
std::uint64_t ExportRegistryTree(HKEY root, const std::string& subkey,
                                 const std::string& shownPath, const RegFileSink& sink,
                                 const RegFileTick& tick);

struct ImportCounts {
  std::uint64_t keys = 0;
  std::uint64_t values = 0;
  std::uint64_t deleted = 0;  // keys and values deleted
};

// Applies sections in order. Throws RegStoreError for a root name it does not know
// (ERROR_BAD_PATHNAME) or a failing registry call; what is done before that stays done.
ImportCounts ImportRegFile(const std::vector<RegFileSection>& sections, const RegFileTick& tick);

}  // namespace plinth_regfile
