// Replacement templates: "&" and "\0" stand for the whole match, "\1".."\9" for the groups,
// "\\" and "\&" for a backslash and an ampersand; every other byte stands for itself. Group
// text is taken from the object's own copy of the match, never from the searched text, which
// may be gone (RegFindNoCase searches a temporary copy).

#include <plinth/RegExp.h>
#include <plinth/win32.h>

#include <cstring>

#include "regex/RegProgram.h"

using namespace plinth_regex;

int CRegExp::GetFindLen() {
  if (!m_matchStart[0] || !m_matchEnd[0]) return 0;
  return static_cast<int>(m_matchEnd[0] - m_matchStart[0]);
}

namespace {

struct Piece {
  std::size_t offset;  // into the found text
  std::size_t length;
};

// Reads one template item at *cursor: either a literal byte (group < 0) or a group reference.
int NextItem(const char*& cursor, char& literal) {
  const char c = *cursor++;
  if (c == '&') return 0;
  if (c == '\\') {
    const char after = *cursor;
    if (after >= '0' && after <= '9') {
      ++cursor;
      return after - '0';
    }
    if (after == '\\' || after == '&') {
      ++cursor;
      literal = after;
      return -1;
    }
  }
  literal = c;
  return -1;
}

}  // namespace

char* CRegExp::GetReplaceString(const char* replaceExp) {
  if (!replaceExp || !m_foundText) return nullptr;
  const std::size_t foundLength = std::strlen(m_foundText);
  // Only differences of the match pointers are used: they may point into released text.
  auto group = [&](int g) -> Piece {
    if (!m_matchStart[0] || !m_matchStart[g] || !m_matchEnd[g] || m_matchEnd[g] <= m_matchStart[g])
      return {0, 0};
    const std::ptrdiff_t offset = m_matchStart[g] - m_matchStart[0];
    if (offset < 0 || static_cast<std::size_t>(offset) > foundLength) return {0, 0};
    std::size_t length = static_cast<std::size_t>(m_matchEnd[g] - m_matchStart[g]);
    if (length > foundLength - static_cast<std::size_t>(offset))
      length = foundLength - static_cast<std::size_t>(offset);
    return {static_cast<std::size_t>(offset), length};
  };

  std::size_t total = 0;
  char literal = 0;
  for (const char* cursor = replaceExp; *cursor;) {
    const int g = NextItem(cursor, literal);
    total += g < 0 ? 1 : group(g).length;
  }

  char* result = new char[total + 1];
  result[total] = '\0';
  const bool doubleByte = DoubleByteCodePage();
  char* out = result;
  for (const char* cursor = replaceExp; *cursor;) {
    const int g = NextItem(cursor, literal);
    if (g < 0) {
      *out++ = literal;
      continue;
    }
    const Piece piece = group(g);
    if (doubleByte)
      _mbsnbcpy(reinterpret_cast<unsigned char*>(out),
                reinterpret_cast<const unsigned char*>(m_foundText + piece.offset), piece.length);
    else
      std::memcpy(out, m_foundText + piece.offset, piece.length);
    out += piece.length;
  }
  return result;
}
