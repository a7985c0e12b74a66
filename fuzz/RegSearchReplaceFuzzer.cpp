// RegSearchReplace on pattern NUL replacement NUL text read from the input. The result is
// checked against the loop it stands for: replace a match in place, search on after the
// inserted text, step over one byte after an empty match, stop at an expansion equal to the
// whole text without regard to case.

#include <plinth/RegExp.h>
#include <plinth/win32.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzInput.h"

using plinth_fuzz::Field;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;  // the in-place model below is quadratic
  const std::string pattern = Field(data, size);
  const std::string replacement = Field(data, size);
  const std::string original = Field(data, size);

  CKaString expected(original.c_str());
  int count = 0;
  CRegExp re;
  if (re.RegComp(pattern.c_str())) {
    int resume = 0;
    for (int m = re.RegFind(expected); m >= 0;
         m = re.RegFind(static_cast<const char*>(expected) + resume)) {
      const std::unique_ptr<char[]> r(re.GetReplaceString(replacement.c_str()));
      if (_mbsicmp(reinterpret_cast<const unsigned char*>(r.get()),
                   reinterpret_cast<const unsigned char*>(static_cast<const char*>(expected))) == 0)
        break;
      ++count;
      const int at = resume + m;
      const int length = re.GetFindLen();
      expected.Replace(at, length, r.get());
      resume = at + static_cast<int>(std::strlen(r.get()));
      if (length == 0) {
        if (resume >= expected.GetLength()) break;
        ++resume;
      }
      if (expected.GetLength() > 1 << 20) return 0;  // runaway growth: nothing more to learn
    }
  }

  CKaString text(original.c_str());
  const int replaced = RegSearchReplace(text, pattern.c_str(), replacement.c_str());
  if (replaced != count || std::strcmp(text, expected) != 0) std::abort();
  return 0;
}
