// Search and replace over a whole CKaString. Replacing each match in place would move the
// rest of the text once per match; instead the result is written in one pass, copying the text
// between matches and the expansions, while every search still runs on the rest of the text
// from where the previous replacement ended (so "^" matches there).

#include <plinth/RegExp.h>
#include <plinth/win32.h>

#include <cstring>
#include <memory>
#include <string>

int RegSearchReplace(CKaString& text, const char* pattern, const char* replacement) {
  if (!replacement) return 0;
  CRegExp expression;
  if (!expression.RegComp(pattern)) return 0;

  const char* const base = text;
  const std::size_t searchable = std::strlen(base);  // searches stop at the first NUL
  std::string result;
  std::size_t resume = 0;
  int count = 0;
  while (resume <= searchable) {
    const int found = expression.RegFind(base + resume);
    if (found < 0) break;
    const std::unique_ptr<char[]> expansion(expression.GetReplaceString(replacement));
    if (!expansion) break;
    const std::size_t expansionLength = std::strlen(expansion.get());

    // The loop stops at an expansion equal to the whole current text, ignoring case.
    if (expansionLength == result.size() + (searchable - resume)) {
      std::string current = result;
      current.append(base + resume, searchable - resume);
      if (_mbsicmp(reinterpret_cast<const unsigned char*>(expansion.get()),
                   reinterpret_cast<const unsigned char*>(current.c_str())) == 0)
        break;
    }

    ++count;
    const std::size_t matchAt = resume + static_cast<std::size_t>(found);
    const std::size_t matchLength = static_cast<std::size_t>(expression.GetFindLen());
    result.append(base + resume, static_cast<std::size_t>(found));
    result.append(expansion.get(), expansionLength);
    resume = matchAt + matchLength;
    if (matchLength == 0) {
      // An empty match would be found again at the same place: keep the character after it
      // and go on behind it.
      if (resume >= searchable) break;
      std::size_t step =
          static_cast<std::size_t>(_mbsinc(reinterpret_cast<const unsigned char*>(base + resume)) -
                                   reinterpret_cast<const unsigned char*>(base + resume));
      if (step == 0 || step > searchable - resume) step = 1;
      result.append(base + resume, step);
      resume += step;
    }
  }
  if (count == 0) return 0;
  const std::size_t whole = static_cast<std::size_t>(text.GetLength());
  if (resume < whole) result.append(base + resume, whole - resume);
  text = CKaString(result.data(), static_cast<int>(result.size()));
  return count;
}
