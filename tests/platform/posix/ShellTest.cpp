// ShellExecuteA on POSIX, with this test program as a recording xdg-open alone on PATH: which
// document reaches the opener, and how its answers and a missing opener come back.
#include <gtest/gtest.h>
#include <plinth/win32.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/ChildProgram.h"
#include "support/TempTree.h"

namespace {

using Arguments = std::vector<std::string>;

class ShellExecute : public ::testing::Test {
 protected:
  void SetUp() override {
    oldPath_ = getenv("PATH") ? getenv("PATH") : "";
    tree_.Folder("bin");
    for (const char* name : {"report.txt", "a b;$(touch x).txt", "-dash.txt"})
      tree_.File(std::string("docs/") + name);
    plinth::test::LinkChild(tree_.Text() + "/bin/xdg-open");
    setenv(plinth::test::kChildRecordMarker, record_.c_str(), 1);
    UseOpener(0);
    ASSERT_NE(getcwd(oldFolder_, sizeof oldFolder_), nullptr);
    ASSERT_EQ(chdir(docs_.c_str()), 0);
  }
  void TearDown() override {
    setenv("PATH", oldPath_.c_str(), 1);
    unsetenv(plinth::test::kChildRecordMarker);
    unsetenv("PLINTH_TEST_CHILD_EXIT");
    EXPECT_EQ(chdir(oldFolder_), 0);
  }

  void UseOpener(int exitStatus) {
    setenv("PLINTH_TEST_CHILD_EXIT", std::to_string(exitStatus).c_str(), 1);
    setenv("PATH", (tree_.Text() + "/bin").c_str(), 1);
  }

  // The result, the last error, and the opener's arguments (none when it did not run).
  struct Outcome {
    INT_PTR result;
    DWORD error;
    Arguments opened;
  };
  Outcome Open(const char* verb, const char* file, const char* directory) {
    unlink(record_.c_str());
    SetLastError(0xDEADBEEF);
    Outcome out;
    out.result =
        reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, verb, file, nullptr, directory, 1));
    out.error = GetLastError();
    const auto record = plinth::test::ReadChildRecord(record_, std::chrono::milliseconds(0));
    if (record) out.opened = record->arguments;
    return out;
  }

  plinth::test::TempTree tree_;
  const std::string docs_ = tree_.Text() + "/docs";
  std::string oldPath_;
  char oldFolder_[4096];
  const std::string record_ = tree_.Text() + "/record";
};

TEST_F(ShellExecute, TheDocumentReachesTheOpenerAsOneArgument) {
  const std::string root = tree_.Text();
  const std::string report = docs_ + "/report.txt";
  struct Case {
    const char* verb;
    std::string file;
    const char* directory;
    std::string expected;
  } cases[] = {
      {"open", report, nullptr, report},
      {nullptr, report, nullptr, report},
      {"OPEN", report, "/nonexistent", report},  // an absolute path ignores the directory
      {"open", "C:" + docs_ + "\\report.txt", nullptr, report},
      {"open", "docs\\report.txt", root.c_str(), report},
      {"open", "report.txt", "", "report.txt"},       // from the working folder
      {"open", "-dash.txt", nullptr, "./-dash.txt"},  // never an option
      {"open", "a b;$(touch x).txt", docs_.c_str(), docs_ + "/a b;$(touch x).txt"},
      {"open", "https://example.org/a b?c=d", nullptr, "https://example.org/a b?c=d"},
      {"open", "mailto:someone@example.org", nullptr, "mailto:someone@example.org"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Outcome out = Open(c.verb, c.file.c_str(), c.directory);
    EXPECT_GT(out.result, 32);
    EXPECT_EQ(out.error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(out.opened, Arguments{c.expected});
  }
  EXPECT_NE(access((docs_ + "/x").c_str(), F_OK), 0) << "the name went through a shell";
  EXPECT_EQ(plinth::test::ChildrenOfThisProcess(), 0);
}

TEST_F(ShellExecute, Failures) {
  struct Case {
    const char* verb;
    const char* file;
    int exitStatus;  // of the opener
    INT_PTR result;
    DWORD error;
    bool opened;
  } cases[] = {
      {"open", "missing.txt", 0, SE_ERR_FNF, ERROR_FILE_NOT_FOUND, false},
      {"open", "nowhere/missing.txt", 0, SE_ERR_FNF, ERROR_FILE_NOT_FOUND, false},
      {"open", "report.txt/inside", 0, SE_ERR_PNF, ERROR_PATH_NOT_FOUND, false},
      {"open", "", 0, SE_ERR_FNF, ERROR_FILE_NOT_FOUND, false},
      {"open", nullptr, 0, SE_ERR_FNF, ERROR_FILE_NOT_FOUND, false},
      {"edit", "report.txt", 0, SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION, false},
      {"", "report.txt", 0, SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION, false},
      {"open", "report.txt", 2, SE_ERR_FNF, ERROR_FILE_NOT_FOUND, true},  // "no such file"
      {"open", "report.txt", 1, SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION, true},
      {"open", "report.txt", 3, SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION, true},  // no handler
      {"open", "report.txt", 4, SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.verb) + " " + (c.file ? c.file : "(null)") + " " +
                 std::to_string(c.exitStatus));
    UseOpener(c.exitStatus);
    const Outcome out = Open(c.verb, c.file, docs_.c_str());
    EXPECT_EQ(out.result, c.result);
    EXPECT_EQ(out.error, c.error);
    EXPECT_EQ(out.opened.empty(), !c.opened);
  }
}

TEST_F(ShellExecute, WithoutAnOpenerNothingIsAssociated) {
  // A PATH without one; with one that may not run; with an empty element standing for the
  // working folder, where one waits that must not be found.
  tree_.File("plain/xdg-open", "#!/bin/sh\n");
  ASSERT_EQ(chdir((tree_.Text() + "/bin").c_str()), 0);
  for (const std::string& path : {docs_, tree_.Text() + "/plain", ":" + docs_}) {
    SCOPED_TRACE(path);
    setenv("PATH", path.c_str(), 1);
    const Outcome out = Open("open", "../docs/report.txt", nullptr);
    EXPECT_EQ(out.result, SE_ERR_NOASSOC);
    EXPECT_EQ(out.error, static_cast<DWORD>(ERROR_NO_ASSOCIATION));
    EXPECT_TRUE(out.opened.empty());
  }
}

}  // namespace
