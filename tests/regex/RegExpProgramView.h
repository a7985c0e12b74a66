#pragma once
// Reads what a CRegExp keeps privately: its program bytes and its search short cuts.

#include <plinth/RegExp.h>

#include <string>

class CRegExpProgramView {
 public:
  // The program as hexadecimal bytes, nodes not separated: "06 06 00 09 03 00 ...".
  static std::string Hex(const CRegExp& re) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (int i = 0; re.m_program && i < re.m_programSize; ++i) {
      const unsigned char b = static_cast<unsigned char>(re.m_program[i]);
      hex += std::string(hex.empty() ? "" : " ") + digits[b >> 4] + digits[b & 15];
    }
    return hex;
  }
  static const char* Program(const CRegExp& re) { return re.m_program; }
  static char StartChar(const CRegExp& re) { return re.m_startChar; }
  static bool Anchored(const CRegExp& re) { return re.m_anchored != 0; }
  // The required literal, or "(none)".
  static std::string MustText(const CRegExp& re) {
    return re.m_mustText ? std::string(re.m_mustText) : std::string("(none)");
  }
  static bool MustTextInsideProgram(const CRegExp& re) {
    return !re.m_mustText ||
           (re.m_mustText >= re.m_program && re.m_mustText < re.m_program + re.m_programSize);
  }
  static const char* MatchStart(const CRegExp& re, int i) { return re.m_matchStart[i]; }
  static const char* MatchEnd(const CRegExp& re, int i) { return re.m_matchEnd[i]; }
  static const char* FoundText(const CRegExp& re) { return re.m_foundText; }
};
