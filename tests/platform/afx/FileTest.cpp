// CFile and CStdioFile on real files: open rules, text mode, the sticky end, sharing, failures.
#include <gtest/gtest.h>
#include <plinth/afx/File.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/FrameworkExceptions.h"
#include "support/TempTree.h"

namespace {

using plinth::test::Caught;
using plinth::test::TempTree;

std::string Content(const TempTree& tree, const std::string& name) {
  std::ifstream in(tree.Root() / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

constexpr UINT kAppendText = CFile::modeWrite | CFile::shareDenyNone | CFile::modeCreate |
                             CFile::modeNoTruncate | CFile::typeText;

TEST(File, TextModeWritesCarriageReturnLineFeed) {
  struct Case {
    UINT type;
    const char* written;
    std::string onDisk;
  };
  const Case cases[] = {
      {CFile::typeText, "a\nb\n\n", "a\r\nb\r\n\r\n"},
      {0, "a\nb", "a\r\nb"},  // text mode unless binary is asked for
      {CFile::typeText, "cr\r\n", "cr\r\r\n"},
      {CFile::typeBinary, "a\nb\n", "a\nb\n"},
  };
  for (const Case& c : cases) {
    TempTree tree;
    {
      CStdioFile file(tree.Path("f.txt").c_str(), CFile::modeWrite | CFile::modeCreate | c.type);
      file.WriteString(c.written);
    }  // the destructor writes what was collected
    EXPECT_EQ(Content(tree, "f.txt"), c.onDisk) << c.written;
  }
}

TEST(File, ReadStringTakesLinesWithoutTheirEnds) {
  struct Case {
    std::string onDisk;
    std::vector<std::string> lines;
  };
  const std::string longLine(4095, 'x');  // its CR ends the first buffer, its LF starts the next
  const Case cases[] = {
      {"", {}},
      {"a\r\nb", {"a", "b"}},
      {"a\r\n\r\n", {"a", ""}},
      {"a\rb\r\n", {"a\rb"}},
      {"x\n", {"x"}},
      {"trailing cr\r", {"trailing cr\r"}},
      {longLine + "\r\ny", {longLine, "y"}},
  };
  for (const Case& c : cases) {
    TempTree tree;
    tree.File("f.txt", c.onDisk);
    CStdioFile file(tree.Path("f.txt").c_str(), CFile::modeRead | CFile::typeText);
    std::vector<std::string> lines;
    CString line = "sentinel";
    while (file.ReadString(line)) lines.emplace_back(line.GetString(), line.GetLength());
    EXPECT_TRUE(line.IsEmpty());
    EXPECT_EQ(lines, c.lines) << c.onDisk.substr(0, 20);
  }
}

TEST(File, ReadStringIntoABufferKeepsTheLineFeed) {
  TempTree tree;
  tree.File("f.txt", "abcdef\r\ng\r\n");
  CStdioFile file(tree.Path("f.txt").c_str(), CFile::modeRead);
  char buffer[5];
  std::vector<std::string> pieces;
  while (file.ReadString(buffer, sizeof buffer)) pieces.push_back(buffer);
  EXPECT_EQ(pieces, (std::vector<std::string>{"abcd", "ef\n", "g\n"}));
}

TEST(File, CreateAndTruncateFollowTheFlags) {
  struct Case {
    UINT flags;
    bool toEnd;
    std::string after;
  };
  const UINT write = CFile::modeWrite | CFile::typeBinary;
  const Case cases[] = {
      {write | CFile::modeCreate, false, "new"},
      {write | CFile::modeCreate | CFile::modeNoTruncate, false, "new-content"},
      {write | CFile::modeCreate | CFile::modeNoTruncate, true, "old-contentnew"},
      {write, false, "new-content"},
  };
  for (const Case& c : cases) {
    TempTree tree;
    tree.File("f.bin", "old-content");
    CStdioFile file(tree.Path("f.bin").c_str(), c.flags);
    if (c.toEnd) {
      EXPECT_EQ(file.SeekToEnd(), 11u);
    }
    file.WriteString("new");
    file.Close();
    EXPECT_EQ(Content(tree, "f.bin"), c.after) << std::hex << c.flags;
  }
}

#if !defined(_WIN32)
TEST(File, DevicesOpenWithAnyCreationFlags) {
  for (UINT create : {0u, 0u + CFile::modeCreate, CFile::modeCreate | CFile::modeNoTruncate}) {
    CStdioFile sink("/dev/null", CFile::modeWrite | CFile::shareDenyNone | create);
    sink.SeekToEnd();
    sink.WriteString("gone\n");
    sink.Flush();
  }
}
#endif

TEST(File, StickyEndAppendsAfterOtherWriters) {
  TempTree tree;
  const std::string path = tree.Path("log.txt");
  CStdioFile first(path.c_str(), kAppendText);
  CStdioFile second(path.c_str(), kAppendText);
  first.SeekToEnd();
  second.SeekToEnd();
  for (const char* line : {"1\n", "2\n", "3\n", "4\n"}) {
    CStdioFile& writer = line[0] % 2 ? first : second;
    writer.WriteString(line);
    writer.Flush();
  }
  EXPECT_EQ(Content(tree, "log.txt"), "1\r\n2\r\n3\r\n4\r\n");

  // Seeking elsewhere lets the end go: the write lands where the object stands.
  first.Seek(1, CFile::begin);
  first.WriteString("X");
  first.Flush();
  EXPECT_EQ(Content(tree, "log.txt"), "1X\n2\r\n3\r\n4\r\n");
}

TEST(File, PositionLengthAndSeekCountCollectedBytes) {
  TempTree tree;
  CStdioFile file(tree.Path("f.txt").c_str(),
                  CFile::modeReadWrite | CFile::modeCreate | CFile::typeText);
  file.WriteString("ab\ncd");
  EXPECT_EQ(file.GetPosition(), 6u);
  EXPECT_EQ(file.GetLength(), 6u);
  EXPECT_EQ(file.Seek(-2, CFile::current), 4u);
  char buffer[8] = {};
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 2u);
  EXPECT_EQ(std::string(buffer), "cd");
  file.SeekToBegin();
  EXPECT_EQ(file.Read(buffer, 3), 3u);  // "ab", then CR LF read as one "\n"
  EXPECT_EQ(std::string(buffer, 3), "ab\n");
  EXPECT_EQ(file.GetPosition(), 4u);
  file.SetLength(2);
  EXPECT_EQ(file.GetLength(), 2u);
  EXPECT_EQ(file.GetFileName(), CString("f.txt"));
  CFileException* e = dynamic_cast<CFileException*>(Caught([&] { file.Seek(-10, CFile::begin); }));
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->m_cause, CFileException::badSeek);
  e->Delete();
}

TEST(File, FailuresThrowWithACause) {
  TempTree tree;
  tree.Folder("folder");
  tree.File("exists.txt", "x");
  struct Case {
    std::string name;
    UINT flags;
    int cause;
  };
  const Case cases[] = {
      {tree.Path("missing.txt"), CFile::modeRead, CFileException::fileNotFound},
      {tree.Path("no-folder\\x.txt"), kAppendText, CFileException::badPath},
      {tree.Path("folder"), CFile::modeRead, CFileException::accessDenied},
      {tree.Path("folder"), kAppendText, CFileException::accessDenied},
      {"", kAppendText, CFileException::badPath},
  };
  for (const Case& c : cases) {
    CException* thrown = Caught([&] { CStdioFile file(c.name.c_str(), c.flags); });
    auto* e = dynamic_cast<CFileException*>(thrown);
    ASSERT_NE(e, nullptr) << c.name;
    EXPECT_EQ(e->m_cause, c.cause) << c.name;
    EXPECT_NE(e->m_lOsError, 0) << c.name;
    EXPECT_EQ(e->m_strFileName, CString(c.name.c_str()));
    e->Delete();

    // Open reports the same into the caller's exception and throws nothing.
    CStdioFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(c.name.c_str(), c.flags, &error));
    EXPECT_EQ(error.m_cause, c.cause) << c.name;
    EXPECT_TRUE(file.GetFilePath().IsEmpty());
  }

  // A file opened for one direction refuses the other.
  CFile readOnly(tree.Path("exists.txt").c_str(), CFile::modeRead | CFile::shareDenyNone);
  CFile writeOnly(tree.Path("exists.txt").c_str(), CFile::modeWrite | CFile::shareDenyNone);
  char byte;
  for (CException* thrown :
       {Caught([&] { readOnly.Write("y", 1); }), Caught([&] { writeOnly.Read(&byte, 1); })}) {
    auto* e = dynamic_cast<CFileException*>(thrown);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->m_cause, CFileException::accessDenied);
    e->Delete();
  }
}

TEST(File, ShareModesDecideWhetherASecondOpenSucceeds) {
  struct Case {
    UINT first;
    UINT second;
    bool opens;
  };
  const UINT read = CFile::modeRead, write = CFile::modeWrite, both = CFile::modeReadWrite;
  const Case cases[] = {
      {read | CFile::shareDenyNone, both | CFile::shareDenyNone, true},
      {write | CFile::shareDenyNone, write | CFile::shareDenyNone, true},
      {read | CFile::shareDenyWrite, read | CFile::shareDenyWrite, true},
      {read | CFile::shareDenyWrite, write | CFile::shareDenyNone, false},
      {write | CFile::shareDenyNone, read | CFile::shareDenyWrite, false},
      {read | CFile::shareDenyRead, read | CFile::shareDenyNone, false},
      {read | CFile::shareDenyRead, write | CFile::shareDenyNone, true},
      {both | CFile::shareExclusive, read | CFile::shareDenyNone, false},
      {read | CFile::shareDenyNone, read | CFile::shareExclusive, false},
  };
  TempTree tree;
  tree.File("f.txt", "x");
  const std::string path = tree.Path("f.txt");
  for (const Case& c : cases) {
    CFile first(path.c_str(), c.first);
    CFile second;
    CFileException error;
    EXPECT_EQ(second.Open(path.c_str(), c.second, &error), c.opens ? TRUE : FALSE)
        << std::hex << c.first << " then " << c.second;
    if (!c.opens) {
      EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
    }
  }
  // Once the first object is closed, its denial goes with it.
  CFile exclusive(path.c_str(), both | CFile::shareExclusive);
  exclusive.Close();
  CFile after;
  EXPECT_TRUE(after.Open(path.c_str(), read | CFile::shareDenyNone));
}

}  // namespace
