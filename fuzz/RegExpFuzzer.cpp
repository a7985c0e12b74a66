// Compiles a pattern, searches a subject and expands a template, all read from the input:
// [flags byte] pattern NUL subject NUL template. Besides what the sanitizers catch, the
// results must hang together: the match lies inside the subject, the found text is its bytes,
// a copy of the object answers as the original does, and a template expands to null exactly
// when the search failed.

#include <plinth/RegExp.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzInput.h"

using plinth_fuzz::Field;

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t flags = data[0];
  ++data;
  --size;
  const std::string pattern = Field(data, size);
  const std::string subject = Field(data, size);
  const std::string replaceExp = Field(data, size);

  CRegExp re;
  const bool noCase = flags & 1;
  if (!(noCase ? re.RegCompNoCase(pattern.c_str()) : re.RegComp(pattern.c_str()))) {
    Require(re.RegFind(subject.c_str()) == -1);
    return 0;
  }
  const int offset = noCase ? re.RegFindNoCase(subject.c_str()) : re.RegFind(subject.c_str());
  const std::unique_ptr<char[]> expanded(re.GetReplaceString(replaceExp.c_str()));
  Require((offset >= 0) == (expanded != nullptr));
  if (offset < 0) return 0;
  const int length = re.GetFindLen();
  Require(length >= 0 && static_cast<std::size_t>(offset) + static_cast<std::size_t>(length) <=
                             std::strlen(subject.c_str()));

  const std::unique_ptr<char[]> whole(re.GetReplaceString("&"));
  Require(std::strlen(whole.get()) == static_cast<std::size_t>(length));
  if (!noCase) Require(std::memcmp(whole.get(), subject.c_str() + offset, length) == 0);

  CRegExp copy;
  copy = re;
  const std::unique_ptr<char[]> copied(copy.GetReplaceString(replaceExp.c_str()));
  Require(copied && std::strcmp(copied.get(), expanded.get()) == 0);
  if (!noCase) Require(copy.RegFind(subject.c_str()) == offset && copy.GetFindLen() == length);
  return 0;
}
