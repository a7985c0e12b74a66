// Arrays and maps, with the ways the library fills, empties and walks them.
#include <gtest/gtest.h>
#include <plinth/afx/Array.h>
#include <plinth/afx/Map.h>

#include <map>
#include <random>
#include <string>

namespace {

template <class F>
bool ThrowsInvalidArg(F body) {
  try {
    body();
  } catch (CException* e) {
    const bool invalidArg = dynamic_cast<CInvalidArgException*>(e) != nullptr;
    e->Delete();
    return invalidArg;
  }
  return false;
}

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

TEST(Array, OutOfRangeThrowsInvalidArgument) {
  CStringArray strings;
  strings.Add("x");
  const CStringArray& constant = strings;
  EXPECT_TRUE(ThrowsInvalidArg([&] { strings.GetAt(1); }));
  EXPECT_TRUE(ThrowsInvalidArg([&] { constant[-1]; }));
  EXPECT_TRUE(ThrowsInvalidArg([&] { strings.SetAt(1, "y"); }));
  EXPECT_TRUE(ThrowsInvalidArg([&] { strings.SetAtGrow(-1, "y"); }));
  EXPECT_TRUE(ThrowsInvalidArg([&] { strings.SetSize(-1); }));
  EXPECT_TRUE(ThrowsInvalidArg([&] { strings.RemoveAt(0, 2); }));
  EXPECT_EQ(strings.GetSize(), 1);
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

// Removals while walking the map, checked against a model: every entry still present when the
// walk reaches it is seen exactly once, and none is seen after its removal.
TEST(Map, RemovingWhileIteratingVisitsEachSurvivorOnce) {
  std::mt19937 random(12345);
  for (int round = 0; round < 50; ++round) {
    CMap<CString, const char*, int, int> map;
    std::map<std::string, int> seen;
    const int size = 1 + static_cast<int>(random() % 300);
    for (int i = 0; i < size; ++i) {
      const std::string key = "k" + std::to_string(i);
      map[key.c_str()] = i;
      seen[key] = 0;
    }
    CString key;
    int value = 0;
    for (POSITION pos = map.GetStartPosition(); pos;) {
      map.GetNextAssoc(pos, key, value);
      if (key.IsEmpty()) break;  // the remaining entries went while the walk held a position
      ASSERT_TRUE(seen.count(key.GetString())) << key.GetString();
      ++seen[key.GetString()];
      // Remove the entry just returned, another one, or nothing.
      const int choice = static_cast<int>(random() % 3);
      if (choice == 0) {
        map.RemoveKey(key);
        seen.erase(key.GetString());
      } else if (choice == 1) {
        const std::string other = "k" + std::to_string(random() % size);
        if (map.RemoveKey(other.c_str()) && seen[other] == 0) seen.erase(other);
      }
    }
    for (const auto& [name, count] : seen) EXPECT_LE(count, 1) << name;
    for (const auto& [name, count] : seen) {
      int ignored;
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
