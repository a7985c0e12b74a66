// Arrays and maps, with the ways the library fills, empties and walks them.
#include <gtest/gtest.h>
#include <plinth/afx/Array.h>
#include <plinth/afx/Map.h>

#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/FrameworkExceptions.h"

namespace {

using plinth::test::ThrowsInvalidArg;

TEST(Array, GrowsByAppendingAndEmptiesBySetSize) {
  CStringArray strings;
  strings.SetAtGrow(strings.GetSize(), "a");
  strings.SetAtGrow(strings.GetSize(), "b");
  strings.SetAtGrow(3, "d");  // past the end: the gap holds empty strings
  ASSERT_EQ(strings.GetSize(), 4);
  EXPECT_EQ(strings[1], "b");
  EXPECT_TRUE(strings[2].IsEmpty());
  strings.SetSize(0, -1);
  EXPECT_EQ(strings.GetCount(), 0);

  CByteArray bytes;
  for (int i = 0; i < 100; ++i) bytes.SetAtGrow(bytes.GetSize(), static_cast<BYTE>(i));
  bytes.SetSize(120);
  EXPECT_EQ(bytes[99], 99);
  EXPECT_EQ(bytes[119], 0);
}

TEST(Array, AddingAnElementOfTheSameArraySurvivesReallocation) {
  CStringArray strings;
  strings.Add("first");
  for (int i = 0; i < 64; ++i) strings.Add(strings[0]);
  EXPECT_EQ(strings[64], "first");
  strings.Append(strings);
  EXPECT_EQ(strings.GetSize(), 130);
}

// Indexes outside the array are invalid arguments; sizes beyond what memory can hold are out
// of memory. Either way the array keeps its contents, and no size arithmetic overflows.
TEST(Array, BadIndexesAndSizesThrowAndLeaveTheArrayAlone) {
  enum Kind { kInvalidArg, kMemory };
  constexpr INT_PTR kMax = INTPTR_MAX;
  struct Case {
    const char* call;
    void (*body)(CStringArray&);
    Kind expected;
  };
  // clang-format off
  const Case cases[] = {
      {"GetAt(1)",                 [](CStringArray& a) { a.GetAt(1); },                   kInvalidArg},
      {"const [-1]",               [](CStringArray& a) { std::as_const(a)[-1]; },         kInvalidArg},
      {"SetAt(1)",                 [](CStringArray& a) { a.SetAt(1, "y"); },              kInvalidArg},
      {"SetAtGrow(-1)",            [](CStringArray& a) { a.SetAtGrow(-1, "y"); },         kInvalidArg},
      {"SetSize(-1)",              [](CStringArray& a) { a.SetSize(-1); },                kInvalidArg},
      {"InsertAt(-1)",             [](CStringArray& a) { a.InsertAt(-1, "y"); },          kInvalidArg},
      {"InsertAt(0, count -1)",    [](CStringArray& a) { a.InsertAt(0, "y", -1); },       kInvalidArg},
      {"RemoveAt(0, 2)",           [](CStringArray& a) { a.RemoveAt(0, 2); },             kInvalidArg},
      {"RemoveAt(2)",              [](CStringArray& a) { a.RemoveAt(2, 0); },             kInvalidArg},
      {"RemoveAt(1, max)",         [](CStringArray& a) { a.RemoveAt(1, kMax); },          kInvalidArg},
      {"RemoveAt(max, 1)",         [](CStringArray& a) { a.RemoveAt(kMax, 1); },          kInvalidArg},
      {"SetSize(max)",             [](CStringArray& a) { a.SetSize(kMax); },              kMemory},
      {"SetAtGrow(max)",           [](CStringArray& a) { a.SetAtGrow(kMax, "y"); },       kMemory},
      {"InsertAt(max)",            [](CStringArray& a) { a.InsertAt(kMax, "y"); },        kMemory},
      {"InsertAt(0, count max)",   [](CStringArray& a) { a.InsertAt(0, "y", kMax); },     kMemory},
      {"InsertAt(5, count max-4)", [](CStringArray& a) { a.InsertAt(5, "y", kMax - 4); }, kMemory},
  };
  // clang-format on
  for (const Case& c : cases) {
    CStringArray strings;
    strings.Add("x");
    CException* caught = plinth::test::Caught([&] { c.body(strings); });
    ASSERT_NE(caught, nullptr) << c.call;
    if (c.expected == kInvalidArg) {
      EXPECT_NE(dynamic_cast<CInvalidArgException*>(caught), nullptr) << c.call;
    } else {
      EXPECT_NE(dynamic_cast<CMemoryException*>(caught), nullptr) << c.call;
    }
    caught->Delete();
    ASSERT_EQ(strings.GetSize(), 1) << c.call;
    EXPECT_EQ(strings[0], "x") << c.call;
  }
}

TEST(Array, InsertAtAndRemoveAtShiftTheElements) {
  CByteArray bytes;
  for (BYTE b : {1, 2, 3}) bytes.Add(b);
  bytes.InsertAt(1, 9, 2);  // 1 9 9 2 3
  bytes.InsertAt(6, 7);     // past the end: 1 9 9 2 3 0 7
  bytes.RemoveAt(0);        // 9 9 2 3 0 7
  bytes.RemoveAt(2, 2);     // 9 9 0 7
  const BYTE expected[] = {9, 9, 0, 7};
  ASSERT_EQ(bytes.GetSize(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(bytes[i], expected[i]) << i;
  bytes.RemoveAt(4, 0);  // removing nothing at the end is allowed
  EXPECT_EQ(bytes.GetSize(), 4);
}

TEST(Map, StringKeysAreExactAndHashByBytes) {
  EXPECT_EQ(HashKey<const char*>("ab"), 97u * 33 + 98);
  EXPECT_EQ(HashKey<const CString&>(CString("ab")), HashKey<const char*>("ab"));

  CMapStringToPtr map;
  EXPECT_EQ(map.GetHashTableSize(), 17u);
  int one = 1, two = 2;
  map.SetAt("key", &one);
  map["Key"] = &two;
  void* found = nullptr;
  ASSERT_TRUE(map.Lookup("key", found));
  EXPECT_EQ(found, &one);
  ASSERT_TRUE(map.Lookup("Key", found));
  EXPECT_EQ(found, &two);
  EXPECT_FALSE(map.Lookup("KEY", found));
  EXPECT_FALSE(map.RemoveKey("KEY"));
  EXPECT_TRUE(map.RemoveKey("key"));
  EXPECT_EQ(map.GetCount(), 1);
}

TEST(Map, ManyEntriesInsertLookUpAndRemove) {
  CMap<int, int, std::string, const std::string&> map(3);
  for (int i = 0; i < 2000; ++i) map.SetAt(i * 7, std::to_string(i));
  map[7] = "changed";
  EXPECT_EQ(map.GetCount(), 2000);
  for (int i = 0; i < 2000; i += 2) EXPECT_TRUE(map.RemoveKey(i * 7));
  std::string value;
  EXPECT_TRUE(map.Lookup(7, value));
  EXPECT_EQ(value, "changed");
  EXPECT_FALSE(map.Lookup(14, value));
  EXPECT_NE(map.PLookup(21), nullptr);
  EXPECT_EQ(map.PLookup(21)->value, "3");

  int visited = 0;
  int key = 0;
  for (POSITION pos = map.GetStartPosition(); pos;) {
    map.GetNextAssoc(pos, key, value);
    EXPECT_EQ(key % 14, 7);
    ++visited;
  }
  EXPECT_EQ(visited, 1000);
  map.InitHashTable(101);  // a non-empty table is spread over the new buckets
  EXPECT_TRUE(map.Lookup(21, value));
  map.RemoveAll();
  EXPECT_TRUE(map.IsEmpty());
  EXPECT_EQ(map.GetStartPosition(), nullptr);
}

// Removals and insertions while walking the map, checked against a model: every entry still
// present when the walk reaches it is seen exactly once, none is seen after its removal, and
// an entry inserted on the way may or may not be seen. Insertions reuse the storage of removed
// entries; the walk must not follow one that its position named into another bucket.
TEST(Map, ChangingWhileIteratingVisitsEachSurvivorOnce) {
  std::mt19937 random(12345);
  for (int round = 0; round < 50; ++round) {
    // With blocks of one entry, as many insertions as removals reuse every removed entry.
    CMap<CString, const char*, int, int> map(round % 2 ? 1 : 10);
    std::map<std::string, int> seen;
    const int size = 1 + static_cast<int>(random() % 300);
    for (int i = 0; i < size; ++i) {
      const std::string key = "k" + std::to_string(i);
      map[key.c_str()] = i;
      seen[key] = 0;
    }
    int removed = 0, inserted = 0;
    CString key;
    int value = 0;
    for (POSITION pos = map.GetStartPosition(); pos;) {
      map.GetNextAssoc(pos, key, value);
      if (key.IsEmpty()) break;     // the remaining entries went while the walk held a position
      if (key[0] == 'n') continue;  // inserted during the walk
      ASSERT_TRUE(seen.count(key.GetString())) << key.GetString();
      ++seen[key.GetString()];
      // Remove the entry just returned, another one, or one not yet visited and then refill.
      const int choice = static_cast<int>(random() % 4);
      if (choice == 0) {
        map.RemoveKey(key);
        seen.erase(key.GetString());
        ++removed;
      } else if (choice == 1) {
        const std::string other = "k" + std::to_string(random() % size);
        if (map.RemoveKey(other.c_str())) {
          ++removed;
          if (seen[other] == 0) seen.erase(other);
        }
      } else if (choice == 2) {
        std::vector<std::string> unvisited;
        for (const auto& [name, count] : seen)
          if (count == 0 && name != key.GetString()) unvisited.push_back(name);
        if (unvisited.empty()) continue;
        const std::string other = unvisited[random() % unvisited.size()];
        ASSERT_TRUE(map.RemoveKey(other.c_str()));
        seen.erase(other);
        for (++removed; inserted < removed; ++inserted)
          map[("n" + std::to_string(inserted)).c_str()] = -1;
      }
    }
    for (const auto& [name, count] : seen) {
      int ignored;
      EXPECT_LE(count, 1) << name;
      if (map.Lookup(name.c_str(), ignored)) {
        EXPECT_EQ(count, 1) << name;
      }
    }
  }
}

TEST(Map, BadPositionsAndSizesThrow) {
  CMapStringToPtr map;
  POSITION pos = nullptr;
  CString key;
  void* value;
  EXPECT_TRUE(ThrowsInvalidArg([&] { map.GetNextAssoc(pos, key, value); }));
  EXPECT_TRUE(ThrowsInvalidArg([&] { map.InitHashTable(0); }));
  map.SetAt("only", nullptr);
  pos = map.GetStartPosition();
  map.RemoveAll();
  map.GetNextAssoc(pos, key, value);
  EXPECT_EQ(pos, nullptr);
}

}  // namespace
