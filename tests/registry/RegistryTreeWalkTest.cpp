// CRegistry's tree walk: the order, levels and paths of its reports, its stops, and which keys
// it closes. Names are lower case and created in name order, so that every platform enumerates
// them alike (Wine sorts subkeys and values by name).
#include <gtest/gtest.h>

#include <plinth/Registry.h>
#include <plinth/win32.h>

#include <string>
#include <vector>

#include "registry/RegistryScratch.h"

namespace {

using plinth::test::HandleState;
using plinth::test::RegistryScratch;
using Events = std::vector<std::string>;

// Records every report as one line; "V path name level data-size text" for a value,
// "K fullpath name level" for a key. Stops (returns false) at the report numbered stopAt.
class Recorder : public CRegistry {
 public:
  explicit Recorder(HKEY key) : CRegistry(key) {
    SetOnValueHitData(&valueData);
    SetOnKeyHitData(&keyData);
  }

  bool OnValueHit(const char* path, const char* name, CRegVal& value, unsigned short level,
                  void* data) override {
    CString text;
    value.GetValue(text);
    events.push_back("V " + Text(path) + " " + name + " " + std::to_string(level) + " " +
                     std::to_string(value.GetSize()) + " " + text.GetString());
    EXPECT_EQ(data, &valueData);
    return Go();
  }
  bool OnKeyHit(HKEY key, const char* path, const char* name, unsigned short level,
                void* data) override {
    events.push_back("K " + Text(path) + " " + Text(name) + " " + std::to_string(level));
    EXPECT_EQ(HandleState(key), ERROR_SUCCESS) << "the key being walked is open";
    EXPECT_EQ(data, &keyData);
    return Go();
  }
  using CRegistry::RegTreeWalk;

  Events events;
  size_t stopAt = 0;  // 0: never
  int valueData = 0, keyData = 0;

 private:
  static std::string Text(const char* text) { return text ? text : "(null)"; }
  bool Go() const { return events.size() != stopAt; }
};

class RegistryTreeWalk : public RegistryScratch {
 protected:
  // walk: values a and b; subkey k with value c and subkey m with value d; empty subkey l.
  void SetUp() override {
    RegistryScratch::SetUp();
    SetRaw("walk", "a", REG_SZ, "1", 2);
    SetRaw("walk", "b", REG_SZ, "22", 3);
    SetRaw("walk\\k", "c", REG_SZ, "333", 4);
    SetRaw("walk\\k\\m", "d", REG_DWORD, "\4\0\0\0", 4);
    CreateSubkey("walk\\l");
    start_ = path_ + "\\walk";
    full_ = "hkey_current_user\\" + start_;
  }
  std::string start_, full_;
};

TEST_F(RegistryTreeWalk, ReportsDepthFirstWithLevelsAndPaths) {
  const std::string& s = start_;
  const std::string& f = full_;
  struct Case {
    unsigned int flags;
    bool recurse;
    Events expected;
  };
  const Case cases[] = {
      {0x1, true,
       {"V " + s + " a 0 2 1", "V " + s + " b 0 3 22", "V " + s + "\\k c 1 4 333",
        "V " + s + "\\k\\m d 2 4 "}},
      {0x3, true,
       {"K " + f + " (null) 0", "V " + s + " a 0 2 1", "V " + s + " b 0 3 22",
        "K " + f + " k 0", "V " + s + "\\k c 1 4 333", "K " + f + "\\k m 1",
        "V " + s + "\\k\\m d 2 4 ", "K " + f + " l 0"}},
      {0x3, false,
       {"K " + f + " (null) 0", "V " + s + " a 0 2 1", "V " + s + " b 0 3 22",
        "K " + f + " k 0", "K " + f + " l 0"}},
      {0x2, true, {"K " + f + " (null) 0", "K " + f + " k 0", "K " + f + "\\k m 1", "K " + f + " l 0"}},
      {0x0, true, {}},
      {0x4, true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("flags " + std::to_string(c.flags) + (c.recurse ? " recursive" : ""));
    Recorder walker(HKEY_CURRENT_USER);
    EXPECT_TRUE(walker.RegistryTreeWalk(start_.c_str(), c.recurse, c.flags));
    EXPECT_EQ(walker.events, c.expected);
  }
}

TEST_F(RegistryTreeWalk, AFalseCallbackEndsTheWholeWalk) {
  const std::string& s = start_;
  const std::string& f = full_;
  struct Case {
    unsigned int flags;
    size_t stopAt;
    Events expected;
  };
  const Case cases[] = {
      // The start key's own report cannot stop the walk.
      {0x2, 1, {"K " + f + " (null) 0", "K " + f + " k 0", "K " + f + "\\k m 1", "K " + f + " l 0"}},
      // The second subkey of the start key.
      {0x2, 4, {"K " + f + " (null) 0", "K " + f + " k 0", "K " + f + "\\k m 1", "K " + f + " l 0"}},
      {0x2, 2, {"K " + f + " (null) 0", "K " + f + " k 0"}},
      {0x1, 1, {"V " + s + " a 0 2 1"}},
      {0x1, 3, {"V " + s + " a 0 2 1", "V " + s + " b 0 3 22", "V " + s + "\\k c 1 4 333"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("flags " + std::to_string(c.flags) + " stop at " + std::to_string(c.stopAt));
    Recorder walker(HKEY_CURRENT_USER);
    walker.stopAt = c.stopAt;
    EXPECT_EQ(walker.RegistryTreeWalk(start_.c_str(), true, c.flags), c.stopAt == 1 && c.flags == 0x2);
    EXPECT_EQ(walker.events, c.expected);
  }
}

TEST_F(RegistryTreeWalk, BaseClassCallbacksStopAtTheFirstReport) {
  CreateSubkey("empty");
  CRegistry walker(HKEY_CURRENT_USER);
  EXPECT_FALSE(walker.RegistryTreeWalk(start_.c_str(), true, 0x1));
  EXPECT_FALSE(walker.RegistryTreeWalk(start_.c_str(), true, 0x2));
  EXPECT_TRUE(walker.RegistryTreeWalk(start_.c_str(), true, 0x0));
  EXPECT_TRUE(walker.RegistryTreeWalk((path_ + "\\empty").c_str(), true, 0x3));
}

TEST_F(RegistryTreeWalk, StartsThatReportLittleOrNothing) {
  CreateSubkey("empty");
  Recorder walker(HKEY_CURRENT_USER);
  EXPECT_FALSE(walker.RegistryTreeWalk((path_ + "\\missing").c_str(), true, 0x3));
  EXPECT_TRUE(walker.events.empty());
  EXPECT_TRUE(walker.RegistryTreeWalk((path_ + "\\empty").c_str(), true, 0x3));
  EXPECT_EQ(walker.events, Events{"K hkey_current_user\\" + path_ + "\\empty (null) 0"});
}

TEST_F(RegistryTreeWalk, WithoutAPathTheWalkPathIsHkeyLocalMachine) {
  // The object's key is the start key: a predefined key prefixes the full path with its name.
  Recorder predefined(HKEY_CURRENT_USER);
  predefined.stopAt = 2;
  predefined.RegistryTreeWalk(nullptr, false, 0x2);
  ASSERT_FALSE(predefined.events.empty());
  EXPECT_EQ(predefined.events[0], "K hkey_current_user\\HKEY_LOCAL_MACHINE (null) 0");

  // Any other key: the walk path alone, and the object's key is closed by the walk.
  HKEY start = nullptr;
  ASSERT_EQ(RegOpenKeyExA(scratch_, "walk\\k", 0, KEY_READ, &start), ERROR_SUCCESS);
  Recorder walker(start);
  EXPECT_TRUE(walker.RegistryTreeWalk(nullptr, true, 0x3));
  EXPECT_EQ(walker.events, (Events{"K HKEY_LOCAL_MACHINE (null) 0",
                                   "V HKEY_LOCAL_MACHINE c 0 4 333",
                                   "K HKEY_LOCAL_MACHINE m 0",
                                   "V HKEY_LOCAL_MACHINE\\m d 1 4 "}));
  EXPECT_EQ(HandleState(start), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTreeWalk, TheObjectsKeyIsClosedOnlyWhenTheWalkStartsThere) {
  struct Case {
    const char* path;
    size_t stopAt;
    bool result;
    bool keyClosed;
  };
  const Case cases[] = {
      {"walk", 0, true, false}, {"walk", 3, false, false}, {"missing", 0, false, false},
      {nullptr, 0, true, true}, {nullptr, 3, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path ? c.path : "no path") + " stop at " + std::to_string(c.stopAt));
    HKEY key = OpenScratch(KEY_READ);
    Recorder walker(key);
    walker.stopAt = c.stopAt;
    EXPECT_EQ(walker.RegistryTreeWalk(c.path, true, 0x3), c.result);
    EXPECT_EQ(HandleState(key), c.keyClosed ? ERROR_INVALID_HANDLE : ERROR_SUCCESS);
    if (!c.keyClosed) RegCloseKey(key);
  }
}

// Grows value b past the walk's buffer as soon as a is reported.
class GrowingRecorder : public Recorder {
 public:
  GrowingRecorder(HKEY key, HKEY writable) : Recorder(key), writable_(writable) {}
  bool OnValueHit(const char* path, const char* name, CRegVal& value, unsigned short level,
                  void* data) override {
    if (std::string(name) == "a") {
      const std::string big(4096, 'x');
      EXPECT_EQ(RegSetValueExA(writable_, "b", 0, REG_SZ, reinterpret_cast<const BYTE*>(big.c_str()),
                               static_cast<DWORD>(big.size() + 1)),
                ERROR_SUCCESS);
    }
    return Recorder::OnValueHit(path, name, value, level, data);
  }

 private:
  HKEY writable_;
};

TEST_F(RegistryTreeWalk, AValueThatOutgrowsTheBufferIsSkipped) {
  SetRaw("walk", "e", REG_SZ, "5", 2);
  HKEY writable = nullptr;
  ASSERT_EQ(RegOpenKeyExA(scratch_, "walk", 0, KEY_ALL_ACCESS, &writable), ERROR_SUCCESS);
  GrowingRecorder walker(HKEY_CURRENT_USER, writable);
  EXPECT_TRUE(walker.RegistryTreeWalk(start_.c_str(), false, 0x1));
  EXPECT_EQ(walker.events, (Events{"V " + start_ + " a 0 2 1", "V " + start_ + " e 0 2 5"}));
  RegCloseKey(writable);
}

TEST_F(RegistryTreeWalk, EnumerationsThatFailEverywhereEnd) {
  // Without the right to enumerate subkeys every index fails: the values are still reported.
  HKEY valuesOnly = nullptr;
  ASSERT_EQ(RegOpenKeyExA(scratch_, "walk", 0, KEY_QUERY_VALUE, &valuesOnly), ERROR_SUCCESS);
  Recorder walker(HKEY_CURRENT_USER);
  EXPECT_TRUE(walker.RegTreeWalk("w", valuesOnly, 0x3, 0, true));
  EXPECT_EQ(walker.events, (Events{"V w a 0 2 1", "V w b 0 3 22"}));
  EXPECT_EQ(HandleState(valuesOnly), ERROR_INVALID_HANDLE);

  // A handle whose metrics cannot be read is passed over.
  walker.events.clear();
  EXPECT_TRUE(walker.RegTreeWalk("w", valuesOnly, 0x3, 0, true));
  EXPECT_TRUE(walker.events.empty());
}

TEST_F(RegistryTreeWalk, ANullWalkPathGivesSubkeysTheirNamesAlone) {
  HKEY start = nullptr;
  ASSERT_EQ(RegOpenKeyExA(scratch_, "walk", 0, KEY_READ, &start), ERROR_SUCCESS);
  Recorder walker(HKEY_CURRENT_USER);
  EXPECT_TRUE(walker.RegTreeWalk(nullptr, start, 0x1, 5, true));
  EXPECT_EQ(walker.events, (Events{"V (null) a 5 2 1", "V (null) b 5 3 22", "V k c 6 4 333",
                                   "V k\\m d 7 4 "}));
}

}  // namespace
