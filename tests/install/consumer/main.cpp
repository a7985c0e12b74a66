// Builds against the installed headers only: the umbrella header pulls in every public one, so
// a header left out of the install, or one that needs a private header, fails here. A few
// calls into each part of the library prove the installed one loads and links.
#include <plinth/Plinth.h>

#include <cstdio>
#include <cstring>

namespace {

int failures = 0;

void Expect(bool ok, const char* what, const char* got) {
  if (!ok) {
    std::printf("unexpected %s: '%s'\n", what, got);
    ++failures;
  }
}

void Expect(bool ok, const char* what, long got) {
  if (!ok) {
    std::printf("unexpected %s: %ld\n", what, got);
    ++failures;
  }
}

}  // namespace

int main() {
  CKaString text("colour, Colour, COLOUR");
  int replaced = text.FindReplaceNoCase("colour", "color", true);
  Expect(replaced == 3, "replacement count", replaced);
  Expect(std::strcmp(text.GetString(), "color, color, color") == 0, "replaced text", text);
  Expect(text.ReverseFind("color", -1) == 14, "ReverseFind", text.ReverseFind("color", -1));

  CRegExp pattern;
  Expect(pattern.RegComp("(GNU) ([A-Z][a-z]+)") != nullptr, "RegComp", "null");
  Expect(pattern.RegFind("the GNU General Public") == 4, "RegFind",
         pattern.RegFind("the GNU General Public"));
  Expect(pattern.GetFindLen() == 11, "GetFindLen", pattern.GetFindLen());
  char* swapped = pattern.GetReplaceString("\\2 \\1");
  Expect(swapped != nullptr && std::strcmp(swapped, "General GNU") == 0, "GetReplaceString",
         swapped ? swapped : "null");
  delete[] swapped;
  CKaString versions("v1 v22 v333");
  Expect(RegSearchReplace(versions, "v[0-9]+", "<&>") == 3, "RegSearchReplace count", versions);
  Expect(std::strcmp(versions, "<v1> <v22> <v333>") == 0, "RegSearchReplace text", versions);

  CString base = CKaPath::Basename("C:\\tools\\app.exe", true);
  Expect(std::strcmp(base, "app") == 0, "Basename", base);

  Expect(CKaOSVersionInfo::IsOSNT(), "IsOSNT", "false");
  Expect(CKaOSVersionInfo::GetMajorVersion() > 0, "GetMajorVersion",
         static_cast<long>(CKaOSVersionInfo::GetMajorVersion()));

  if (failures != 0) return 1;
  std::printf("%s; %s; %s; OS %lu.%lu\n", text.GetString(), versions.GetString(),
              base.GetString(), CKaOSVersionInfo::GetMajorVersion(),
              CKaOSVersionInfo::GetMinorVersion());
  return 0;
}
