// CRegVal's text forms: formatting, cleaning, building from text, and the round trips.
#include <gtest/gtest.h>
#include <plinth/RegVal.h>
#include <plinth/win32.h>

#include <optional>
#include <string>

#include "registry/RegValBuilders.h"

namespace {

using plinth::test::Bytes;
using plinth::test::MakeValue;
using namespace std::string_literals;

std::string Counting(int from, int to) {
  std::string bytes;
  for (int b = from; b <= to; ++b) bytes += static_cast<char>(b);
  return bytes;
}

TEST(RegValFormat, EachFamilyHasItsForm) {
  struct Case {
    unsigned long type;
    std::optional<std::string> bytes;
    bool quote, wrap;
    std::string expected;
  };
  const auto none = std::nullopt;
  const Case cases[] = {
      {3, "\x01\xab\xff"s, false, false, "hex:01,ab,ff"},
      {8, "\x01\xab\xff"s, true, false, "hex(8):01,ab,ff"},
      {9, "\x01\xab\xff"s, false, true, "hex(9):01,ab,ff"},
      {3, Counting(0, 0x13), false, true,
       "hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,\\\n11,12,13"},
      {3, Counting(0, 0x13), false, false,
       "hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13"},
      {3, Counting(0, 0x10), false, true,
       "hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10\\\n"},
      {3, none, false, true, "hex:"},
      {3, "\0"s, false, false, "hex:00"},
      {4, "\xff\xff\xff\xff"s, true, true, "4294967295"},
      {4, "\x0a\0\0\0"s, false, false, "10"},
      {5, "\0\0\0\x01"s, false, false, "16777216"},
      {4, "\x0a\0\0"s, false, false, ""},  // short
      {5, none, false, false, ""},
      {7, "ab\0cd\0\0"s, true, true, "abcd"},
      {7, "ab\0c"s, false, false, "abc"},  // not closed
      {7, none, true, false, ""},
      {1, "He said \"hi\"\0"s, true, false, "\"He said \"hi\"\""},
      {1, "He said \"hi\"\0"s, false, true, "He said \"hi\""},
      {2, "%PATH%;x\\y\0"s, false, false, "%PATH%;x\\y"},
      {1, "abc"s, false, false, "abc"},  // unterminated
      {1, none, true, false, "\"\""},
      {0, "abc\0"s, true, true, ""},
  };
  for (const Case& c : cases) {
    CRegVal value;
    MakeValue(value, c.type, c.bytes);
    EXPECT_EQ(std::string(value.GetFormattedValue(c.quote, c.wrap)), c.expected)
        << "type " << c.type << " quote " << c.quote << " wrap " << c.wrap;
  }
}

TEST(RegValFormat, CleaningRemovesTheDecorationsOfTheType) {
  struct Case {
    const char* text;
    unsigned long type;
    bool stripQuotes, removeLineFeeds;
    const char* expected;
  };
  const Case cases[] = {
      // The whole trailing run of quotes goes, the inner one with it.
      {"\"He said \"hi\"\"", 1, true, false, "He said \"hi"},
      {"\"\"x\"\"", 2, true, true, "x"},
      {"a\nb\r\nc\n", 1, false, true, "ab\rc"},
      {"\n\"a\"\n", 1, true, true, "a"},  // line feeds first, so the quotes come to the edges
      {"\n\"a\"\n", 1, true, false, "\n\"a\"\n"},
      {"\"\"\"", 1, true, false, ""},
      {"hex:01,02", 3, true, true, "01,02"},
      {"hex(8):01:hex(8)", 8, false, false, "01"},
      {"hex(8):01", 3, true, true, "(8)01"},
      {"hex(8):01", 9, true, true, "hex(8)01"},
      {"HEX: 01 hex", 3, true, true, "HEX 01 "},  // case-sensitive; spaces stay
      {"hhexex:1", 3, true, true, "hex1"},        // one pass
      {"\"5\"\n", 4, true, true, "\"5\"\n"},
      {"hex:\"a\"", 0, true, true, "hex:\"a\""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(std::string(CRegVal::GetUnformattedValue(c.text, c.type, c.stripQuotes,
                                                       c.removeLineFeeds)),
              c.expected)
        << c.text << " type " << c.type;
}

TEST(RegValFormat, ConstructorReadsTheTextOfEachType) {
  struct Case {
    std::optional<std::string> text;  // none: a null text
    unsigned long type;
    unsigned long expectedType;
    std::optional<std::string> bytes;  // none: no buffer
  };
  const auto none = std::nullopt;
  const Case cases[] = {
      {"hex:01,ab,ff"s, 3, 3, "\x01\xab\xff"s},
      {"01,ab,ff"s, 3, 3, "\x01\xab\xff"s},
      {"hex:01ab,ff"s, 3, 3, "\x01\xab\xff"s},
      {"hex(8):01,02"s, 8, 3, "\x01\x02"s},
      {"hex:00,01,\\\n02,\\\r03"s, 3, 3, "\x00\x01\x02\x03"s},
      {"hex:zz,01"s, 3, 3, "\x01"s},
      {"hex:"s, 3, 3, none},
      {""s, 8, 8, none},
      {"zz"s, 9, 9, none},
      {none, 3, 3, none},
      {"10"s, 4, 4, "\x0a\0\0\0"s},
      {" \t\n-1"s, 5, 4, "\xff\xff\xff\xff"s},
      {"4294967295"s, 4, 4, "\xff\xff\xff\xff"s},
      {"4294967296"s, 4, 4, "\0\0\0\0"s},
      {"+12abc"s, 4, 4, "\x0c\0\0\0"s},
      {"- 1"s, 4, 4, "\0\0\0\0"s},
      {none, 4, 4, "\0\0\0\0"s},
      {"\"quoted\"\n"s, 1, 1, "\"quoted\"\n\0"s},
      {"%X%"s, 2, 1, "%X%\0"s},
      {none, 1, 1, "\0"s},
      {"a\0bc\0\0"s, 7, 7, "a\0bc\0\0"s},
      {"a\0\0b\0\0"s, 7, 7, "a\0\0"s},
      {none, 7, 7, "\0\0"s},
      {"abc"s, 0, 0, none},
      {"hex:01"s, 11, 11, none},
  };
  for (const Case& c : cases) {
    // Room for the two NULs that end a list block; the text is what comes before them.
    const std::string storage = c.text ? *c.text + "\0\0"s : std::string();
    const CRegVal value(c.text ? storage.c_str() : nullptr, c.type);
    const std::string what = (c.text ? *c.text : "(null)") + " type " + std::to_string(c.type);
    EXPECT_EQ(value.GetType(), c.expectedType) << what;
    EXPECT_EQ(plinth::test::BytesOrNone(value), c.bytes.value_or("none")) << what;
  }
}

TEST(RegValFormat, EveryTypeSurvivesItsTextForm) {
  struct Case {
    unsigned long type;
    std::string bytes;
    unsigned long rebuiltType;
  };
  std::string large(1 << 20, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7 + i / 251);
  const Case cases[] = {
      {1, "He said \"hi\"\0"s, 1},   {2, "%PATH%\0"s, 1},     {6, "\0"s, 1},
      {4, "\0\0\0\0"s, 4},           {4, "\x0a\0\0\0"s, 4},   {4, "\xff\xff\xff\xff"s, 4},
      {5, "\0\0\0\x80"s, 4},         {3, "\0"s, 3},           {3, Counting(0, 255), 3},
      {8, Counting(0, 16), 3},       {9, Counting(1, 32), 3}, {3, large, 3},
  };
  for (const Case& c : cases) {
    CRegVal value;
    MakeValue(value, c.type, c.bytes);
    for (const bool wrap : {false, true}) {
      // Strings come back from their unquoted form; the quoted form is for display.
      const CString text = value.GetFormattedValue(false, wrap);
      const CRegVal rebuilt(text, c.type);
      EXPECT_EQ(rebuilt.GetType(), c.rebuiltType) << c.type << " wrap " << wrap;
      EXPECT_TRUE(Bytes(rebuilt) == c.bytes) << c.type << " wrap " << wrap << " size "
                                            << c.bytes.size();
    }
  }
  // A list's text form joins its strings; its raw block is what the constructor reads.
  CRegVal list;
  MakeValue(list, 7, "one\0two\0\0"s);
  const CRegVal rebuilt(reinterpret_cast<const char*>(list.GetRawData()), 7);
  EXPECT_EQ(Bytes(rebuilt), Bytes(list));
}

TEST(RegValFormat, DoubleByteCharactersHideNoPrefix) {
  // In Shift-JIS, 0x82 0x68 is one character whose trail byte is 'h': the "hex" after the lead
  // byte is no prefix. The colon is a character of its own and goes.
  const int saved = _getmbcp();
  ASSERT_EQ(_setmbcp(932), 0);
  const CString doubleByte = CRegVal::GetUnformattedValue("\x82hex:01", 3, true, true);
  ASSERT_EQ(_setmbcp(0), 0);
  const CString singleByte = CRegVal::GetUnformattedValue("\x82hex:01", 3, true, true);
  _setmbcp(saved);
  EXPECT_EQ(std::string(doubleByte), "\x82hex01");
  EXPECT_EQ(std::string(singleByte), "\x82" "01");
}

}  // namespace
