// The replacing members against literal, slow renderings of their step-by-step definitions, on
// many small random texts: single-byte and Shift-JIS (lead bytes, trail bytes that look like a
// backslash or a letter), mixed case, embedded NULs, empty texts, overlapping finds.
#include <gtest/gtest.h>
#include <plinth/KaString.h>
#include <plinth/win32.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "support/Environment.h"
#include "support/Wine.h"

namespace {

const unsigned char* U(const char* s) { return reinterpret_cast<const unsigned char*>(s); }
std::string Str(const CString& s) { return std::string(s.GetString(), s.GetLength()); }

// Reference: search with _mbsstr, edit in place, search again right after the replacement.
int NaiveFindReplace(CKaString& s, const char* find, const char* replacement, bool all) {
  const int f = static_cast<int>(std::strlen(find)), r = static_cast<int>(std::strlen(replacement));
  int count = 0;
  const unsigned char* hit = _mbsstr(U(s.GetString()), U(find));
  while (hit) {
    const int p = static_cast<int>(hit - U(s.GetString()));
    s.Replace(p, f, replacement);
    ++count;
    if (!all) break;
    hit = _mbsstr(U(s.GetString()) + p + r, U(find));
  }
  return count;
}

// Reference: search a lowered copy that never changes, edit the object at a shifting offset.
int NaiveFindReplaceNoCase(CKaString& s, const char* find, const char* replacement, bool all) {
  CString lowered(s), loweredFind(find);
  lowered.MakeLower();
  loweredFind.MakeLower();
  const int f = loweredFind.GetLength(), r = static_cast<int>(std::strlen(replacement));
  int count = 0, shift = 0;
  const unsigned char* hit = _mbsstr(U(lowered.GetString()), U(loweredFind.GetString()));
  while (hit) {
    const int p = static_cast<int>(hit - U(lowered.GetString()));
    s.Replace(p + shift, f, replacement);
    shift += r - f;
    ++count;
    if (!all) break;
    hit = _mbsstr(U(lowered.GetString()) + p + f, U(loweredFind.GetString()));
  }
  return count;
}

// Reference: at each position try every entry in order; returns -1 for a missing partner. An
// empty entry stands everywhere, but one with a partner is left out (it would never end).
int NaiveFindReplaceArray(std::string& s, const CStringArray& finds, const CStringArray& reps) {
  int count = 0;
  for (size_t pos = 0; pos < s.size();) {
    INT_PTR winner = -1;
    for (INT_PTR i = 0; i < finds.GetSize() && winner < 0; ++i) {
      const std::string f = Str(finds[i]);
      const bool stands = f.empty() ? i >= reps.GetSize() : s.compare(pos, f.size(), f) == 0;
      if (stands) winner = i;
    }
    if (winner < 0) {
      ++pos;
      continue;
    }
    if (winner >= reps.GetSize()) return -1;
    const std::string r = Str(reps[winner]);
    s.replace(pos, finds[winner].GetLength(), r);
    pos += r.size();
    ++count;
  }
  return count;
}

class ReplaceDifferential : public testing::Test {
protected:
  void SetUp() override { savedPage_ = _getmbcp(); }
  void TearDown() override {
    _setmbcp(savedPage_);
    plinth::test::RemoveEnvironmentVariableForTest("PLINTH_TEXT_AUTOMATON");
  }

  std::string Random(const std::string& alphabet, size_t maxLength, size_t minLength = 0) {
    std::string s(std::uniform_int_distribution<size_t>(minLength, maxLength)(rng_), ' ');
    for (char& c : s) c = alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(rng_)];
    return s;
  }

  // Runs FindReplaceArray and the reference on the same input; a missing partner must raise
  // CInvalidArgException and leave the same partial result.
  void CheckArray(const std::string& text, const CStringArray& finds, const CStringArray& reps) {
    std::string expected = text;
    const int expectedCount = NaiveFindReplaceArray(expected, finds, reps);
    CKaString s(text.data(), static_cast<int>(text.size()));
    CStringArray f(finds), r(reps);
    int count = -1;
    try {
      count = s.FindReplaceArray(f, r);
    } catch (CInvalidArgException* e) {
      e->Delete();
    }
    ASSERT_EQ(count, expectedCount) << '"' << text << '"';
    ASSERT_EQ(Str(s), expected) << '"' << text << '"';
  }

  std::mt19937 rng_{20240611};

private:
  int savedPage_ = 0;
};

TEST_F(ReplaceDifferential, FindReplaceAndNoCaseMatchTheStepByStepLoops) {
  const std::string alphabets[] = {std::string("aAbB\0", 5), std::string("aAb\x81\x5C\xE0@\0", 8)};
  // The reference searches with _mbsstr, which Wine does byte by byte, so there it is a
  // reference for single-byte pages only.
  for (int page : {0, 932}) {
    if (page != 0 && plinth::test::RunningUnderWine()) continue;
    ASSERT_EQ(_setmbcp(page), 0);
    const std::string& alphabet = alphabets[page ? 1 : 0];
    const std::string noNul = alphabet.substr(0, alphabet.size() - 1);
    for (int round = 0; round < 4000; ++round) {
      const std::string text = Random(alphabet, 14);
      const std::string find = Random(noNul, 3, 1), replacement = Random(noNul, 3);
      const bool all = round % 4 != 0, noCase = round % 2 != 0;
      CKaString expected(text.data(), static_cast<int>(text.size())), actual(expected);
      const int expectedCount =
          noCase ? NaiveFindReplaceNoCase(expected, find.c_str(), replacement.c_str(), all)
                 : NaiveFindReplace(expected, find.c_str(), replacement.c_str(), all);
      const int count = noCase ? actual.FindReplaceNoCase(find.c_str(), replacement.c_str(), all)
                               : actual.FindReplace(find.c_str(), replacement.c_str(), all);
      ASSERT_EQ(count, expectedCount) << page << " '" << text << "' " << find << noCase << all;
      ASSERT_EQ(Str(actual), Str(expected)) << page << " '" << text << "' " << find;
    }
  }
}

// Repetitive texts make a first-byte search compare nearly the whole find at every byte; the
// search then changes method part-way through a text, which must not lose or add a match.
TEST_F(ReplaceDifferential, FindReplaceOnRepetitiveTextsMatchesTheStepByStepLoop) {
  ASSERT_EQ(_setmbcp(0), 0);
  struct Case {
    std::string text, find;
  };
  const std::string run(3000, 'a');
  const Case cases[] = {
      {run + "b" + run + "ab" + run + "b", std::string(100, 'a') + "b"},
      {run + run, std::string(200, 'a')},  // overlapping candidates everywhere
      {run + "ba" + run, "ab" + std::string(500, 'a')},
      {std::string(20000, 'a'), std::string(1000, 'a') + "c"},  // no match at all
  };
  for (const Case& c : cases) {
    CKaString expected(c.text.c_str()), actual(expected);
    const int expectedCount = NaiveFindReplace(expected, c.find.c_str(), "<>", true);
    EXPECT_EQ(actual.FindReplace(c.find.c_str(), "<>", true), expectedCount) << c.find.size();
    EXPECT_EQ(Str(actual), Str(expected)) << c.find.size();
  }
}

TEST_F(ReplaceDifferential, FindReplaceArrayMatchesTheNaivePassInBothAutomata) {
  const std::string alphabet("abcA\x81\0", 6);
  for (const char* mode : {"dense", "sparse"}) {
    plinth::test::SetEnvironmentVariableForTest("PLINTH_TEXT_AUTOMATON", mode);
    for (int round = 0; round < 4000; ++round) {
      CStringArray finds, reps;
      const int n = std::uniform_int_distribution<int>(0, 5)(rng_);
      for (int i = 0; i < n; ++i) {
        const std::string f = Random(alphabet, 3), r = Random(alphabet, 3);
        finds.Add(CString(f.data(), static_cast<int>(f.size())));
        reps.Add(CString(r.data(), static_cast<int>(r.size())));
      }
      if (round % 10 == 0 && n > 0) reps.SetSize(n - 1);  // a partner missing
      CheckArray(Random(alphabet, 16), finds, reps);
    }
  }
}

TEST_F(ReplaceDifferential, FindReplaceArrayWithThousandsOfFinds) {
  CStringArray finds, reps;
  for (int i = 0; i < 3000; ++i) {
    finds.Add(Random("abcd", 9, 2).c_str());
    reps.Add(Random("xyz", 4).c_str());
  }
  const std::string text = Random("abcde", 6000, 6000);
  for (const char* mode : {"dense", "sparse"}) {
    plinth::test::SetEnvironmentVariableForTest("PLINTH_TEXT_AUTOMATON", mode);
    CheckArray(text, finds, reps);
  }
  // So many distinct bytes and states that the dense table is out of reach.
  plinth::test::RemoveEnvironmentVariableForTest("PLINTH_TEXT_AUTOMATON");
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += static_cast<char>(b);
  CStringArray wide;
  for (int i = 0; i < 2500; ++i) wide.Add(Random(bytes, 12, 8).c_str());
  wide.Add("ab");
  std::string wideText = Random(bytes, 4000, 4000) + Str(wide[100]) + "xab";
  CheckArray(wideText, wide, reps);
}

}  // namespace
