// CRegVal's buffer layouts, typed getters and copies, and values through the registry store.
#include <gtest/gtest.h>
#include <plinth/RegVal.h>
#include <plinth/win32.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>
#include <random>
#include <string>
#include <vector>

#include "support/Environment.h"
#include "support/FrameworkExceptions.h"
#include "registry/RegValBuilders.h"

namespace {

using plinth::test::Bytes;
using plinth::test::MakeValue;
using namespace std::string_literals;

CStringArray& Strings(CStringArray& array, std::initializer_list<CString> items) {
  array.SetSize(0, -1);
  for (const CString& item : items) array.Add(item);
  return array;
}

TEST(RegValLayout, SettersWriteTheRegistryLayout) {
  struct Case {
    const char* what;
    std::function<void(CRegVal&)> build;
    unsigned long type;
    std::optional<std::string> bytes;  // none: no buffer
  };
  CStringArray array;
  const char* pointers[] = {"a", nullptr, "bc"};
  unsigned char three[] = {1, 2, 3};
  const Case cases[] = {
      {"default", [](CRegVal&) {}, 0, std::nullopt},
      {"number", [](CRegVal& v) { v.SetValue(0x01020304ul); }, 4, "\x04\x03\x02\x01"s},
      {"largest number", [](CRegVal& v) { v = 0xFFFFFFFFul; }, 4, "\xff\xff\xff\xff"s},
      {"text", [](CRegVal& v) { v.SetValue("ab", false); }, 1, "ab\0"s},
      {"expand text", [](CRegVal& v) { v.SetValue("%X%", true); }, 2, "%X%\0"s},
      {"null text", [](CRegVal& v) { v.SetValue(nullptr, false); }, 1, "\0"s},
      {"assigned text is REG_SZ", [](CRegVal& v) { v.SetValue("a", true), v = "b"; }, 1, "b\0"s},
      {"no bytes", [](CRegVal& v) { v.SetValue(static_cast<unsigned char*>(nullptr), 0); }, 3,
       "\0"s},
      {"null bytes with a count", [](CRegVal& v) { v.SetValue(static_cast<unsigned char*>(nullptr), 3ul); }, 3, "\0\0\0"s},
      {"bytes", [&](CRegVal& v) { v.SetValue(three, 3); }, 3, "\x01\x02\x03"s},
      {"empty array", [&](CRegVal& v) { v = Strings(array, {}); }, 7, "\0\0"s},
      {"array with an empty item",
       [&](CRegVal& v) { v.SetValue(Strings(array, {"a", "", "b"})); }, 7, "a\0\0b\0\0"s},
      {"embedded NUL leaves zeros",
       [&](CRegVal& v) { v.SetValue(Strings(array, {CString("a\0b", 3), "c"})); }, 7,
       "a\0\0\0c\0\0"s},
      {"pointers, null counts empty", [&](CRegVal& v) { v.SetValue(pointers, 3); }, 7,
       "a\0\0bc\0\0"s},
      {"null pointer array", [](CRegVal& v) { v.SetValue(static_cast<const char**>(nullptr), 2); },
       7, "\0\0"s},
  };
  for (const Case& c : cases) {
    CRegVal value;
    c.build(value);
    EXPECT_EQ(value.GetType(), c.type) << c.what;
    EXPECT_EQ(plinth::test::BytesOrNone(value), c.bytes.value_or("none")) << c.what;
  }
}

// What each getter makes of one value; "-" for a refusal.
struct Reading {
  std::string number, pointer, text, list, bytes;
};

Reading Read(const CRegVal& value) {
  Reading r;
  unsigned long number = 0;
  r.number = value.GetValue(number) ? std::to_string(number) : "-";
  const char* pointer = "untouched";
  r.pointer = !value.GetValue(pointer) ? "-" : pointer ? pointer : "null";
  CString text("untouched");
  r.text = value.GetValue(text) ? std::string(text.GetString(), text.GetLength()) : "-";
  CStringArray list;
  list.Add("untouched");
  if (value.GetValue(list)) {
    r.list = "[";
    for (INT_PTR i = 0; i < list.GetSize(); ++i) r.list += (i ? "|" : "") + std::string(list[i]);
    r.list += "]";
  } else {
    r.list = "-";
  }
  std::vector<unsigned char> copy(value.GetSize() + 1, 0xCC);
  unsigned char* destination = copy.data();
  if (value.GetValue(destination, value.GetSize()))
    r.bytes = std::string(copy.begin(), copy.end() - 1);
  else
    r.bytes = "-";
  return r;
}

TEST(RegValGetters, EachGetterTakesItsTypesAndNeverReadsPastTheBuffer) {
  struct Case {
    unsigned long type;
    std::optional<std::string> bytes;
    Reading expected;
  };
  const auto none = std::nullopt;
  const Case cases[] = {
      // Empty: only the byte getter answers, with nothing to copy.
      {0, none, {"-", "-", "-", "-", ""}},
      {4, "\x0a\0\0\0"s, {"10", "-", "-", "-", "-"}},
      {5, "\0\0\0\x01"s, {"16777216", "-", "-", "-", "-"}},  // never swapped
      {4, "\x01\x02\x03"s, {"-", "-", "-", "-", "-"}},         // short
      {5, none, {"-", "-", "-", "-", ""}},
      {1, "abc\0"s, {"-", "abc", "abc", "-", "-"}},
      {6, "abc"s, {"-", "-", "abc", "-", "-"}},  // unterminated: no pointer to run off with
      {1, none, {"-", "null", "", "-", ""}},
      {7, "a\0b\0\0"s, {"-", "a", "-", "[a|b]", "-"}},
      {7, "a\0bc"s, {"-", "a", "-", "[a|bc]", "-"}},  // not closed by an empty string
      {7, "ab"s, {"-", "-", "-", "[ab]", "-"}},
      {7, "\0"s, {"-", "", "-", "[]", "-"}},
      {7, none, {"-", "null", "-", "[]", ""}},
      {3, "xyz"s, {"-", "-", "-", "-", "xyz"}},
      {8, "\0"s, {"-", "-", "-", "-", "\0"s}},
      {9, "\x01\x02"s, {"-", "-", "-", "-", "\x01\x02"s}},
      {11, "abc\0"s, {"-", "-", "-", "-", "-"}},
  };
  for (const Case& c : cases) {
    CRegVal value;
    MakeValue(value, c.type, c.bytes);
    const Reading r = Read(value);
    const std::string what = "type " + std::to_string(c.type) + " " + (c.bytes ? *c.bytes : "none");
    EXPECT_EQ(r.number, c.expected.number) << what;
    EXPECT_EQ(r.pointer, c.expected.pointer) << what;
    EXPECT_EQ(r.text, c.expected.text) << what;
    EXPECT_EQ(r.list, c.expected.list) << what;
    EXPECT_EQ(r.bytes, c.expected.bytes) << what;
  }
}

TEST(RegValGetters, ByteGetterCopiesOnlyForTheExactSize) {
  struct Case {
    std::optional<std::string> bytes;
    unsigned long count;
    bool result;
    std::string destination;  // four bytes after the call
  };
  const Case cases[] = {
      {"abcde"s, 5, true, "abcd"},  {"abcde"s, 4, false, "...."}, {"abcde"s, 6, false, "...."},
      {"\0"s, 0, false, "...."},    {"\0"s, 1, true, "\0..."s},   {std::nullopt, 7, true, "...."},
  };
  for (const Case& c : cases) {
    CRegVal value;
    MakeValue(value, 3, c.bytes);
    std::string destination(8, '.');
    unsigned char* out = reinterpret_cast<unsigned char*>(&destination[0]);
    EXPECT_EQ(value.GetValue(out, c.count), c.result) << c.count;
    EXPECT_EQ(destination.substr(0, 4), c.destination) << c.count;
  }
}

TEST(RegValCopy, AssignmentCopiesTypeAndBytesIntoAnOwnBuffer) {
  unsigned char five[] = {1, 2, 3, 4, 5};
  CRegVal source(five, 5), target("old");
  target = source;
  EXPECT_EQ(target.GetType(), 3ul);
  EXPECT_EQ(Bytes(target), "\x01\x02\x03\x04\x05"s);
  EXPECT_NE(target.GetRawData(), source.GetRawData());
  source.GetRawData()[0] = 9;
  EXPECT_EQ(target.GetRawData()[0], 1);

  CRegVal empty;
  empty.SetType(7);
  target = empty;
  EXPECT_EQ(target.GetType(), 7ul);
  EXPECT_EQ(target.GetRawData(), nullptr);
  EXPECT_EQ(target.GetSize(), 0ul);

  CRegVal& alias = source;
  source = alias;
  EXPECT_EQ(Bytes(source), "\x09\x02\x03\x04\x05"s);
}

TEST(RegValCopy, SetTypeAndSettersFromTheOwnBuffer) {
  CRegVal value("abc");
  value.SetType(7);
  EXPECT_EQ(Bytes(value), "abc\0"s);

  value.SetValue(value.GetRawData(), value.GetSize());
  EXPECT_EQ(Bytes(value), "abc\0"s);
  value.SetValue(reinterpret_cast<const char*>(value.GetRawData() + 1), true);
  EXPECT_EQ(Bytes(value), "bc\0"s);
  const char* items[] = {reinterpret_cast<const char*>(value.GetRawData())};
  value.SetValue(items, 1);
  EXPECT_EQ(Bytes(value), "bc\0\0"s);
}

#if !defined(_WIN32)
// The real heap hardly ever fails; the platform's heap can be told to.
TEST(RegValCopy, AllocationFailureThrowsAndLeavesNoData) {
  CRegVal value("abc");
  plinth::test::SetEnvironmentVariableForTest("PLINTH_FAULT_INJECT", "HeapAlloc");
  const bool threw =
      plinth::test::Throws<CMemoryException>([&] { value.SetValue(5ul); });
  plinth::test::RemoveEnvironmentVariableForTest("PLINTH_FAULT_INJECT");
  EXPECT_TRUE(threw);
  EXPECT_EQ(value.GetRawData(), nullptr);
  EXPECT_EQ(value.GetSize(), 0ul);
  EXPECT_EQ(value.GetType(), 1ul);
}
#endif

// --- through the registry -----------------------------------------------------------------

class RegValStore : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = "Software\\PlinthTests\\RegVal-" + std::to_string(std::random_device{}()) + "-" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000003);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    if (key_) RegCloseKey(key_);
    RegDeleteKeyA(HKEY_CURRENT_USER, name_.c_str());
  }
  std::string name_;
  HKEY key_ = nullptr;
};

TEST_F(RegValStore, EveryTypeComesBackAsItWasWritten) {
  const std::pair<unsigned long, std::string> cases[] = {
      {1, "text\0"s},       {2, "%TEMP%\\x\0"s}, {3, "\0\xff\x10"s},     {4, "\x98\xba\xdc\xfe"s},
      {5, "\0\0\0\x01"s},   {6, "link\0"s},       {7, "one\0two\0\0"s}, {8, "\0\xff"s},
      {9, "\x10"s},          {11, "\x01\x02"s},
  };
  for (const auto& [type, bytes] : cases) {
    CRegVal written;
    MakeValue(written, type, bytes);
    const std::string name = "v" + std::to_string(type);
    ASSERT_EQ(RegSetValueExA(key_, name.c_str(), 0, type, written.GetRawData(), written.GetSize()),
              ERROR_SUCCESS);
    DWORD readType = 0, size = 0;
    ASSERT_EQ(RegQueryValueExA(key_, name.c_str(), nullptr, &readType, nullptr, &size),
              ERROR_SUCCESS);
    std::vector<unsigned char> data(size);
    ASSERT_EQ(RegQueryValueExA(key_, name.c_str(), nullptr, &readType, data.data(), &size),
              ERROR_SUCCESS);
    CRegVal read(data.data(), size);
    read.SetType(readType);
    EXPECT_EQ(read.GetType(), type);
    EXPECT_EQ(Bytes(read), bytes) << type;
    EXPECT_EQ(std::string(read.GetFormattedValue(true, true)),
              std::string(written.GetFormattedValue(true, true)));
  }
}

}  // namespace
