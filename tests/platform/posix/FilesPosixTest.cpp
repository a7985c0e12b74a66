// The file services on POSIX where POSIX differs from Windows: links (and loops of them),
// folders that cannot be read, names holding backslashes or bytes of any code page, the "c:"
// root, and what the tree walk makes of all of them.

#include <gtest/gtest.h>
#include <plinth/KaFileFind.h>
#include <plinth/KaPath.h>
#include <plinth/win32.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "support/TempTree.h"

namespace {

using plinth::test::TempTree;
using Paths = std::vector<std::string>;
namespace fs = std::filesystem;

Paths Walk(const std::string& dir, const char* pattern, bool files = true, bool folders = true) {
  CKaFileFind finder;
  CStringArray found;
  finder.FindFilesRecursive(dir.c_str(), pattern, found, files, folders);
  Paths paths;
  for (INT_PTR i = 0; i < found.GetSize(); ++i) paths.push_back(found[i].GetString());
  std::sort(paths.begin(), paths.end());
  return paths;
}

Paths Below(const TempTree& tree, Paths names) {
  for (std::string& name : names) name = tree.Path(name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FindFilesRecursivePosix, StopsAtLinksBackIntoTheTreeAndListsDanglingOnesAsFiles) {
  TempTree tree;
  tree.File("a/x.txt");
  fs::create_directory_symlink(tree.Root(), tree.Root() / "a" / "up");  // to the start
  fs::create_directory_symlink(".", tree.Root() / "a" / "self");        // to itself
  fs::create_directory_symlink("..", tree.Root() / "a" / "parent");     // relative, up
  fs::create_symlink(tree.Root() / "nowhere", tree.Root() / "dangling");
  EXPECT_EQ(Walk(tree.Text(), "*"),
            Below(tree, {"a", "a\\x.txt", "a\\up", "a\\self", "a\\parent", "dangling"}));
  EXPECT_EQ(Walk(tree.Text(), "*", true, false), Below(tree, {"a\\x.txt", "dangling"}));
}

TEST(FindFilesRecursivePosix, FollowsALinkOutOfTheTreeOncePerFolder) {
  TempTree outside;
  outside.File("f.txt");
  outside.File("deeper/g.txt");
  TempTree tree;
  tree.Folder("real");
  fs::create_directory_symlink(outside.Root(), tree.Root() / "one");
  fs::create_directory_symlink(outside.Root(), tree.Root() / "two");
  const Paths paths = Walk(tree.Text(), "*.txt");
  // Both links are listed; the folder behind them is walked once, under whichever came first.
  for (const std::string suffix : {"\\one", "\\two", "\\f.txt", "\\deeper\\g.txt"}) {
    const auto ends = [&](const std::string& path) {
      return path.size() >= suffix.size() && path.substr(path.size() - suffix.size()) == suffix;
    };
    EXPECT_EQ(std::count_if(paths.begin(), paths.end(), ends), 1) << suffix;
  }
}

// What the walk and the search make of a folder this process may not read.
bool UnreadableFolderIsSkipped(const TempTree& tree) {
  WIN32_FIND_DATAA data;
  SetLastError(0);
  const bool refused =
      FindFirstFileA(tree.Path("locked\\*").c_str(), &data) == INVALID_HANDLE_VALUE &&
      GetLastError() == static_cast<DWORD>(ERROR_ACCESS_DENIED);
  return refused && Walk(tree.Text(), "*") == Below(tree, {"locked", "open.txt"}) &&
         !CKaPath::FileExists(tree.Path("locked\\secret.txt").c_str());
}

TEST(FindFilesRecursivePosix, ListsAnUnreadableFolderButNothingInIt) {
  TempTree tree;
  tree.File("locked/secret.txt");
  tree.File("open.txt");
  fs::permissions(tree.Root() / "locked", fs::perms::none);
  if (geteuid() != 0) {
    EXPECT_TRUE(UnreadableFolderIsSkipped(tree));
    return;
  }
  // Permission bits do not stop root: check as an ordinary user in a child process.
  GTEST_FLAG_SET(death_test_style, "fast");
  EXPECT_EXIT(
      {
        const bool dropped = setgid(65534) == 0 && setuid(65534) == 0;
        std::_Exit(dropped && UnreadableFolderIsSkipped(tree) ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST(FindFilesRecursivePosix, ReachesNamesWithSpacesBackslashesAndAnyBytes) {
  TempTree tree;
  // clang-format off
  const Paths names = {
      "with space.txt",
      "back\\slash.txt",
      "caf\xe9.txt",                 // Latin-1, not UTF-8
      "\xe6\x97\xa5\xe6\x9c\xac.txt",  // UTF-8
      "odd\\dir/inner.txt",          // a folder whose name holds a backslash
      "sp ace/\xff\xfe.txt",
  };
  // clang-format on
  for (const std::string& name : names) tree.File(name);
  const Paths paths = Walk(tree.Text(), "*.txt", true, false);
  Paths expected;
  for (std::string name : names) {
    std::replace(name.begin(), name.end(), '/', '\\');
    expected.push_back(tree.Path(name));
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(paths, expected);
  // Every path found leads back to its file.
  for (const std::string& path : paths) EXPECT_TRUE(CKaPath::FileExists(path.c_str())) << path;
}

TEST(FindFirstFileAPosix, DescribesLinksHiddenNamesAndTimes) {
  TempTree tree;
  tree.File("target.txt", "1234");
  tree.File(".hidden");
  fs::create_symlink(tree.Root() / "target.txt", tree.Root() / "link.txt");
  fs::create_directory_symlink(tree.Root(), tree.Root() / "dirlink");
  const DWORD kLink = FILE_ATTRIBUTE_REPARSE_POINT;
  // The name, attributes set and clear, the size, the reparse tag.
  // clang-format off
  const std::tuple<const char*, DWORD, DWORD, DWORD, DWORD> cases[] = {
      {"target.txt", 0,                                kLink | FILE_ATTRIBUTE_HIDDEN, 4, 0},
      {"link.txt",   kLink,                            FILE_ATTRIBUTE_DIRECTORY,      4,
       static_cast<DWORD>(IO_REPARSE_TAG_SYMLINK)},
      {"dirlink",    kLink | FILE_ATTRIBUTE_DIRECTORY, 0,                             0,
       static_cast<DWORD>(IO_REPARSE_TAG_SYMLINK)},
      {".hidden",    FILE_ATTRIBUTE_HIDDEN,            kLink,                         0, 0},
  };
  // clang-format on
  for (const auto& [name, set, clear, size, tag] : cases) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(tree.Path(name).c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << name;
    EXPECT_EQ(data.dwFileAttributes & set, set) << name;
    EXPECT_EQ(data.dwFileAttributes & clear, 0u) << name;
    EXPECT_EQ(data.nFileSizeLow, size) << name;
    EXPECT_EQ(data.dwReserved0, tag) << name;
    FindClose(search);
  }

  struct stat info;
  ASSERT_EQ(stat((tree.Root() / "target.txt").c_str(), &info), 0);
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(tree.Path("target.txt").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  const unsigned long long ticks =
      (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime;
  EXPECT_EQ(ticks,
            (static_cast<unsigned long long>(info.st_mtim.tv_sec) + 11644473600ULL) * 10000000ULL +
                static_cast<unsigned long long>(info.st_mtim.tv_nsec) / 100);
  FindClose(search);
}

TEST(FindFirstFileAPosix, TakesCColonAsTheRoot) {
  TempTree tree;
  tree.File("r.txt");
  std::string windowsStyle = "c:" + tree.Text();
  std::replace(windowsStyle.begin(), windowsStyle.end(), '/', '\\');
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((windowsStyle + "\\*.txt").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE) << windowsStyle;
  EXPECT_STREQ(data.cFileName, "r.txt");
  FindClose(search);
  EXPECT_EQ(_access((windowsStyle + "\\r.txt").c_str(), 4), 0);
  EXPECT_EQ(_access("C:\\", 0), 0);
}

TEST(FindClosePosix, RefusesHandlesThatAreNotOpenSearches) {
  int notASearch = 0;
  SetLastError(0);
  EXPECT_FALSE(FindClose(&notASearch));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  WIN32_FIND_DATAA data;
  EXPECT_FALSE(FindNextFileA(&notASearch, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(TempnamPosix, UsesTheFolderNamedByTmp) {
  TempTree tree;
  const char* old = std::getenv("TMP");
  const std::string saved = old != nullptr ? old : "";
  setenv("TMP", tree.Text().c_str(), 1);
  char* name = _tempnam("/nonexistent", "pre");
  if (old != nullptr) {
    setenv("TMP", saved.c_str(), 1);
  } else {
    unsetenv("TMP");
  }
  ASSERT_NE(name, nullptr);
  std::string expectedFolder = tree.Text();
  std::replace(expectedFolder.begin(), expectedFolder.end(), '/', '\\');
  EXPECT_EQ(std::string(name).rfind(expectedFolder + "\\pre", 0), 0u) << name;
  std::free(name);
}

}  // namespace
