// CKaString hexadecimal byte text, digit tests and the reversible shift.
#include <gtest/gtest.h>
#include <plinth/KaString.h>
#include <plinth/win32.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Str(const CString& s) { return std::string(s.GetString(), s.GetLength()); }

std::vector<BYTE> Bytes(const CByteArray& a) {
  return std::vector<BYTE>(a.GetData(), a.GetData() + a.GetSize());
}

CString ToText(std::vector<BYTE> data, const char* separator, int lineBytes) {
  return CKaString::ConvertBinaryToString(data.data(), static_cast<unsigned long>(data.size()),
                                          CString(separator), lineBytes);
}

TEST(KaStringHex, WritesBytes) {
  // clang-format off
  struct Case { std::vector<BYTE> data; const char* separator; int lineBytes;
    std::string expected; };
  const Case cases[] = {
      {{0x00, 0x0f, 0x10}, ",",  0, "00,0f,10"},    {{0x00, 0x0f, 0x10}, " ",  0, "00 0f 10"},
      {{0x00, 0x0f, 0x10}, "",   0, "000f10"},      {{0x00, 0x0f, 0x10}, ", ", 0, "00, 0f, 10"},
      {{},                 ",",  0, ""},            {{},                 ",",  1, ""},
      {{0xff},             ",",  1, "ff"},          {{0x01, 0xab, 0xff}, ",",  3, "01,ab,ff"},
      {{0x01, 0xab, 0xff}, ",",  1, "01,ab,\\\nff\\\n"},
      {{0x01, 0xab, 0xff}, ",",  2, "01,ab,ff\\\n"},  {{0x01, 0xab, 0xff}, "",   2, "01abff\\\n"},
      {{0x01, 0xab, 0xff}, "::", 1, "01::ab::\\\nff\\\n"},
      {{0x01, 0xab, 0xff}, ",", -1, "01,ab,ff"},   // unsigned: a huge count never breaks
      {{0x01, 0xab, 0xff}, ",", -2147483647 - 1, "01,ab,ff"},
  };
  // clang-format on
  for (const Case& c : cases)
    EXPECT_EQ(Str(ToText(c.data, c.separator, c.lineBytes)), c.expected)
        << "'" << c.separator << "' " << c.lineBytes;
}

TEST(KaStringHex, LineBreaksFollowMultiplesOfTheLineLength) {
  std::string line;
  for (int i = 0; i < 16; ++i) line += "aa,";
  EXPECT_EQ(Str(ToText(std::vector<BYTE>(18, 0xaa), ",", 16)), line + "aa,\\\naa");
  EXPECT_EQ(Str(ToText(std::vector<BYTE>(17, 0xaa), ",", 16)), line + "aa\\\n");
}

TEST(KaStringHex, ReadsText) {
  // clang-format off
  // left is the object afterwards.
  struct Case { std::string text; const char* separator; std::vector<BYTE> bytes;
    long result; std::string left; };
  const Case cases[] = {
      {"00,0f,10", ",", {0x00, 0x0f, 0x10}, S_OK, "000f10"},
      {"FF,1",     ",", {0xff, 0x01}, S_OK,   "FF1"},
      {"zz,01",    ",", {0x01}, E_FAIL, "zz01"},  {"",    ",", {},           S_OK,   ""},
      {",,",       ",", {},     S_OK,   ""},      {"0a1", "",  {0x0a, 0x01}, S_OK,   "0a1"},
      {"0az",      "",  {0x0a}, E_FAIL, "0az"},   {"0x",  "",  {0x00},       S_OK,   "0x"},
      {"-1+f",     "",  {0xff, 0x0f}, S_OK, "-1+f"},  {" f\tA", "", {0x0f, 0x0a}, S_OK, " f\tA"},
      {"1g",       "",  {0x01}, S_OK,   "1g"},    {"- + ", "", {},           E_FAIL, "- + "},
      {"x1ab",     "",  {0xab}, E_FAIL, "x1ab"},
      {"01\\\n02\\\r03", "", {1, 2, 3},          S_OK,   "010203"},
      {"01,\\\r\n02",  ",",  {1, 0x0, 2},        S_OK,   "01\n02"},   // "\n0" reads as 0
      {"01\\,\n02",    ",",  {1, 2},             S_OK,   "0102"},     // the separator goes first
      {std::string("\0" "1ab", 4), "", {0xab},   E_FAIL, std::string("\0" "1ab", 4)},
      {std::string("1\0" "ab", 4), "", {0x01, 0xab}, S_OK, std::string("1\0" "ab", 4)},
  };
  // clang-format on
  for (const Case& c : cases) {
    CKaString s(c.text.data(), static_cast<int>(c.text.size()));
    CByteArray bytes;
    bytes.Add(0x77);  // read bytes are appended to what is there
    EXPECT_EQ(s.ConvertToBinary(CString(c.separator), bytes), c.result) << "'" << c.text << "'";
    std::vector<BYTE> expected{0x77};
    expected.insert(expected.end(), c.bytes.begin(), c.bytes.end());
    EXPECT_EQ(Bytes(bytes), expected) << "'" << c.text << "'";
    EXPECT_EQ(Str(s), c.left) << "'" << c.text << "'";
  }
  CKaString self("1,2,3");
  CByteArray bytes;
  EXPECT_EQ(self.ConvertToBinary(self, bytes), S_OK);  // the whole text is the separator
  EXPECT_EQ(bytes.GetSize(), 0);
  EXPECT_EQ(Str(self), "");
}

TEST(KaStringHex, LineBreaksInsideDoubleByteCharactersStay) {
  const int saved = _getmbcp();
  for (const int page : {0, 932}) {
    _setmbcp(page);
    // 0x83 0x5C is one Shift-JIS character: its trail byte is no backslash there.
    CKaString s("01\x83\\\n02");
    CByteArray bytes;
    EXPECT_EQ(s.ConvertToBinary(CString(), bytes), E_FAIL);
    EXPECT_EQ(Str(s), page == 932 ? "01\x83\\\n02" : "01\20302") << page;  // octal 203 is 0x83
  }
  _setmbcp(saved);
}

// The pair reader must agree with sscanf("%x") on every pair of bytes, alone and in a text.
TEST(KaStringHex, PairsReadAsScanfReadsThem) {
  int mismatches = 0;
  for (int first = 0; first < 256 && mismatches < 10; ++first) {
    for (int second = -1; second < 256 && mismatches < 10; ++second) {
      // A backslash before a line feed or carriage return is a line break, removed unread.
      if (first == '\\' && (second == '\n' || second == '\r')) continue;
      char pair[3] = {static_cast<char>(first), static_cast<char>(second < 0 ? 0 : second), 0};
      const int length = second < 0 ? 1 : 2;  // -1: the odd last character alone
      unsigned int value = 0;
      const bool read = std::sscanf(pair, "%x", &value) == 1;
      CKaString s(pair, length);
      CByteArray bytes;
      const long result = s.ConvertToBinary(CString(), bytes);
      const bool same = read ? result == S_OK && bytes.GetSize() == 1 &&
                                   bytes[0] == static_cast<BYTE>(value & 0xFF)
                             : result == E_FAIL && bytes.GetSize() == 0;
      EXPECT_TRUE(same) << "pair " << first << " " << second << ": sscanf " << read << " " << value;
      mismatches += !same;
    }
  }
}

TEST(KaStringHex, RoundTripsRandomBytes) {
  std::mt19937 random(20261206);
  // Every separator that the reader can take apart from the text: no hexadecimal digit, and
  // none that merges with a line break ("\\" before it, or a line feed inside it).
  const char* separators[] = {"", ",", " ", ", ", "::", "-", "\r\n", "\t", "x", ";;;;"};
  const int lineLengths[] = {0, 1, 2, 3, 7, 16, 100, -1};
  for (int round = 0; round < 40; ++round) {
    std::vector<BYTE> data(random() % 300);
    for (BYTE& b : data) b = static_cast<BYTE>(random());
    for (const char* separator : separators) {
      for (int lineBytes : lineLengths) {
        const CString text = ToText(data, separator, lineBytes);
        CKaString copy(text);
        CByteArray bytes;
        ASSERT_EQ(copy.ConvertToBinary(CString(separator), bytes), S_OK)
            << "'" << separator << "' " << lineBytes;
        ASSERT_EQ(Bytes(bytes), data) << "'" << separator << "' " << lineBytes;
      }
    }
  }
}

TEST(KaStringDigits, IsDigitAndGetSum) {
  // clang-format off
  struct Case { std::string text; bool digits; int sum; };
  const Case cases[] = {
      {"",    true,  0},    {"0123", true,  1},   {"12a", false, 3},    {" 1", false, 33},
      {"7x",  false, 127},  {"ab",   false, 195}, {"abc", false, 195},  {"5",  true,  5},
      {"\xff\x80", false, -129},   // signed bytes
      {std::string("1\0", 2), false, 1},
  };
  // clang-format on
  for (const Case& c : cases) {
    CKaString s(c.text.data(), static_cast<int>(c.text.size()));
    EXPECT_EQ(s.IsDigit(), c.digits) << "'" << c.text << "'";
    EXPECT_EQ(CKaString("ignored").GetSum(CString(c.text.data(), static_cast<int>(c.text.size()))),
              c.sum)
        << "'" << c.text << "'";
  }
}

TEST(KaStringShift, EncodeAndItsInverse) {
  // clang-format off
  struct Case { std::string text; std::string encoded; };
  const Case cases[] = {
      {"abc", "\x61\xc3\x26"},  {"12", "13"},  {"q", "q"},  {"", ""},
      {"9\xf7x", "9\0", },       // 0xf7 + 9 wraps to 0: the result ends there
      {"1\xff" "a", "1\x00"},
  };
  // clang-format on
  for (const Case& c : cases) {
    CKaString s(c.text.data(), static_cast<int>(c.text.size()));
    const std::string expected(c.encoded.c_str());
    EXPECT_EQ(Str(s.Encode()), expected) << "'" << c.text << "'";
    EXPECT_EQ(Str(s), c.text);
  }
  // With the encoding pinned above, Decode is checked as its inverse.
  std::mt19937 random(7);
  int checked = 0;
  for (int round = 0; round < 5000; ++round) {
    std::string text(1 + random() % 40, ' ');
    for (char& c : text) c = static_cast<char>(1 + random() % 255);
    const CString encoded = CKaString(text.c_str()).Encode();
    if (encoded.GetLength() != static_cast<int>(text.size())) continue;  // a NUL came out
    ++checked;
    ASSERT_EQ(Str(CKaString(encoded).Decode()), text);
  }
  EXPECT_GT(checked, 4000);
}

}  // namespace
