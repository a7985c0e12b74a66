// CKaString fields, delimited fields, quoting and multi-strings.
#include <gtest/gtest.h>
#include <plinth/KaString.h>
#include <plinth/win32.h>

#include <cstring>
#include <string>

namespace {

std::string Str(const CString& s) { return std::string(s.GetString(), s.GetLength()); }

// Switches the multibyte code page for one test.
class CodePage {
 public:
  explicit CodePage(int page) : saved_(_getmbcp()) { _setmbcp(page); }
  ~CodePage() { _setmbcp(saved_); }

 private:
  int saved_;
};

// Each field is read with the delimiter as a byte and as a one-byte text; the counts likewise.
// A delimiter of at most one byte is also tried as that byte ("": NUL).
TEST(KaStringFields, GetFieldAndCount) {
  // clang-format off
  struct Case { std::string text; const char* delimiter; int n; std::string field; int count; };
  const Case cases[] = {
      {"a,b,,c", ",",  0, "a",   4},  {"a,b,,c", ",",  2, "",    4},  {"a,b,,c", ",",  3, "c", 4},
      {"a,b,,c", ",",  4, "",    4},  {"a,b,,c", ",", -1, "",    4},  {"",       ",",  0, "",  1},
      {"abc",    ",",  0, "abc", 1},  {"abc",    ",",  1, "",    1},  {"a,",     ",",  1, "",  2},
      {",,,",    ",",  3, "",    4},
      {"a,b,c",  ",",  2147483647, "", 3},  // a far field ends the walk at the end
      {"a,b",    "",   0, "a,b", 1},  {"a,b",    "",   1, "",    1},  // NUL or "" is never found
      {"a,b", nullptr, 0, "a,b", 1},
      {std::string("a\0b", 3), "", 0, std::string("a\0b", 3), 1},
      {std::string("a,b\0,c", 6), ",", 1, std::string("b\0,c", 4), 2},  // searched up to the NUL
      {"x::y::z", "::", 1, "y",   3},  {"x::y::z", "::", 2, "z", 3},
      {"x:::y",   "::", 1, ":y",  2},  {"::::",    "::", 2, "",  3},  // occurrences do not overlap
  };
  // clang-format on
  for (const Case& c : cases) {
    CKaString s(c.text.data(), static_cast<int>(c.text.size()));
    const std::string row = "'" + c.text + "' " + (c.delimiter ? c.delimiter : "(null)");
    EXPECT_EQ(Str(s.GetField(c.delimiter, c.n)), c.field) << row << " " << c.n;
    EXPECT_EQ(s.GetFieldCount(c.delimiter), c.count) << row;
    if (c.delimiter && std::strlen(c.delimiter) <= 1) {
      EXPECT_EQ(Str(s.GetField(c.delimiter[0], c.n)), c.field) << row << " as a byte " << c.n;
      EXPECT_EQ(s.GetFieldCount(c.delimiter[0]), c.count) << row << " as a byte";
    }
    EXPECT_EQ(Str(s), c.text);
  }
}

TEST(KaStringFields, DoubleBytePage) {
  const CodePage sjis(932);
  // Delimiters never match trail bytes: 0x83 0x5C is one character ending in a backslash.
  CKaString s("a\x83\\b\\c");
  EXPECT_EQ(s.GetFieldCount('\\'), 2);
  EXPECT_EQ(s.GetFieldCount("\\"), 2);
  EXPECT_EQ(Str(s.GetField('\\', 0)), "a\x83\\b");
  EXPECT_EQ(Str(s.GetField("\\", 1)), "c");
  EXPECT_EQ(Str(s.GetDelimitedField("\\", "c", 0)), "");
  CKaString list("\x83\\;x");
  list.NullSeparate('\\');
  EXPECT_EQ(std::string(list.GetString(), 6), std::string("\x83\\;x\0\0", 6));

  // Long lists stay linear: a quadratic walk would take minutes here, in this page above all.
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "ab::";
  CKaString many(text.c_str());
  EXPECT_EQ(many.GetFieldCount("::"), 200001);
  EXPECT_EQ(many.GetFieldCount(':'), 400001);
  EXPECT_EQ(Str(many.GetField("::", 199999)), "ab");
  EXPECT_EQ(Str(many.GetDelimitedField("a", "b", 199999)), "");
}

TEST(KaStringFields, GetDelimitedField) {
  // clang-format off
  struct Case { const char* text; const char* open; const char* close;
    int n; const char* expected; };
  const Case cases[] = {
      {"x[a]y[b]",   "[",  "]",   0, "a"},   {"x[a]y[b]", "[",  "]",  1, "b"},
      {"x[a]y[b]",   "[",  "]",   2, ""},    {"x[a]y[b]", "[",  "]", -1, ""},
      {"x[a",        "[",  "]",   0, ""},    {"",         "[",  "]",  0, ""},
      {"#a# #b#",    "#",  "#",   0, "a"},   {"#a# #b#",  "#",  "#",  1, " "},
      {"#a# #b#",    "#",  "#",   2, "b"},   {"#a# #b#",  "#",  "#",  3, ""},
      {"[[a]]",      "[",  "]]",  0, "[a"},  {"<<a>><<b>>", "<<", ">>", 1, "b"},
      {"[[a]]",      "[",  "]]",  1, "a"},    // resumes right after the open delimiter
      {"<<<a>",      "<<", ">",   1, ""},     // no "<<" starts after the first one
      {"ab]c]",      "",   "]",   0, "ab"},   // an empty open delimiter stands at the start
      {"ab]c]",      "",   "]",   5, "ab"}, {"x[a]", "[", "", 0, ""}, {"x[a]", "[", nullptr, 0, ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    CKaString s(c.text);
    EXPECT_EQ(Str(s.GetDelimitedField(c.open, c.close, c.n)), c.expected)
        << c.text << " " << c.open << " " << (c.close ? c.close : "(null)") << " " << c.n;
  }
}

TEST(KaStringFields, Quoting) {
  // clang-format off
  struct Case { std::string text; char q; bool quoted; std::string quote; std::string unquote; };
  const Case cases[] = {
      {"#abc#", '#', true,  "#abc#",  "abc"},   {"#a#b#", '#', true,  "#a#b#",  "a#b"},
      {"#",     '#', true,  "#",      ""},      {"##",    '#', true,  "##",     ""},
      {"#abc",  '#', false, "##abc#", "#abc"},  {"abc#",  '#', false, "#abc##", "abc#"},
      {"x#",    '#', false, "#x##",   "x#"},    {"abc",   '#', false, "#abc#",  "abc"},
      {"",      '#', false, "##",     ""},      {"\"a b\"", '"', true, "\"a b\"", "a b"},
      {"abc",   '\0', false, "abc",   "abc"},   // NUL never quotes
      {"",      '\0', false, "",      ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    CKaString s(c.text.c_str());
    EXPECT_EQ(s.IsQuoted(c.q), c.quoted) << "'" << c.text << "'";
    CKaString quoted(s);
    EXPECT_EQ(&quoted.Quote(c.q), &quoted);
    EXPECT_EQ(Str(quoted), c.quote) << "'" << c.text << "'";
    CKaString unquoted(s);
    EXPECT_EQ(&unquoted.Unquote(c.q), &unquoted);
    EXPECT_EQ(Str(unquoted), c.unquote) << "'" << c.text << "'";
  }
}

TEST(KaStringFields, DelimitAndPropertyString) {
  CKaString s("<abc>");
  EXPECT_EQ(&s.Delimit(CKaString("<"), CKaString(">")), &s);
  EXPECT_EQ(Str(s), "<<abc>>");
  s.Delimit(CKaString(""), CKaString(""));
  EXPECT_EQ(Str(s), "<<abc>>");
  CKaString self("ab");
  self.Delimit(self, self);  // both are the text as it was before
  EXPECT_EQ(Str(self), "ababab");

  CKaString p("old");
  EXPECT_EQ(&p.CreatePropertyString(CKaString("Name"), CKaString("Value")), &p);
  EXPECT_EQ(Str(p), "Name = Value");
  p.CreatePropertyString(CKaString(""), CKaString(""));
  EXPECT_EQ(Str(p), " = ");
  CKaString q("x%s");
  q.CreatePropertyString(q, CKaString("%d"));
  EXPECT_EQ(Str(q), "x%s = %d");
}

TEST(KaStringFields, NullSeparate) {
  // clang-format off
  // buffer is the list with its closing NULs.
  struct Case { std::string text; char separator; std::string buffer; int length; };
  const Case cases[] = {
      {"a;b;c", ';', std::string("a\0b\0c\0\0", 7), 1},  {"a",  ';', std::string("a\0\0", 3), 1},
      {"a;;b",  ';', std::string("a\0\0b\0\0", 6), 1},  {";a", ';', std::string("\0a\0\0", 4), 0},
      {"ab;",   ';', std::string("ab\0\0\0", 5), 2},     {"",   ';', std::string("\0\0", 2), 0},
      {"abc",  '\0', std::string("abc\0\0", 5), 3},     {"",  '\0', std::string("\0\0", 2), 0},
      {std::string("a;\0b", 4), ';', std::string("a\0\0b;\0", 6), 1},  // stops at the NUL
  };
  // clang-format on
  for (const Case& c : cases) {
    CKaString s(c.text.data(), static_cast<int>(c.text.size()));
    const CKaString copy(s);
    EXPECT_EQ(&s.NullSeparate(c.separator), &s);
    EXPECT_EQ(s.GetLength(), c.length) << "'" << c.text << "'";
    EXPECT_EQ(std::string(s.GetString(), c.buffer.size()), c.buffer) << "'" << c.text << "'";
    EXPECT_EQ(Str(copy), c.text);  // a shared buffer is copied first
  }
}

}  // namespace
