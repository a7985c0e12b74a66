// Starting programs, waiting for them and opening documents, seen from the child's side: the
// child is this test program again (tests/support/ChildProgram.h), which writes down the
// arguments, PATH and folder it received.
#include <gtest/gtest.h>

#include <plinth/KaPath.h>
#include <plinth/KaShell.h>
#include <plinth/Registry.h>
#include <plinth/win32.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/ChildProgram.h"
#include "support/TempTree.h"

namespace {

using plinth::test::ChildProgram;
using plinth::test::ChildRecord;

const char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr char kSlash = std::filesystem::path::preferred_separator;

const ChildProgram& Child() {
  static const ChildProgram child;
  return child;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::optional<std::string> EnvironmentValue(const char* name) {
  char buffer[8192];
  SetLastError(ERROR_SUCCESS);
  const DWORD length = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
  if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
  return std::string(buffer, length < sizeof buffer ? length : 0);
}

void SetEnvironmentValue(const char* name, const std::optional<std::string>& value) {
  SetEnvironmentVariableA(name, value ? value->c_str() : nullptr);
}

class LaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedPath_ = EnvironmentValue("PATH");
    record_ = temp_.Text() + kSlash + "record";
    SetEnvironmentVariableA(plinth::test::kChildRecordMarker, record_.c_str());
    documentType_ = ".plinth" + Child().Name();
    documentClass_ = "PlinthTest." + Child().Name();
  }
  void TearDown() override {
    SetEnvironmentVariableA(plinth::test::kChildRecordMarker, nullptr);
    SetEnvironmentValue("PATH", savedPath_);
    for (const std::string& key : {kAppPaths + Child().Name(), kAppPaths + Child().Name() + ".exe"})
      CRegistry::DeleteKey(key.c_str(), nullptr, HKEY_LOCAL_MACHINE);
    CRegistry::DeleteKey(documentType_.c_str(), nullptr, HKEY_CLASSES_ROOT);
    CRegistry::DeleteKey(documentClass_.c_str(), nullptr, HKEY_CLASSES_ROOT);
  }

  std::string ChildCommand(const std::string& arguments) const {
    return Quoted(Child().Command()) + " " + arguments;
  }
  void RegisterAppPath(const std::string& name, const CRegVal& value) const {
    ASSERT_TRUE(CRegistry::SaveKey((kAppPaths + name).c_str(), "Path", value, HKEY_LOCAL_MACHINE));
  }
  // The document type's class and its open command template, "CHILD" standing for the child.
  void RegisterOpenCommand(std::string command) const {
    const std::size_t child = command.find("CHILD");
    if (child != std::string::npos) command.replace(child, 5, Quoted(Child().Command()));
    ASSERT_TRUE(
        CRegistry(HKEY_CLASSES_ROOT).SaveKey(documentType_.c_str(), "", documentClass_.c_str()));
    const std::string key = documentClass_ + "\\shell\\open\\command";
    ASSERT_TRUE(CRegistry(HKEY_CLASSES_ROOT).SaveKey(key.c_str(), "", command.c_str()));
  }
  ChildRecord Received() const {
    ChildRecord record;
    EXPECT_TRUE(plinth::test::ReadChildRecord(record_, record)) << "the child wrote nothing";
    return record;
  }

  plinth::test::TempTree temp_;
  std::string record_;
  std::string documentType_;
  std::string documentClass_;
  std::optional<std::string> savedPath_;
};

TEST_F(LaunchTest, EnvironmentVariableReadsTheProcessEnvironment) {
  const std::string longValue(3000, 'v');
  const struct {
    std::optional<std::string> value;
    const char* expected;
  } cases[] = {{std::nullopt, ""}, {"", ""}, {"value", "value"}, {longValue, longValue.c_str()}};
  for (const auto& c : cases) {
    SetEnvironmentValue("PLINTH_TEST_VARIABLE", c.value);
    EXPECT_STREQ(CKaShell::GetEnvironmentVariableA("PLINTH_TEST_VARIABLE"), c.expected);
  }
  SetEnvironmentValue("PLINTH_TEST_VARIABLE", std::nullopt);
}

// The registered search path goes in front of PATH for the child only. On Windows the ";" is
// always written; on POSIX the list is rebuilt with ":" and no empty element.
TEST_F(LaunchTest, ChildSeesRegisteredPathInFrontOfPath) {
  const struct {
    std::optional<std::string> registered;
    std::optional<std::string> oldPath;
    const char* windows;
    const char* posix;  // null: PATH unset in the child
  } cases[] = {
      {std::nullopt, "/w", ";/w", "/w"},
      {"/p", "/w", "/p;/w", "/p:/w"},
      {"/p;;/q;", "/w", "/p;;/q;;/w", "/p:/q:/w"},
      {"/p:/q", "/w", "/p:/q;/w", "/p:/q:/w"},
      {"c:\\p\\q;/r", "/w", "c:\\p\\q;/r;/w", "/p/q:/r:/w"},
      {"/p", std::nullopt, "/p;", "/p"},
      {"/p", "", "/p;", "/p"},
      {std::nullopt, std::nullopt, ";", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.windows);
    CRegistry::DeleteKey((kAppPaths + Child().FileName()).c_str(), nullptr, HKEY_LOCAL_MACHINE);
    if (c.registered) RegisterAppPath(Child().FileName(), CRegVal(c.registered->c_str()));
    SetEnvironmentValue("PATH", c.oldPath);
    ASSERT_TRUE(CKaShell::LaunchApplication(ChildCommand("-x").c_str(), SW_HIDE));
    // Restored at once, before the child has necessarily run; empty comes back as unset.
    EXPECT_EQ(EnvironmentValue("PATH"),
              c.oldPath && !c.oldPath->empty() ? c.oldPath : std::nullopt);
    const ChildRecord received = Received();
#if defined(_WIN32)
    EXPECT_EQ(received.path, c.windows);
#else
    EXPECT_EQ(received.pathSet, c.posix != nullptr);
    if (c.posix) {
      EXPECT_EQ(received.path, c.posix);
    }
#endif
    EXPECT_EQ(received.arguments, std::vector<std::string>{"-x"});
  }
}

TEST_F(LaunchTest, RegisteredPathIsNotAStringIsIgnored) {
  RegisterAppPath(Child().FileName(), CRegVal(7ul));
  SetEnvironmentValue("PATH", "/w");
  ASSERT_TRUE(CKaShell::LaunchApplication(ChildCommand("").c_str(), SW_HIDE));
  EXPECT_EQ(Received().path, kSlash == '\\' ? ";/w" : "/w");
}

TEST_F(LaunchTest, PathIsRestoredWhenTheProgramCannotStart) {
  const std::string missing = Quoted(temp_.Text() + kSlash + "missing") + " -x";
  for (const std::optional<std::string>& old :
       {std::optional<std::string>("/w"), std::optional<std::string>(),
        std::optional<std::string>("")}) {
    SetEnvironmentValue("PATH", old);
    EXPECT_FALSE(CKaShell::LaunchApplication(missing.c_str(), SW_HIDE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(EnvironmentValue("PATH"), old && !old->empty() ? old : std::nullopt);
  }
}

// The key is the program's last path component as written, extension and all.
TEST_F(LaunchTest, AppPathsKeyIsTheProgramsBaseName) {
  if (Child().Folder().find(' ') != std::string::npos) GTEST_SKIP() << "folder with blanks";
  RegisterAppPath(Child().Name() + ".exe", CRegVal("/with-extension"));
  RegisterAppPath(Child().Name(), CRegVal("/without-extension"));
  const std::string program = Child().Folder() + kSlash + Child().Name();
  const struct {
    std::string commandLine;
    const char* pathStart;
  } cases[] = {{Quoted(program + ".exe") + " -x", "/with-extension"},
               {program + " -x", "/without-extension"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(CKaShell::LaunchApplication(c.commandLine.c_str(), SW_HIDE)) << c.commandLine;
    const ChildRecord received = Received();
    EXPECT_EQ(received.path.rfind(c.pathStart, 0), 0u) << received.path;
    EXPECT_EQ(received.arguments, std::vector<std::string>{"-x"});
  }
}

TEST_F(LaunchTest, CallerKeepsTheHandlesWhenItAsks) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(
      CKaShell::LaunchApplication(ChildCommand("--exit=5").c_str(), &startup, &process, false));
  EXPECT_NE(process.dwProcessId, 0u);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD exitCode = 0;
  EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &exitCode));
  EXPECT_EQ(exitCode, 5u);
  EXPECT_TRUE(CloseHandle(process.hThread));
  EXPECT_TRUE(CloseHandle(process.hProcess));
}

TEST_F(LaunchTest, EmptyCommandLineStartsNothing) {
  STARTUPINFOA startup = {};
  PROCESS_INFORMATION process = {};
  EXPECT_FALSE(CKaShell::LaunchApplication("", SW_HIDE));
  EXPECT_FALSE(CKaShell::LaunchApplication("", &startup, &process, true));
  EXPECT_EQ(process.hProcess, nullptr);
}

TEST_F(LaunchTest, WaitReportsTheExitCode) {
  for (DWORD code : {0u, 7u, 200u}) {
    DWORD exitCode = 12345;
    EXPECT_TRUE(
        CKaShell::LaunchApplicationAndWait(ChildCommand("--exit=" + std::to_string(code)).c_str(),
                                           temp_.Text().c_str(), SW_HIDE, -1, &exitCode));
    EXPECT_EQ(exitCode, code);
  }
}

TEST_F(LaunchTest, WaitRunsTheChildInTheWorkingDirectory) {
  DWORD exitCode = 12345;
  ASSERT_TRUE(CKaShell::LaunchApplicationAndWait(ChildCommand("").c_str(), temp_.Text().c_str(),
                                                 SW_HIDE, 30, &exitCode));
  EXPECT_TRUE(std::filesystem::equivalent(Received().folder, temp_.Root()));
}

TEST_F(LaunchTest, WaitWithNoTimeLeftLeavesTheChildRunning) {
  const std::string hold = temp_.Text() + kSlash + "hold";
  std::ofstream(hold) << "";
  DWORD exitCode = 12345;
  EXPECT_FALSE(CKaShell::LaunchApplicationAndWait(ChildCommand("--hold=" + Quoted(hold)).c_str(),
                                                  temp_.Text().c_str(), SW_HIDE, 0, &exitCode));
  EXPECT_EQ(exitCode, static_cast<DWORD>(STILL_ACTIVE));
  std::filesystem::remove(hold);
  Received();  // it ends once let go
}

TEST_F(LaunchTest, WaitForAMissingProgramGivesTheErrorCode) {
  DWORD exitCode = 12345;
  const std::string missing = Quoted(temp_.Text() + kSlash + "missing") + " -x";
  EXPECT_FALSE(CKaShell::LaunchApplicationAndWait(missing.c_str(), temp_.Text().c_str(), SW_HIDE,
                                                  -1, &exitCode));
  EXPECT_EQ(exitCode, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// The registered template is cut before its placeholder and the document appended after one
// blank. An unclosed quote in the template keeps the blanks visible in the child's argument.
TEST_F(LaunchTest, OpenCommandIsCutBeforeThePlaceholder) {
  const std::string document = temp_.Text() + kSlash + "missing.doc";
  const struct {
    const char* command;
    std::vector<std::string> expected;
  } cases[] = {
      {"CHILD /open \"%1\" /x", {"/open", document}},
      {"CHILD %1", {document}},
      {"CHILD", {document}},
      {"CHILD \"[ \"%1\" /x", {"[  " + document}},
      {"CHILD \"[ %1 /x", {"[  " + document}},
      {"CHILD \"[", {"[ " + document}},
      {"CHILD \"%1%1\"", {" " + document}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    RegisterOpenCommand(c.command);
    ASSERT_TRUE(
        CKaShell::LaunchApplicationEx(document.c_str(), SW_HIDE, documentType_.c_str(), nullptr));
    EXPECT_EQ(Received().arguments, c.expected);
  }
}

TEST_F(LaunchTest, OpenWithoutUsableRegistrationStartsNothing) {
  const std::string document = temp_.Text() + kSlash + "missing.doc";
  EXPECT_FALSE(CKaShell::LaunchApplicationEx(document.c_str(), SW_HIDE, nullptr, nullptr));
  // No type key, then a class without an open command: nothing to start, but not a failure.
  EXPECT_TRUE(
      CKaShell::LaunchApplicationEx(document.c_str(), SW_HIDE, documentType_.c_str(), nullptr));
  ASSERT_TRUE(
      CRegistry(HKEY_CLASSES_ROOT).SaveKey(documentType_.c_str(), "", documentClass_.c_str()));
  EXPECT_TRUE(
      CKaShell::LaunchApplicationEx(document.c_str(), SW_HIDE, documentType_.c_str(), nullptr));
  // A class name longer than any key name: read whole, its command key simply not found.
  const std::string longClass(600, 'c');
  ASSERT_TRUE(CRegistry(HKEY_CLASSES_ROOT).SaveKey(documentType_.c_str(), "", longClass.c_str()));
  EXPECT_TRUE(
      CKaShell::LaunchApplicationEx(document.c_str(), SW_HIDE, documentType_.c_str(), nullptr));
  EXPECT_FALSE(std::filesystem::exists(record_));
}

// Beyond the 520 bytes a fixed buffer would hold, command lines are built whole.
TEST_F(LaunchTest, LongOpenCommandsAreBuiltWhole) {
  const std::string document = temp_.Text() + kSlash + std::string(700, 'd');
  const std::string padding(600, 'p');
  RegisterOpenCommand("CHILD " + padding + " \"%1\"");
  ASSERT_TRUE(
      CKaShell::LaunchApplicationEx(document.c_str(), SW_HIDE, documentType_.c_str(), nullptr));
  EXPECT_EQ(Received().arguments, (std::vector<std::string>{padding, document}));
}

// A document type registered through the library and opened where the shell has no handler.
TEST_F(LaunchTest, RegisteredTypeOpensItsDocuments) {
  temp_.File("letter.doc", "text");
  const std::string document = temp_.Text() + kSlash + "letter.doc";
  ASSERT_TRUE(CRegistry(HKEY_CLASSES_ROOT).SaveKey(documentType_.c_str(), "", ""));
  const std::string command = Quoted(Child().Command()) + " \"%1\"";
  ASSERT_EQ(
      CKaPath::RegisterFileType(documentType_.c_str(), documentClass_.c_str(), command.c_str()),
      S_OK);
  // No desktop opener on the search path.
  SetEnvironmentValue("PATH", temp_.Text());
  ASSERT_TRUE(
      CKaShell::LaunchApplicationEx(document.c_str(), SW_HIDE, documentType_.c_str(), nullptr));
  EXPECT_EQ(Received().arguments, std::vector<std::string>{document});
}

}  // namespace
