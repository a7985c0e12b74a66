// CRegExp on generated patterns and subjects against naive references: acceptance against a
// parser written from the syntax rules alone; offset, length and all nine groups against a
// recursive matcher that runs the program node by node as the matching rules describe it,
// trying every position with no short cuts; the whole match against std::regex (ECMAScript is
// also leftmost, first-alternative and greedy) on the syntax both share.

#include <gtest/gtest.h>
#include <plinth/RegExp.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <regex>
#include <string>

#include "regex/RegExpProgramView.h"

namespace {

using I = CRegExpProgramView;

// --- acceptance, from the syntax rules -------------------------------------------------------
class ReferenceParser {
 public:
  static bool Accepts(const char* pattern) {
    ReferenceParser parser(pattern);
    bool nonEmpty = false;
    return parser.Alternation(false, nonEmpty);
  }

 private:
  explicit ReferenceParser(const char* pattern) : p_(pattern) {}
  static bool Repeat(char c) { return c == '*' || c == '+' || c == '?'; }

  bool Alternation(bool group, bool& nonEmpty) {
    nonEmpty = true;
    do {
      bool branch = false;
      if (!Branch(branch)) return false;
      nonEmpty = nonEmpty && branch;
    } while (*p_ == '|' && ++p_);
    return group ? *p_++ == ')' : *p_ == '\0';
  }
  bool Branch(bool& nonEmpty) {
    nonEmpty = false;
    while (*p_ && *p_ != '|' && *p_ != ')') {
      bool piece = false;
      if (!Piece(piece)) return false;
      nonEmpty = nonEmpty || piece;
    }
    return true;
  }
  bool Piece(bool& nonEmpty) {
    if (!Atom(nonEmpty)) return false;
    const char op = *p_;
    if (!Repeat(op)) return true;
    if (!nonEmpty && op != '?') return false;  // an empty atom may only be optional
    nonEmpty = op == '+';
    return !Repeat(*++p_);
  }
  bool Atom(bool& nonEmpty) {
    nonEmpty = true;
    if (!*p_ || std::strchr(")|*+?", *p_)) return false;
    switch (*p_) {
      case '^':
      case '$':
        ++p_;
        nonEmpty = false;
        return true;
      case '(': ++p_; return ++groups_ <= 9 && Alternation(true, nonEmpty);
      case '\\':
        if (!p_[1]) return false;
        p_ += 2;
        return true;
      case '[': {
        ++p_;
        if (*p_ == '^') ++p_;
        char previous = 0;
        if (*p_ == ']' || *p_ == '-') previous = *p_++;
        while (*p_) {
          const char member = *p_++;
          if (member == ']') return true;
          if (member == '-' && *p_ != ']' && *p_) {
            if (static_cast<signed char>(previous) > static_cast<signed char>(*p_)) return false;
            previous = *p_++;
            continue;
          }
          previous = member;
        }
        return false;
      }
      default:
        ++p_;  // one literal byte is as good as a run for acceptance
        return true;
    }
  }

  const char* p_;
  int groups_ = 0;
};

// --- matching, node by node as described ---------------------------------------------------
class ReferenceMatcher {
 public:
  explicit ReferenceMatcher(const char* program) : program_(program) {}

  // Offset of the leftmost match, trying every position; the groups are then in start/end.
  int Find(const char* text) {
    start_ = text;
    for (const char* s = text;; ++s) {
      input_ = s;
      for (int i = 0; i < 10; ++i) start[i] = end[i] = nullptr;
      if (Match(program_)) {
        start[0] = s;
        end[0] = input_;
        return static_cast<int>(s - text);
      }
      if (!*s) return -1;
    }
  }

  const char* start[10];
  const char* end[10];

 private:
  const char* Next(const char* node) const {
    const int link = static_cast<std::int16_t>(static_cast<unsigned char>(node[1]) |
                                               (static_cast<unsigned char>(node[2]) << 8));
    if (!link) return nullptr;
    return node[0] == 7 ? node - link : node + link;
  }
  // Whether one byte matches an ANY, ANYOF, ANYBUT or (first byte of an) EXACTLY node.
  bool Single(const char* node, char c) const {
    switch (node[0]) {
      case 3: return true;
      case 4: return std::strchr(node + 3, c) != nullptr;
      case 5: return std::strchr(node + 3, c) == nullptr;
      default: return c == node[3];
    }
  }
  int Repeat(const char* node) const {
    int n = 0;
    while (input_[n] && Single(node, input_[n])) ++n;
    return n;
  }
  bool Match(const char* node) {
    while (node) {
      const char* next = Next(node);
      const char op = node[0];
      switch (op) {
        case 0: return true;
        case 1:
          if (input_ != start_) return false;
          break;
        case 2:
          if (*input_) return false;
          break;
        case 3:
        case 4:
        case 5:
          if (!*input_ || !Single(node, *input_)) return false;
          ++input_;
          break;
        case 8: {
          const std::size_t n = std::strlen(node + 3);
          if (std::strncmp(node + 3, input_, n) != 0) return false;
          input_ += n;
          break;
        }
        case 9:
        case 7: break;
        case 6:
          if (!next || next[0] != 6) {
            next = node + 3;
            break;
          }
          for (const char* alternative = node; alternative && alternative[0] == 6;
               alternative = Next(alternative)) {
            const char* saved = input_;
            if (Match(alternative + 3)) return true;
            input_ = saved;
          }
          return false;
        case 10:
        case 11: {
          const int least = op == 11 ? 1 : 0;
          const char nextByte = next && next[0] == 8 ? next[3] : 0;
          const char* p = input_;
          for (int k = Repeat(node + 3); k >= least; --k) {
            input_ = p + k;
            if ((!nextByte || *input_ == nextByte) && Match(next)) return true;
          }
          return false;
        }
        default:
          if (op > 20 && op < 40 && op != 30) {
            const char* p = input_;
            if (!Match(next)) return false;
            const char*& slot = op < 30 ? start[op - 20] : end[op - 30];
            if (!slot) slot = p;
            return true;
          }
          return false;
      }
      node = next;
    }
    return false;
  }

  const char* program_;
  const char* start_ = nullptr;
  const char* input_ = nullptr;
};

// --- generated inputs ------------------------------------------------------------------------
class Generator {
 public:
  explicit Generator(std::uint32_t seed, bool shared) : rng_(seed), shared_(shared) {}

  std::string Pattern() {
    groups_ = 0;
    std::string pattern = Alternation(0);
    // Now and then a slip of the keyboard, to reach the errors too.
    if (!shared_ && Chance(15) && !pattern.empty()) {
      static const char slips[] = "()|*+?[]^$\\-a";
      const std::size_t at = Below(pattern.size());
      switch (Below(3)) {
        case 0: pattern[at] = slips[Below(sizeof slips - 1)]; break;
        case 1: pattern.erase(at, 1); break;
        default: pattern.insert(at, 1, slips[Below(sizeof slips - 1)]); break;
      }
    }
    return pattern;
  }

  std::string Subject() {
    std::string subject;
    for (std::size_t n = Below(9); n > 0; --n) subject += "abc"[Below(3)];
    return subject;
  }

 private:
  std::size_t Below(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
  }
  bool Chance(int percent) { return static_cast<int>(Below(100)) < percent; }

  std::string Alternation(int depth) {
    std::string result = Branch(depth);
    while (Chance(25)) result += "|" + Branch(depth);
    return result;
  }
  std::string Branch(int depth) {
    std::string result;
    for (std::size_t n = Below(4); n > 0; --n) {
      result += Atom(depth);
      if (Chance(35)) result += "*+?"[Below(3)];
    }
    return result;
  }
  std::string Atom(int depth) {
    const std::size_t kind = Below(20);
    if (kind < 9) return std::string(1, "abc"[Below(3)]);
    if (kind < 11) return ".";
    if (kind < 13) {
      static const char* sets[] = {"[ab]", "[^a]", "[a-b]", "[^bc]", "[c]", "[a-c]"};
      return sets[Below(6)];
    }
    if (kind < 14) return Chance(50) ? "^" : "$";
    if (kind < 15 && !shared_) return Chance(50) ? "\\a" : "\\(";
    if (depth < 3 && groups_ < 9) {
      ++groups_;
      return "(" + Alternation(depth + 1) + ")";
    }
    return "b";
  }

  std::mt19937 rng_;
  bool shared_;
  int groups_ = 0;
};

// Offset, length and all nine groups of one search against the reference; true on a match.
bool AgreesWithReference(CRegExp& re, const std::string& pattern, const std::string& subject) {
  ReferenceMatcher reference(I::Program(re));
  const char* text = subject.c_str();
  const int expected = reference.Find(text);
  const std::string where = "pattern: " + pattern + " subject: " + subject;
  EXPECT_EQ(re.RegFind(text), expected) << where;
  if (expected < 0) return false;
  EXPECT_EQ(re.GetFindLen(), reference.end[0] - reference.start[0]) << where;
  for (int g = 1; g < 10; ++g) {
    EXPECT_EQ(I::MatchStart(re, g), reference.start[g]) << "group " << g << " " << where;
    EXPECT_EQ(I::MatchEnd(re, g), reference.end[g]) << "group " << g << " " << where;
  }
  return true;
}

TEST(RegExpDifferentialTest, AgreesWithTheReferenceMatcher) {
  Generator generator(20240601, false);
  int compiled = 0;
  int matched = 0;
  for (int round = 0; round < 30000 && !HasFailure(); ++round) {
    const std::string pattern = generator.Pattern();
    CRegExp re;
    const bool accepted = re.RegComp(pattern.c_str()) != nullptr;
    ASSERT_EQ(accepted, ReferenceParser::Accepts(pattern.c_str())) << "pattern: " << pattern;
    if (!accepted) continue;
    ++compiled;
    for (int s = 0; s < 4; ++s) matched += AgreesWithReference(re, pattern, generator.Subject());
  }
  // The generator must keep reaching both sides of every question.
  EXPECT_GT(compiled, 15000);
  EXPECT_LT(compiled, 29000);
  EXPECT_GT(matched, 30000);
}

// Subjects long enough for nested choices to spend the search's budget, so that the results
// found while remembering failed states are compared too.
TEST(RegExpDifferentialTest, AgreesOnceFailuresAreRemembered) {
  const char* patterns[] = {
      "((a|a)*b|(a+)(c|a)$)", "(a|a)*(b|c)", "((a|a)(a|b)?)*c|(a)*d",
      "(a|a)*(aa)*b|(a*)",    "((a|a)*)(c)", "x|((a|a)+)(b|a(c))",
  };
  const std::string a13(13, 'a');
  const std::string subjects[] = {a13 + "c", a13 + "b", a13 + "d", a13.substr(2) + "ba", "c" + a13};
  for (const char* pattern : patterns) {
    CRegExp re;
    ASSERT_TRUE(re.RegComp(pattern)) << pattern;
    for (const std::string& subject : subjects) AgreesWithReference(re, pattern, subject);
  }
}

TEST(RegExpDifferentialTest, WholeMatchAgreesWithStdRegex) {
  Generator generator(7, true);
  int compared = 0;
  for (int round = 0; round < 10000; ++round) {
    const std::string pattern = generator.Pattern();
    CRegExp re;
    if (!re.RegComp(pattern.c_str())) continue;
    std::regex peer;
    try {
      peer.assign(pattern, std::regex::ECMAScript);
    } catch (const std::regex_error&) {
      continue;  // a quantified assertion, which ECMAScript refuses
    }
    for (int s = 0; s < 3; ++s) {
      const std::string subject = generator.Subject();
      std::smatch found;
      const bool peerFound = std::regex_search(subject, found, peer);
      const std::string where = "pattern: " + pattern + " subject: " + subject;
      ASSERT_EQ(re.RegFind(subject.c_str()), peerFound ? found.position(0) : -1) << where;
      if (peerFound) {
        ASSERT_EQ(re.GetFindLen(), found.length(0)) << where;
      }
      ++compared;
    }
  }
  EXPECT_GT(compared, 15000);
}

}  // namespace
