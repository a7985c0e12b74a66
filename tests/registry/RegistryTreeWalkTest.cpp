// CRegistry's tree walk: order, levels and paths of its reports, its stops, and the keys it
// closes. Names are lower case and created in name order, so that every platform enumerates
// them alike (Wine sorts subkeys and values by name).
#include <gtest/gtest.h>

#include <plinth/Registry.h>
#include <plinth/win32.h>

#include <string>
#include <vector>

#include "registry/RegistryScratch.h"

namespace {

using plinth::test::HandleState;
using Events = std::vector<std::string>;

// One line per report: "V path name level size text" or "K fullpath name level". Returns false
// at the report numbered stopAt; grows value b past the walk's buffer when a is reported.
class Recorder : public CRegistry {
 public:
  explicit Recorder(HKEY key, size_t stopAt = 0, HKEY growB = nullptr)
      : CRegistry(key), stopAt_(stopAt), growB_(growB) {
    SetOnValueHitData(&events);
    SetOnKeyHitData(&stopAt_);
  }
  bool OnValueHit(const char* path, const char* name, CRegVal& value, unsigned short level,
                  void* data) override {
    const std::string big(4096, 'x');
    if (growB_ && std::string(name) == "a")
      RegSetValueExA(growB_, "b", 0, REG_SZ, reinterpret_cast<const BYTE*>(big.c_str()), 4097);
    CString text;
    value.GetValue(text);
    EXPECT_EQ(data, &events);
    return Report("V " + Text(path) + " " + name + " " + std::to_string(level) + " " +
                  std::to_string(value.GetSize()) + " " + text.GetString());
  }
  bool OnKeyHit(HKEY key, const char* path, const char* name, unsigned short level,
                void* data) override {
    EXPECT_EQ(HandleState(key), ERROR_SUCCESS) << "the key being walked is open";
    EXPECT_EQ(data, &stopAt_);
    return Report("K " + Text(path) + " " + Text(name) + " " + std::to_string(level));
  }
  using CRegistry::RegTreeWalk;
  Events events;

 private:
  static std::string Text(const char* text) { return text ? text : "(null)"; }
  bool Report(std::string event) {
    events.push_back(std::move(event));
    return events.size() != stopAt_;
  }
  size_t stopAt_;
  HKEY growB_;
};

class RegistryTreeWalk : public plinth::test::RegistryScratch {
 protected:
  // walk: values a, b; subkey k with value c and subkey m with value d; empty subkey l.
  void SetUp() override {
    RegistryScratch::SetUp();
    SetRaw("walk", "a", REG_SZ, "1", 2);
    SetRaw("walk", "b", REG_SZ, "22", 3);
    SetRaw("walk\\k", "c", REG_SZ, "333", 4);
    SetRaw("walk\\k\\m", "d", REG_DWORD, "\4\0\0\0", 4);
    RegCloseKey(Open("walk\\l"));
    walk_ = path_ + "\\walk";
  }
  std::string walk_;
};

TEST_F(RegistryTreeWalk, ReportsDepthFirstAndStopsAtTheFirstFalse) {
  const std::string s = walk_, f = "hkey_current_user\\" + walk_;
  const std::string start = "K " + f + " (null) 0", a = "V " + s + " a 0 2 1",
                    b = "V " + s + " b 0 3 22", k = "K " + f + " k 0",
                    c = "V " + s + "\\k c 1 4 333", m = "K " + f + "\\k m 1",
                    d = "V " + s + "\\k\\m d 2 4 ", l = "K " + f + " l 0";
  struct Case {
    unsigned int flags;
    bool recurse;
    size_t stopAt;
    bool result;
    Events expected;
  };
  const Case cases[] = {
      {0x1, true, 0, true, {a, b, c, d}},
      {0x3, true, 0, true, {start, a, b, k, c, m, d, l}},
      {0x3, false, 0, true, {start, a, b, k, l}},
      {0x2, true, 0, true, {start, k, m, l}},
      {0x0, true, 0, true, {}},
      {0x4, true, 0, true, {}},
      {0x2, true, 1, true, {start, k, m, l}},   // the start key's report cannot stop the walk
      {0x2, true, 4, false, {start, k, m, l}},  // stopped at the second subkey
      {0x3, true, 6, false, {start, a, b, k, c, m}},
      {0x1, true, 1, false, {a}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "flags " << c.flags << " recurse " << c.recurse << " stop at " << c.stopAt);
    Recorder walker(HKEY_CURRENT_USER, c.stopAt);
    EXPECT_EQ(walker.RegistryTreeWalk(walk_.c_str(), c.recurse, c.flags), c.result);
    EXPECT_EQ(walker.events, c.expected);
  }
  // The base class's callbacks stop at once.
  EXPECT_FALSE(CRegistry().RegistryTreeWalk(walk_.c_str(), true, 0x1));
  EXPECT_TRUE(CRegistry().RegistryTreeWalk((walk_ + "\\l").c_str(), true, 0x3));
}

TEST_F(RegistryTreeWalk, StartKeysAndTheKeysAWalkCloses) {
  Recorder missing(HKEY_CURRENT_USER), predefined(HKEY_CURRENT_USER, 2);
  EXPECT_FALSE(missing.RegistryTreeWalk((path_ + "\\missing").c_str(), true, 0x3));
  EXPECT_TRUE(missing.events.empty());
  predefined.RegistryTreeWalk(nullptr, false, 0x2);
  EXPECT_EQ(predefined.events.at(0), "K hkey_current_user\\HKEY_LOCAL_MACHINE (null) 0");

  // Without a path the walk starts at the object's key, and closes it, stopped or not.
  struct Case {
    const char* path;
    size_t stopAt;
    bool result, closed;
    Events expected;
  };
  const Case cases[] = {
      {nullptr,
       0,
       true,
       true,
       {"K HKEY_LOCAL_MACHINE (null) 0", "V HKEY_LOCAL_MACHINE c 0 4 333",
        "K HKEY_LOCAL_MACHINE m 0", "V HKEY_LOCAL_MACHINE\\m d 1 4 "}},
      {nullptr,
       2,
       false,
       true,
       {"K HKEY_LOCAL_MACHINE (null) 0", "V HKEY_LOCAL_MACHINE c 0 4 333"}},
      {"m", 0, true, false, {"K m (null) 0", "V m d 0 4 "}},
      {"m", 2, false, false, {"K m (null) 0", "V m d 0 4 "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.path ? c.path : "no path") << " stop at " << c.stopAt);
    HKEY key = Open("walk\\k");
    Recorder walker(key, c.stopAt);
    EXPECT_EQ(walker.RegistryTreeWalk(c.path, true, 0x3), c.result);
    EXPECT_EQ(walker.events, c.expected);
    EXPECT_EQ(HandleState(key), c.closed ? ERROR_INVALID_HANDLE : ERROR_SUCCESS);
    if (!c.closed) RegCloseKey(key);
  }

  // A callback that throws leaves no key open behind it, at any depth.
  struct Thrower : CRegistry {
    using CRegistry::CRegistry;
    bool OnValueHit(const char*, const char* name, CRegVal&, unsigned short, void*) override {
      if (std::string(name) == "d") throw 7;
      return true;
    }
  };
  HKEY key = Open("walk\\k");
  Thrower thrower(key);
  EXPECT_THROW(thrower.RegistryTreeWalk(nullptr, true, 0x1), int);
  EXPECT_EQ(HandleState(key), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTreeWalk, FailedEnumerationsAreSkippedAndEnd) {
  // A value that outgrows the buffer sized from the metrics is skipped, its siblings are not.
  SetRaw("walk", "e", REG_SZ, "5", 2);
  HKEY writable = Open("walk");
  Recorder growing(HKEY_CURRENT_USER, 0, writable);
  EXPECT_TRUE(growing.RegistryTreeWalk(walk_.c_str(), false, 0x1));
  EXPECT_EQ(growing.events, (Events{"V " + walk_ + " a 0 2 1", "V " + walk_ + " e 0 2 5"}));
  RegCloseKey(writable);

  // Without the right to enumerate subkeys every index fails; with no metrics at all (a closed
  // handle) nothing is enumerated. Both walks end.
  HKEY valuesOnly = Open("walk\\k", nullptr, KEY_QUERY_VALUE);
  Recorder walker(HKEY_CURRENT_USER);
  EXPECT_TRUE(walker.RegTreeWalk("w", valuesOnly, 0x3, 0, true));
  EXPECT_TRUE(walker.RegTreeWalk("w", valuesOnly, 0x3, 0, true));
  EXPECT_EQ(walker.events, Events{"V w c 0 4 333"});

  // A null walk path gives subkeys their names alone.
  walker.events.clear();
  EXPECT_TRUE(walker.RegTreeWalk(nullptr, Open("walk\\k"), 0x1, 5, true));
  EXPECT_EQ(walker.events, (Events{"V (null) c 5 4 333", "V m d 6 4 "}));
}

}  // namespace
