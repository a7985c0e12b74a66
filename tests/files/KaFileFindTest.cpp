// CKaFileFind over real folders: the enumeration steps, the callback, the flat and recursive
// lists and the FindFile override's error codes. Links, unreadable folders and names that
// only POSIX allows are tested in tests/platform/posix.

#include <gtest/gtest.h>
#include <plinth/KaFileFind.h>
#include <plinth/win32.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/TempTree.h"

namespace {

using plinth::test::TempTree;
using Paths = std::vector<std::string>;

Paths ToPaths(const CStringArray& array) {
  Paths paths;
  for (INT_PTR i = 0; i < array.GetSize(); ++i) paths.push_back(array[i].GetString());
  return paths;
}

Paths Sorted(Paths paths) {
  std::sort(paths.begin(), paths.end());
  return paths;
}

Paths Drain(CKaFileFind& finder) {
  Paths paths;
  CString path;
  while (finder.GetNext(path)) paths.push_back(path.GetString());
  return paths;
}

// a.txt, b.log and the folder sub (holding inner.txt).
void MakeFlatTree(const TempTree& tree) {
  tree.File("a.txt", "a");
  tree.File("b.log", "b");
  tree.File("sub/inner.txt");
}

TEST(KaFileFindEnum, YieldsTheEntriesOfTheKindAskedFor) {
  TempTree tree;
  MakeFlatTree(tree);
  const std::string root = tree.Text();
  const auto kOther = static_cast<CKaFileFind::EIteratorType>(7);
  struct Case {
    std::string folder;
    const char* pattern;
    CKaFileFind::EIteratorType type;
    bool started;
    Paths expected;  // below the root
  };
  const auto kFiles = CKaFileFind::eFiles;
  const auto kFolders = CKaFileFind::eDirectories;
  // clang-format off
  const Case cases[] = {
      {root,               "*.txt",  kFiles,   true,  {"a.txt"}},
      {root,               "*",      kFiles,   true,  {"a.txt", "b.log"}},
      {root,               "",       kFiles,   true,  {"a.txt", "b.log"}},
      {root,               "*",      kOther,   true,  {"a.txt", "b.log"}},  // anything else: files
      {root,               "*",      kFolders, true,  {"sub"}},             // never "." or ".."
      {root,               "s*",     kFolders, true,  {"sub"}},
      {root,               "*.txt",  kFolders, true,  {}},          // the pattern filters folders
      {root + "\\",        "*.txt",  kFiles,   true,  {"a.txt"}},   // no doubled separator
      {root,               "*.none", kFiles,   false, {}},
      {root + "\\missing", "*",      kFiles,   false, {}},
      {"",                 "*",      kFiles,   false, {}},
  };
  // clang-format on
  for (const Case& c : cases) {
    CKaFileFind finder;
    EXPECT_EQ(finder.Enum(c.folder.c_str(), c.pattern, c.type) != 0, c.started) << c.pattern;
    Paths expected;
    for (const std::string& name : c.expected) expected.push_back(tree.Path(name));
    EXPECT_EQ(Sorted(Drain(finder)), expected) << c.folder << " " << c.pattern << " " << c.type;
    CString path = "unchanged";
    EXPECT_EQ(finder.GetNext(path), 0);
    EXPECT_STREQ(path, "unchanged");
  }
}

TEST(KaFileFindEnum, AnEmptyFolderLeavesTheRunningEnumerationAlone) {
  TempTree tree;
  MakeFlatTree(tree);
  CKaFileFind finder;
  CString path;
  EXPECT_EQ(finder.GetNext(path), 0);  // nothing started yet
  ASSERT_NE(finder.Enum(tree.Text().c_str(), "*", CKaFileFind::eDirectories), 0);
  EXPECT_EQ(finder.Enum("", "*", CKaFileFind::eFiles), 0);
  // Still folders only: the type did not change either.
  EXPECT_EQ(Drain(finder), Paths{tree.Path("sub")});
}

struct Collected {
  Paths paths;
  int stopAfter;
};

int Collect(const CString& path, void* context) {
  auto* collected = static_cast<Collected*>(context);
  collected->paths.push_back(path.GetString());
  return static_cast<int>(collected->paths.size()) < collected->stopAfter;
}

TEST(KaFileFindIterate, CallsBackUntilTheCallbackSaysStop) {
  TempTree tree;
  MakeFlatTree(tree);
  CKaFileFind finder;
  Collected all{{}, 100};
  EXPECT_NE(finder.Iterate(tree.Text().c_str(), "*", Collect, &all, CKaFileFind::eFiles), 0);
  EXPECT_EQ(Sorted(all.paths), (Paths{tree.Path("a.txt"), tree.Path("b.log")}));

  Collected one{{}, 1};
  EXPECT_NE(finder.Iterate(tree.Text().c_str(), "*", Collect, &one, CKaFileFind::eFiles), 0);
  EXPECT_EQ(one.paths.size(), 1u);

  Collected none{{}, 100};
  EXPECT_EQ(finder.Iterate("", "*", Collect, &none, CKaFileFind::eFiles), 0);
  EXPECT_EQ(finder.Iterate(tree.Text().c_str(), "*", nullptr, &none, CKaFileFind::eFiles), 0);
  EXPECT_EQ(finder.Iterate(tree.Text().c_str(), "*.none", Collect, &none, CKaFileFind::eFiles), 0);
  EXPECT_TRUE(none.paths.empty());
}

TEST(KaFileFindFindFiles, AppendsMatchingFilesOnly) {
  TempTree tree;
  MakeFlatTree(tree);
  const std::string root = tree.Text();
  // clang-format off
  const std::tuple<std::string, const char*, Paths> cases[] = {
      {root,               "*",      {"a.txt", "b.log"}},
      {root,               "",       {"a.txt", "b.log"}},
      {root,               "*.LOG",  {"b.log"}},
      {root,               "sub",    {}},  // only a folder matches
      {root,               "*.none", {}},
      {root + "\\missing", "*",      {}},
      {"",                 "*",      {}},
  };
  // clang-format on
  for (const auto& [folder, pattern, names] : cases) {
    CKaFileFind finder;
    CStringArray files;
    files.Add("kept");
    finder.FindFiles(folder.c_str(), pattern, files);
    Paths expected{"kept"};
    for (const std::string& name : names) expected.push_back(tree.Path(name));
    Paths got = ToPaths(files);
    std::sort(got.begin() + 1, got.end());
    EXPECT_EQ(got, expected) << folder << " " << pattern;
  }
}

TEST(KaFileFindFindFilesRecursive, ListsTheTreeInPreOrder) {
  TempTree tree;
  tree.File("x.txt");
  tree.File("skip.log");
  tree.File("sub/y.txt");
  tree.File("sub/deep/z.txt");
  // Files, folders, what is listed.
  // clang-format off
  const std::tuple<bool, bool, Paths> cases[] = {
      {true,  true,  {"x.txt", "sub", "sub\\y.txt", "sub\\deep", "sub\\deep\\z.txt"}},
      {true,  false, {"x.txt", "sub\\y.txt", "sub\\deep\\z.txt"}},
      {false, true,  {"sub", "sub\\deep"}},
      {false, false, {}},
  };
  // clang-format on
  for (const auto& [files, folders, names] : cases) {
    CKaFileFind finder;
    CStringArray found;
    finder.FindFilesRecursive(tree.Text().c_str(), "*.txt", found, files, folders);
    Paths expected;
    for (const std::string& name : names) expected.push_back(tree.Path(name));
    EXPECT_EQ(ToPaths(found), expected) << files << folders;
  }
}

TEST(KaFileFindFindFilesRecursive, ListsEverythingBelowAFolderRightAfterIt) {
  TempTree tree;
  for (const char* name : {"b/1.txt", "b/2.txt", "b/c/3.txt", "a/4.txt", "5.txt", "e/f/g/6.txt"})
    tree.File(name);
  CKaFileFind finder;
  CStringArray found;
  finder.FindFilesRecursive(tree.Text().c_str(), "", found, true, true);
  const Paths paths = ToPaths(found);
  ASSERT_EQ(paths.size(), 12u);
  EXPECT_EQ(paths[0], tree.Path("5.txt"));
  // Depth first: the paths below paths[i] are exactly those from i + 1 to the next that is not.
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const auto below = [&](std::size_t j) { return paths[j].rfind(paths[i] + "\\", 0) == 0; };
    std::size_t end = i + 1;
    while (end < paths.size() && below(end)) ++end;
    for (std::size_t j = 0; j < paths.size(); ++j)
      EXPECT_TRUE(below(j) == (j > i && j < end)) << paths[j] << " below " << paths[i];
  }
}

TEST(KaFileFindFindFile, ReportsFailuresThroughTheLastError) {
  TempTree tree;
  MakeFlatTree(tree);
  const std::pair<std::string, DWORD> cases[] = {
      {std::string(261, 'x'), ERROR_FILENAME_EXCED_RANGE},
      {tree.Path("*.none"), ERROR_FILE_NOT_FOUND},
      {tree.Path("missing\\*"), ERROR_PATH_NOT_FOUND},
  };
  for (const auto& [name, error] : cases) {
    CKaFileFind finder;
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(finder.FindFile(name.c_str())) << name;
    EXPECT_EQ(GetLastError(), error) << name;
    EXPECT_FALSE(finder.FindNextFile());
  }
}

TEST(KaFileFindFindFile, DrivesTheBaseSearchWithTheFullPathAsRoot) {
  TempTree tree;
  MakeFlatTree(tree);
  CKaFileFind finder;
  ASSERT_TRUE(finder.FindFile(tree.Path("*.txt").c_str()));
  EXPECT_FALSE(finder.FindNextFile());  // the only entry is also the last
  EXPECT_STREQ(finder.GetFileName(), "a.txt");
  EXPECT_STREQ(finder.GetFilePath(), tree.Path("a.txt").c_str());
  EXPECT_STREQ(finder.GetRoot(), tree.Text().c_str());
  EXPECT_EQ(finder.GetLength(), 1u);
  EXPECT_FALSE(finder.IsDirectory());
  EXPECT_FALSE(finder.IsDots());
  // The object's own search and the one Enum drives do not disturb each other.
  ASSERT_NE(finder.Enum(tree.Text().c_str(), "*.log", CKaFileFind::eFiles), 0);
  EXPECT_STREQ(finder.GetFileName(), "a.txt");
  EXPECT_EQ(Drain(finder), Paths{tree.Path("b.log")});
}

}  // namespace
