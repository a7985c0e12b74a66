// The registry file format (tools/plinth/RegFile.*): exact lines written, what the reader
// accepts and refuses with which line number, and round trips, first through the format alone
// and then through the store on a tree of 10,000 keys and 50,000 values.
#include <gtest/gtest.h>
#include <plinth/Registry.h>

#include <chrono>
#include <string>
#include <vector>

#include "AwkwardRegistryTree.h"
#include "RegFile.h"
#include "RegFileStore.h"

namespace {

using namespace plinth_regfile;
using std::string;

string ValueLine(const string& name, DWORD type, const string& data) {
  string out;
  AppendRegFileValue(out, name.data(), name.size(), type,
                     reinterpret_cast<const unsigned char*>(data.data()), data.size());
  return out;
}

string Bytes(const char* text, std::size_t size) { return string(text, size); }

TEST(RegFileWrite, ChoosesTheFormThatReadsBackExactly) {
  struct Case {
    const char* why;
    string name;
    DWORD type;
    string data;
    const char* line;
  } cases[] = {
      {"plain string", "Colour", REG_SZ, Bytes("blue", 5), "\"Colour\"=\"blue\"\r\n"},
      {"default value", "", REG_SZ, Bytes("x", 2), "@=\"x\"\r\n"},
      {"quote and backslash escaped", "a\"b\\c", REG_SZ, Bytes("q\"\\", 4),
       "\"a\\\"b\\\\c\"=\"q\\\"\\\\\"\r\n"},
      {"name with LF and CR", "n\nl\r", REG_DWORD, Bytes("\x2a\0\0\0", 4),
       "\"n\\nl\\r\"=dword:0000002a\r\n"},
      {"empty string", "e", REG_SZ, Bytes("", 1), "\"e\"=\"\"\r\n"},
      {"string without NUL", "s", REG_SZ, "ab", "\"s\"=hex(1):61,62\r\n"},
      {"string with a NUL inside", "s", REG_SZ, Bytes("a\0b", 4), "\"s\"=hex(1):61,00,62,00\r\n"},
      {"string with a LF", "s", REG_SZ, Bytes("a\nb", 4), "\"s\"=hex(1):61,0a,62,00\r\n"},
      {"string with a CR", "s", REG_SZ, Bytes("\r", 2), "\"s\"=hex(1):0d,00\r\n"},
      {"string without data", "s", REG_SZ, "", "\"s\"=hex(1):\r\n"},
      {"expand string", "p", REG_EXPAND_SZ, Bytes("%A%", 4), "\"p\"=hex(2):25,41,25,00\r\n"},
      {"big DWORD", "d", REG_DWORD, "\xff\xff\xff\xff", "\"d\"=dword:ffffffff\r\n"},
      {"DWORD of 3 bytes", "d", REG_DWORD, "\x01\x02\x03", "\"d\"=hex(4):01,02,03\r\n"},
      {"big-endian DWORD", "d", REG_DWORD_BIG_ENDIAN, Bytes("\0\0\0\x01", 4),
       "\"d\"=hex(5):00,00,00,01\r\n"},
      {"empty binary", "b", REG_BINARY, "", "\"b\"=hex:\r\n"},
      {"none", "n", REG_NONE, "", "\"n\"=hex(0):\r\n"},
      {"qword", "q", REG_QWORD, Bytes("\x05\0\0\0\0\0\0\0", 8),
       "\"q\"=hex(b):05,00,00,00,00,00,00,00\r\n"},
      {"any type", "t", 0x12345678, Bytes("\0", 1), "\"t\"=hex(12345678):00\r\n"},
      {"bytes above 0x7f kept", "caf\xc3\xa9", REG_SZ, Bytes("\xe9]=;", 5),
       "\"caf\xc3\xa9\"=\"\xe9]=;\"\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(ValueLine(c.name, c.type, c.data), c.line) << c.why;
}

TEST(RegFileWrite, LongByteListsWrapBeforeColumn80) {
  string data;
  for (int i = 0; i < 50; ++i) data += static_cast<char>(i);
  EXPECT_EQ(ValueLine("B", REG_BINARY, data),
            "\"B\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
            "  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f,\\\r\n"
            "  30,31\r\n");
  // A name longer than a line still gets one byte after it.
  const string line = ValueLine(string(90, 'n'), REG_BINARY, "\x01\x02");
  EXPECT_EQ(line, "\"" + string(90, 'n') + "\"=hex:01,\\\r\n  02\r\n");
}

TEST(RegFileWrite, SectionHeadersEscapeLineBreaksInKeyNames) {
  string out;
  AppendRegFileHeader(out);
  AppendRegFileSection(out, "HKEY_CURRENT_USER\\a]b\\c\nd\\\re");
  AppendRegFileEnd(out);
  EXPECT_EQ(out, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\a]b\\c\\\\nd\\\\\\re]\r\n\r\n");
}

struct Expected {
  string path;
  bool remove;
  std::vector<std::tuple<string, bool, DWORD, string>> values;
};

void ExpectSections(const string& file, const std::vector<Expected>& expected, const char* why) {
  std::vector<RegFileSection> sections;
  try {
    sections = ParseRegFile(file);
  } catch (const RegFileError& error) {
    ADD_FAILURE() << why << ": line " << error.line() << ": " << error.what();
    return;
  }
  ASSERT_EQ(sections.size(), expected.size()) << why;
  for (std::size_t i = 0; i < sections.size(); ++i) {
    EXPECT_EQ(sections[i].path, expected[i].path) << why;
    EXPECT_EQ(sections[i].remove, expected[i].remove) << why;
    ASSERT_EQ(sections[i].values.size(), expected[i].values.size()) << why;
    for (std::size_t v = 0; v < sections[i].values.size(); ++v) {
      const RegFileValue& value = sections[i].values[v];
      EXPECT_EQ(std::make_tuple(value.name, value.remove, value.type, value.data),
                expected[i].values[v])
          << why << ", value " << v;
    }
  }
}

TEST(RegFileRead, AcceptsWhatOtherWritersProduce) {
  struct Case {
    const char* why;
    string file;
    std::vector<Expected> sections;
  } cases[] = {
      {"LF line ends, comments, blank lines",
       "REGEDIT4\n; a comment\n\n[HKEY_CURRENT_USER\\A]\n  ; indented comment\n\"x\"=\"1\"\n",
       {{"HKEY_CURRENT_USER\\A", false, {{"x", false, REG_SZ, Bytes("1", 2)}}}}},
      {"deletions", "REGEDIT4\r\n[-HKCU\\Gone]\r\n[HKCU\\A]\r\n\"v\"=-\r\n@=-\r\n",
       {{"HKCU\\Gone", true, {}}, {"HKCU\\A", false, {{"v", true, 0, ""}, {"", true, 0, ""}}}}},
      {"blanks around = and bytes, one-digit bytes, capitals",
       "REGEDIT4\n[K]\n\"b\" = HEX(A): 1, 0f ,Ab\n\"d\"=DWORD:2A\n",
       {{"K", false, {{"b", false, 10, "\x01\x0f\xab"}, {"d", false, REG_DWORD, Bytes("\x2a\0\0\0", 4)}}}}},
      {"continued byte lists, trailing comma",
       "REGEDIT4\n[K]\n\"b\"=hex:01,\\\n    02,\\\n\n", {{"K", false, {{"b", false, REG_BINARY, "\x01\x02"}}}}},
      {"escapes in names and strings", "REGEDIT4\n[K]\n\"a\\nb\\r\\\\\\\"\"=\"x\\ny\"\n",
       {{"K", false, {{"a\nb\r\\\"", false, REG_SZ, Bytes("x\ny", 4)}}}}},
      {"section ends at the last ] and key escapes",
       "REGEDIT4\n[K\\a]b\\\\nc\\\\\\rd]  \n", {{"K\\a]b\nc\\\rd", false, {}}}},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBFREGEDIT4\n[K]\n", {{"K", false, {}}}},
      {"header alone", "REGEDIT4", {}},
  };
  for (const Case& c : cases) ExpectSections(c.file, c.sections, c.why);
}

TEST(RegFileRead, RefusesMalformedLinesWithTheirNumber) {
  struct Case {
    string file;
    std::size_t line;
    const char* message;
  } cases[] = {
      {"", 1, "first line must be REGEDIT4"},
      {"REGEDIT5\n", 1, "first line must be REGEDIT4"},
      {"REGEDIT4\n\n\"x\"=\"1\"\n", 3, "before the first section"},
      {"REGEDIT4\n[K\n", 2, "no closing ']'"},
      {"REGEDIT4\n[K] x\n", 2, "text after the ']'"},
      {"REGEDIT4\n[K\\\\a]\n", 2, "empty key"},
      {"REGEDIT4\n[K\\]\n", 2, "empty key"},
      {"REGEDIT4\n[]\n", 2, "empty key"},
      {"REGEDIT4\n[K]\n\"x=\"1\"\n", 3, "expected '='"},
      {"REGEDIT4\n[K]\n\"x\"=\"1\n", 3, "no closing quote"},
      {"REGEDIT4\n[K]\n\"x\"=\"a\\tb\"\n", 3, "unknown escape \\t"},
      {"REGEDIT4\n[K]\n\"x\"=\"1\" \"2\"\n", 3, "one value per line"},
      {"REGEDIT4\n[K]\n\"x\"=dword:123456789\n", 3, "1 to 8 hexadecimal digits"},
      {"REGEDIT4\n[K]\n\"x\"=dword:\n", 3, "1 to 8 hexadecimal digits"},
      {"REGEDIT4\n[K]\n\"x\"=hex(123456789):00\n", 3, "in parentheses"},
      {"REGEDIT4\n[K]\n\"x\"=hex()\n", 3, "in parentheses"},
      {"REGEDIT4\n[K]\n\"x\"=hex 00\n", 3, "expected ':'"},
      {"REGEDIT4\n[K]\n\"x\"=hex:0g\n", 3, "expected ','"},
      {"REGEDIT4\n[K]\n\"x\"=hex:123\n", 3, "more than two digits"},
      {"REGEDIT4\n[K]\n\"x\"=hex:01,,02\n", 3, "empty byte"},
      {"REGEDIT4\n[K]\n\"x\"=hex:01,\\\n  zz\n", 4, "is not a byte"},
      {"REGEDIT4\n[K]\n\"x\"=hex:01,\\", 3, "ends inside the byte list"},
      {"REGEDIT4\n[K]\n\"x\"=word:1\n", 3, "unknown data"},
      {"REGEDIT4\n[K]\n\"x\"=\n", 3, "unknown data"},
      {"REGEDIT4\n[-K]\n\"x\"=\"1\"\n", 3, "deletes its key"},
      {"REGEDIT4\n[K]\nx=1\n", 3, "expected [KEY]"},
      {Bytes("REGEDIT4\n[K]\n\"a\0b\"=\"1\"\n", 20), 3, "NUL byte"},
      {"\xff\xfeR", 1, "odd number of bytes"},
  };
  for (const Case& c : cases) {
    try {
      ParseRegFile(c.file);
      ADD_FAILURE() << "accepted: " << c.file;
    } catch (const RegFileError& error) {
      EXPECT_EQ(error.line(), c.line) << c.file;
      EXPECT_NE(string(error.what()).find(c.message), string::npos)
          << c.file << ": " << error.what();
    }
  }
}

string Utf16(const string& ascii) {
  string out = "\xff\xfe";
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

TEST(RegFileRead, ConvertsUtf16FilesAndTheirTextData) {
  // "é" is U+00E9: the low byte of its code unit, then 0.
  string file = Utf16(
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n\"caf#\"=\"#\"\r\n"
      "\"e\"=hex(2):41,00,e9,00,00,00\r\n\"m\"=hex(7):61,00,00,00,00,00\r\n\"b\"=hex:41,00\r\n");
  for (std::size_t at = file.find('#'); at != string::npos; at = file.find('#')) file[at] = '\xe9';
  ExpectSections(file,
                 {{"HKEY_CURRENT_USER\\X",
                   false,
                   {{"caf\xc3\xa9", false, REG_SZ, Bytes("\xc3\xa9", 3)},
                    {"e", false, REG_EXPAND_SZ, Bytes("A\xc3\xa9", 4)},
                    {"m", false, REG_MULTI_SZ, Bytes("a\0\0", 3)},
                    {"b", false, REG_BINARY, Bytes("A\0", 2)}}}},
                 "UTF-16 file");
  try {
    ParseRegFile(Utf16("Windows Registry Editor Version 5.00\r\n[K]\r\n\"e\"=hex(2):41\r\n"));
    ADD_FAILURE() << "odd UTF-16 data accepted";
  } catch (const RegFileError& error) {
    EXPECT_EQ(error.line(), 3u);
  }
}

// Every kind of awkward name and data, written and read back by the format alone.
TEST(RegFileFormat, EveryAwkwardValueReadsBack) {
  string file;
  AppendRegFileHeader(file);
  std::vector<plinth_awkward::Value> written;
  for (std::uint32_t n = 0; n < 2000; ++n) {
    if (n % 100 == 0) AppendRegFileSection(file, "HKCU\\" + plinth_awkward::AwkwardKeyName(n));
    written.push_back(plinth_awkward::AwkwardValue(n));
    const auto& value = written.back();
    file += ValueLine(value.name, value.type, value.data);
  }
  AppendRegFileEnd(file);
  const std::vector<RegFileSection> sections = ParseRegFile(file);
  ASSERT_EQ(sections.size(), 20u);
  for (std::uint32_t n = 0; n < 2000; ++n) {
    const RegFileSection& section = sections[n / 100];
    EXPECT_EQ(section.path, "HKCU\\" + plinth_awkward::AwkwardKeyName(n / 100 * 100));
    const RegFileValue& value = section.values[n % 100];
    EXPECT_EQ(std::tie(value.name, value.type, value.data),
              std::tie(written[n].name, written[n].type, written[n].data))
        << "value " << n;
  }
}

// Export, delete, import: the store holds the same keys, values, types and bytes in the same
// order, and a second export is the same file.
TEST(RegFileRoundTrip, TenThousandKeysThroughTheStore) {
  const string path = "Software\\PlinthRegFileRoundTrip";
  const string shown = "HKEY_CURRENT_USER\\" + path;
  ASSERT_TRUE(plinth_awkward::BuildAwkwardTree(HKEY_CURRENT_USER, path, 100, 99, 5));
  plinth_awkward::Snapshot before, after;
  ASSERT_TRUE(plinth_awkward::TakeSnapshot(HKEY_CURRENT_USER, path, before));
  ASSERT_EQ(before.size(), 10001u);

  string file, again;
  const auto sinkInto = [](string& target) {
    return [&target](string& text) {
      target += text;
      text.clear();
    };
  };
  EXPECT_EQ(ExportRegistryTree(HKEY_CURRENT_USER, path, shown, sinkInto(file), nullptr), 10001u);
  ASSERT_TRUE(CRegistry::DeleteKey(path.c_str(), nullptr, HKEY_CURRENT_USER));
  HKEY gone = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &gone),
            ERROR_FILE_NOT_FOUND);

  const ImportCounts counts = ImportRegFile(ParseRegFile(file), nullptr);
  EXPECT_EQ(counts.keys, 10001u);
  EXPECT_EQ(counts.values, 50000u);
  ASSERT_TRUE(plinth_awkward::TakeSnapshot(HKEY_CURRENT_USER, path, after));
  EXPECT_TRUE(before == after);
  for (const auto& [key, values] : before) {
    const auto found = after.find(key);
    if (found == after.end()) {
      ADD_FAILURE() << "lost key " << key;
      break;
    }
    if (found->second != values) {
      ADD_FAILURE() << "values of " << key << " differ";
      break;
    }
  }
  ExportRegistryTree(HKEY_CURRENT_USER, path, shown, sinkInto(again), nullptr);
  EXPECT_TRUE(file == again) << "the second export differs";
  CRegistry::DeleteKey(path.c_str(), nullptr, HKEY_CURRENT_USER);
}

}  // namespace
