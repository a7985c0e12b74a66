// ShellExecuteA on POSIX, with a recording stand-in for xdg-open first on PATH: which document
// reaches the opener, and how its answers and a missing opener come back.
#include <gtest/gtest.h>
#include <plinth/win32.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/RecordingProgram.h"
#include "support/TempTree.h"

namespace {

using plinth::test::ReadRecord;
using plinth::test::TempTree;
using plinth::test::WriteRecordingProgram;

class ShellExecute : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* path = getenv("PATH")) oldPath_ = path;
    tree_.Folder("bin");
    tree_.Folder("docs");
    tree_.File("docs/report.txt", "text");
    tree_.File("docs/a b;$(touch x).txt", "text");
    tree_.File("docs/-dash.txt", "text");
    UseOpener(0);
  }
  void TearDown() override { setenv("PATH", oldPath_.c_str(), 1); }

  // An xdg-open that ends with exitStatus, alone on PATH.
  void UseOpener(int exitStatus) {
    record_ = WriteRecordingProgram(Bin() + "/xdg-open", exitStatus);
    unlink(record_.c_str());
    setenv("PATH", Bin().c_str(), 1);
  }
  std::string Bin() const { return tree_.Text() + "/bin"; }
  std::string Docs() const { return tree_.Text() + "/docs"; }

  // The result as a number, with the last error and the opener's arguments (empty when it did
  // not run).
  struct Outcome {
    INT_PTR result;
    DWORD error;
    std::vector<std::string> opened;
  };
  Outcome Open(const char* verb, const char* file, const char* directory) {
    unlink(record_.c_str());
    SetLastError(0xDEADBEEF);
    HINSTANCE result = ShellExecuteA(nullptr, verb, file, nullptr, directory, SW_SHOWNORMAL);
    const DWORD error = GetLastError();
    auto opened = ReadRecord(record_, std::chrono::milliseconds(0));
    return Outcome{reinterpret_cast<INT_PTR>(result), error, opened ? *opened : std::vector<std::string>{}};
  }

  TempTree tree_;
  std::string oldPath_;
  std::string record_;
};

TEST_F(ShellExecute, DocumentsReachTheOpenerAsOneArgument) {
  const std::string docs = Docs();
  const std::string root = tree_.Text();
  const std::string windowsDocs = "C:" + docs + "\\";
  struct Case {
    const char* verb;
    std::string file;
    const char* directory;
    std::string expected;  // the opener's one argument
  } cases[] = {
      {"open", docs + "/report.txt", nullptr, docs + "/report.txt"},
      {nullptr, docs + "/report.txt", nullptr, docs + "/report.txt"},
      {"OPEN", docs + "/report.txt", nullptr, docs + "/report.txt"},
      {"open", windowsDocs + "report.txt", nullptr, docs + "/report.txt"},
      {"open", "report.txt", docs.c_str(), docs + "/report.txt"},
      {"open", "docs\\report.txt", root.c_str(), root + "/docs/report.txt"},
      // An absolute document ignores the directory.
      {"open", docs + "/report.txt", "/nonexistent", docs + "/report.txt"},
      {"open", "a b;$(touch x).txt", docs.c_str(), docs + "/a b;$(touch x).txt"},
      {"open", "https://example.org/a b?c=d", nullptr, "https://example.org/a b?c=d"},
      {"open", "mailto:someone@example.org", nullptr, "mailto:someone@example.org"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Outcome outcome = Open(c.verb, c.file.c_str(), c.directory);
    EXPECT_GT(outcome.result, 32);
    EXPECT_EQ(outcome.error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(outcome.opened, std::vector<std::string>{c.expected});
  }
  struct stat status;
  EXPECT_NE(stat((docs + "/x").c_str(), &status), 0) << "the name went through a shell";
}

TEST_F(ShellExecute, RelativeNamesStartFromTheWorkingFolder) {
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(Docs().c_str()), 0);
  const Outcome plain = Open("open", "report.txt", "");
  // A name that begins with a dash must not reach the opener as an option.
  const Outcome dash = Open("open", "-dash.txt", nullptr);
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_GT(plain.result, 32);
  EXPECT_EQ(plain.opened, std::vector<std::string>{"report.txt"});
  EXPECT_GT(dash.result, 32);
  EXPECT_EQ(dash.opened, std::vector<std::string>{"./-dash.txt"});
}

TEST_F(ShellExecute, FailuresBeforeTheOpenerRuns) {
  const std::string docs = Docs();
  struct Case {
    const char* verb;
    const char* file;
    const char* directory;
    INT_PTR result;
    DWORD error;
  } cases[] = {
      {"open", "missing.txt", docs.c_str(), SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
      {"open", "nowhere/missing.txt", docs.c_str(), SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
      {"open", "report.txt/inside", docs.c_str(), SE_ERR_PNF, ERROR_PATH_NOT_FOUND},
      {"open", "", docs.c_str(), SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
      {"open", nullptr, docs.c_str(), SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
      {"edit", "report.txt", docs.c_str(), SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
      {"print", "report.txt", docs.c_str(), SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
      {"", "report.txt", docs.c_str(), SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.verb) + " " + (c.file ? c.file : "(null)"));
    const Outcome outcome = Open(c.verb, c.file, c.directory);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.error, c.error);
    EXPECT_TRUE(outcome.opened.empty());
  }
}

TEST_F(ShellExecute, TheOpenersAnswers) {
  const std::string document = Docs() + "/report.txt";
  struct Case {
    int exitStatus;
    INT_PTR result;
    DWORD error;
  } cases[] = {
      {0, 42, ERROR_SUCCESS},
      {2, SE_ERR_FNF, ERROR_FILE_NOT_FOUND},  // the opener's "file does not exist"
      {1, SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
      {3, SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},  // no handler tool
      {4, SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exitStatus);
    UseOpener(c.exitStatus);
    const Outcome outcome = Open("open", document.c_str(), nullptr);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.error, c.error);
    EXPECT_EQ(outcome.opened, std::vector<std::string>{document});
  }
  // The opener was waited for, every time.
  EXPECT_EQ(plinth::test::ZombieChildren(), 0);
}

TEST_F(ShellExecute, WithoutAnOpenerNothingIsAssociated) {
  const std::string document = Docs() + "/report.txt";
  // PATH without xdg-open; one that may not be run; an empty PATH element (the working folder,
  // where an opener waits that must not be found); no PATH at all.
  tree_.Folder("plain");
  tree_.File("plain/xdg-open", "#!/bin/sh\nexit 0\n");
  chmod((tree_.Text() + "/plain/xdg-open").c_str(), 0644);
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(Bin().c_str()), 0);
  const std::string paths[] = {tree_.Text() + "/docs", tree_.Text() + "/plain", ":" + Docs()};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    setenv("PATH", path.c_str(), 1);
    const Outcome outcome = Open("open", document.c_str(), nullptr);
    EXPECT_EQ(outcome.result, SE_ERR_NOASSOC);
    EXPECT_EQ(outcome.error, static_cast<DWORD>(ERROR_NO_ASSOCIATION));
    EXPECT_TRUE(outcome.opened.empty());
  }
  unsetenv("PATH");
  EXPECT_EQ(Open("open", document.c_str(), nullptr).result, SE_ERR_NOASSOC);
  ASSERT_EQ(chdir(previous), 0);
}

}  // namespace
