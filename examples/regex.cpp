// Pattern matching with CRegExp, replacement templates and RegSearchReplace.
#include <plinth/Plinth.h>

#include <cstdio>

int main() {
  CRegExp date;
  // RegComp answers null for a pattern that does not compile.
  if (!date.RegComp("([0-9]+)-([0-9]+)-([0-9]+)")) return 1;

  const char* subject = "Released on 2024-03-17, patched 2024-04-02.";
  int at = date.RegFind(subject);
  std::printf("first date at %d, %d bytes long\n", at, date.GetFindLen());

  // "&" is the whole match, "\1".."\9" the groups. The buffer is the caller's: delete[] it.
  char* swapped = date.GetReplaceString("\\3.\\2.\\1 (was &)");
  if (swapped) {
    std::printf("rewritten: %s\n", swapped);
    delete[] swapped;
  }

  // RegFindNoCase lowers the text before searching; compile the pattern in lower case too.
  CRegExp word;
  word.RegCompNoCase("patch(ed)?");
  std::printf("no-case search: %d\n", word.RegFindNoCase("Has it been PATCHED?"));

  // An invalid pattern: the object keeps the program it had.
  std::printf("unbalanced group compiles: %s\n", word.RegComp("(ab") ? "yes" : "no");

  // Every match replaced left to right; inserted text is never searched again.
  CKaString text(subject);
  int count = RegSearchReplace(text, "([0-9]+)-([0-9]+)-([0-9]+)", "\\3/\\2/\\1");
  std::printf("%d replaced: %s\n", count, text.GetString());

  // An empty match keeps the byte after it and goes on behind it.
  CKaString gaps("abc");
  count = RegSearchReplace(gaps, "x*", "-");
  std::printf("%d empty matches: %s\n", count, gaps.GetString());
  return 0;
}
