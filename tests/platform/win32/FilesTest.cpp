// File search, attributes and the runtime's path helpers, as Windows gives them: these cases
// hold against the real system and the POSIX platform layer alike.

#include <gtest/gtest.h>
#include <plinth/win32.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "support/TempTree.h"

namespace {

using plinth::test::TempTree;

constexpr DWORD kSentinel = 0xDEADBEEF;

// Names of every entry a search yields, or the search's error code.
struct Listing {
  std::vector<std::string> names;
  DWORD error = 0;
};

Listing List(const std::string& pattern) {
  Listing listing;
  WIN32_FIND_DATAA data;
  SetLastError(kSentinel);
  HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) {
    listing.error = GetLastError();
    return listing;
  }
  do listing.names.push_back(data.cFileName);
  while (FindNextFileA(search, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES)) << pattern;
  SetLastError(kSentinel);  // and keeps saying so
  EXPECT_FALSE(FindNextFileA(search, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES)) << pattern;
  EXPECT_TRUE(FindClose(search));
  std::sort(listing.names.begin(), listing.names.end());
  return listing;
}

using Names = std::vector<std::string>;

TEST(FindFirstFileA, MatchesWildcardsAsWindowsDoes) {
  TempTree tree;
  tree.File("a.txt", "alpha");
  tree.File("B.TXT");
  tree.File("c.log");
  tree.File("noext");
  tree.File("ab.txt.bak");
  tree.Folder("sub");
  // clang-format off
  const std::pair<const char*, Names> cases[] = {
      {"*",        {".", "..", "B.TXT", "a.txt", "ab.txt.bak", "c.log", "noext", "sub"}},
      {"*.*",      {".", "..", "B.TXT", "a.txt", "ab.txt.bak", "c.log", "noext", "sub"}},
      {"*.txt",    {"B.TXT", "a.txt"}},
      {"*.TXT",    {"B.TXT", "a.txt"}},
      {"?.log",    {"c.log"}},
      {"?.txt",    {"B.TXT", "a.txt"}},
      {"a*",       {"a.txt", "ab.txt.bak"}},
      {"*t*.b*",   {"ab.txt.bak"}},
      {"A.TXT",    {"a.txt"}},          // no wildcard: one entry, spelled as it is stored
      {"sub",      {"sub"}},
      {"S?B",      {"sub"}},
  };
  // clang-format on
  for (const auto& [pattern, names] : cases) {
    for (const char* separator : {"\\", "/"}) {
      const Listing listing = List(tree.Text() + separator + pattern);
      EXPECT_EQ(listing.error, 0u) << pattern;
      EXPECT_EQ(listing.names, names) << pattern << " after " << separator;
    }
  }
}

TEST(FindFirstFileA, FailsWithTheWin32Codes) {
  TempTree tree;
  tree.File("a.txt");
  const std::pair<std::string, DWORD> cases[] = {
      {tree.Path("*.none"), ERROR_FILE_NOT_FOUND},
      {tree.Path("missing"), ERROR_FILE_NOT_FOUND},
      {tree.Path("nofolder\\*"), ERROR_PATH_NOT_FOUND},
      {tree.Path(std::string(MAX_PATH, 'x')), ERROR_FILENAME_EXCED_RANGE},
  };
  for (const auto& [pattern, error] : cases) {
    WIN32_FIND_DATAA data;
    SetLastError(kSentinel);
    EXPECT_EQ(FindFirstFileA(pattern.c_str(), &data), INVALID_HANDLE_VALUE) << pattern;
    EXPECT_EQ(GetLastError(), error) << pattern;
  }
}

TEST(FindFirstFileA, ReportsAttributesSizesAndTimes) {
  TempTree tree;
  tree.File("five.bin", "12345");
  tree.Folder("sub");
  const auto before = std::chrono::system_clock::now();

  WIN32_FIND_DATAA data;
  std::memset(&data, 0x5A, sizeof data);
  HANDLE search = FindFirstFileA(tree.Path("five.bin").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "five.bin");
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_EQ(data.nFileSizeLow, 5u);
  // 100-ns ticks since 1601: within a day of now.
  const ULONGLONG written =
      (ULONGLONG{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(before.time_since_epoch());
  const ULONGLONG now = (seconds.count() + 11644473600ULL) * 10000000ULL;
  EXPECT_LT(written > now ? written - now : now - written, 864000000000ULL);
  FindClose(search);

  EXPECT_NE(GetFileAttributesA(tree.Path("sub").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(GetFileAttributesA(tree.Path("five.bin").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  SetLastError(kSentinel);
  EXPECT_EQ(GetFileAttributesA(tree.Path("none").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(Win32FindData, HasTheWindowsLayout) {
  EXPECT_EQ(offsetof(WIN32_FIND_DATAA, dwFileAttributes), 0u);
  EXPECT_EQ(offsetof(WIN32_FIND_DATAA, ftCreationTime), 4u);
  EXPECT_EQ(offsetof(WIN32_FIND_DATAA, ftLastAccessTime), 12u);
  EXPECT_EQ(offsetof(WIN32_FIND_DATAA, ftLastWriteTime), 20u);
  EXPECT_EQ(offsetof(WIN32_FIND_DATAA, nFileSizeHigh), 28u);
  EXPECT_EQ(offsetof(WIN32_FIND_DATAA, nFileSizeLow), 32u);
  EXPECT_EQ(offsetof(WIN32_FIND_DATAA, dwReserved0), 36u);
  EXPECT_EQ(offsetof(WIN32_FIND_DATAA, dwReserved1), 40u);
  EXPECT_EQ(offsetof(WIN32_FIND_DATAA, cFileName), 44u);
  EXPECT_EQ(offsetof(WIN32_FIND_DATAA, cAlternateFileName), 304u);
  EXPECT_EQ(sizeof(WIN32_FIND_DATAA), 320u);
  EXPECT_EQ(MAX_PATH, 260);
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, 0x10);
  EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, 206);
}

std::string Backslashed(std::string text) {
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

TEST(Fullpath, ResolvesDotsAndKeepsTheTrailingSeparator) {
  TempTree tree;
  const std::string root = tree.Text();
  const std::pair<std::string, std::string> cases[] = {
      {root + "\\a\\b", root + "\\a\\b"},        {root + "\\a\\.\\b", root + "\\a\\b"},
      {root + "\\a\\x\\..\\b", root + "\\a\\b"}, {root + "\\a\\b\\..", root + "\\a"},
      {root + "\\a\\b\\", root + "\\a\\b\\"},    {root + "\\*.txt", root + "\\*.txt"},
      {root + "/a/../c", root + "\\c"},
  };
  for (const auto& [path, full] : cases) {
    char buffer[MAX_PATH];
    ASSERT_NE(_fullpath(buffer, path.c_str(), sizeof buffer), nullptr) << path;
    EXPECT_EQ(Backslashed(buffer), Backslashed(full)) << path;
  }
  char tiny[4];
  EXPECT_EQ(_fullpath(tiny, root.c_str(), sizeof tiny), nullptr);
  char* made = _fullpath(nullptr, (root + "\\q").c_str(), 0);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(Backslashed(made), Backslashed(root + "\\q"));
  std::free(made);
  // A relative path goes after the working folder.
  made = _fullpath(nullptr, "rel\\name.txt", 0);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(Backslashed(made),
            Backslashed(std::filesystem::current_path().string()) + "\\rel\\name.txt");
  std::free(made);
}

}  // namespace
