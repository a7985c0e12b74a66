// The message log as a host sees it: the lines each sequence of calls leaves in each file.
#include <gtest/gtest.h>
#include <plinth/KaShell.h>
#include <plinth/afx/DateTime.h>
#include <plinth/afx/File.h>

#include <clocale>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/TempTree.h"

namespace {

using plinth::test::TempTree;

const std::string kStart = "************* Start ************* ";
const std::regex kLine(R"(^(\d\d/\d\d/\d\d \d\d:\d\d:\d\d): ([^\r]*)$)");

std::string Content(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The messages of a log's lines, after the given leading content; a line that does not have
// the stamp, or a file that does not end in CR LF, shows up as "<bad: …>".
std::vector<std::string> Messages(const std::string& content, const std::string& kept = "") {
  std::vector<std::string> messages;
  if (content.compare(0, kept.size(), kept) != 0) return {"<bad: lost " + kept + ">"};
  size_t at = kept.size();
  while (at < content.size()) {
    const size_t end = content.find("\r\n", at);
    if (end == std::string::npos) {
      messages.push_back("<bad: " + content.substr(at) + ">");
      break;
    }
    const std::string line = content.substr(at, end - at);
    std::smatch match;
    messages.push_back(std::regex_match(line, match, kLine) ? match[2].str()
                                                            : "<bad: " + line + ">");
    at = end + 2;
  }
  return messages;
}

void LogTo(const TempTree& tree, const std::string& file, const std::string& message) {
  CKaShell::LogMessage(file.empty() ? CString() : CString(tree.Path(file).c_str()),
                       CString(message.c_str()));
}

// Naming a file in a missing folder closes the current log, so that the scratch folder can go
// (Windows keeps an open file).
void CloseLog(const TempTree& tree) { LogTo(tree, "missing\\x.log", "closing"); }

class KaShellLog : public ::testing::Test {
 protected:
  void SetUp() override { std::setlocale(LC_TIME, "C"); }
  void TearDown() override { CloseLog(tree_); }

  void Log(const std::string& file, const std::string& message) { LogTo(tree_, file, message); }
  std::string File(const std::string& name) { return Content(tree_.Root() / name); }

  TempTree tree_;
};

TEST_F(KaShellLog, EachSequenceOfCallsLeavesItsLines) {
  struct Call {
    const char* file;  // below the scratch folder; empty: no name
    const char* message;
  };
  struct Case {
    const char* name;
    std::map<std::string, std::string> before;  // files and their content before the calls
    std::vector<Call> calls;
    std::map<std::string, std::vector<std::string>> after;  // messages added to each file
  };
  const Case cases[] = {
      {"first call creates two lines", {}, {{"a.log", "x"}}, {{"a.log", {kStart, "x"}}}},
      {"same file in another letter case adds one line",
       {},
       {{"a.log", "1"}, {"A.LOG", "2"}},
       {{"a.log", {kStart, "1", "2"}}}},
      {"each switch starts anew",
       {},
       {{"a.log", "1"}, {"b.log", "2"}, {"a.log", "3"}},
       {{"a.log", {kStart, "1", kStart, "3"}}, {"b.log", {kStart, "2"}}}},
      {"existing content is kept",
       {{"a.log", "old\r\nlines\r\n"}},
       {{"a.log", "new"}},
       {{"a.log", {kStart, "new"}}}},
      {"empty message", {}, {{"a.log", ""}}, {{"a.log", {kStart, ""}}}},
      {"empty name changes nothing",
       {},
       {{"a.log", "1"}, {"", "lost"}, {"a.log", "2"}},
       {{"a.log", {kStart, "1", "2"}}}},
      {"missing folder is quiet, the next file starts",
       {},
       {{"no\\such\\folder.log", "lost"}, {"a.log", "1"}},
       {{"a.log", {kStart, "1"}}}},
      {"missing folder in between closes the log",
       {},
       {{"a.log", "1"}, {"missing\\b.log", "lost"}, {"a.log", "2"}},
       {{"a.log", {kStart, "1", kStart, "2"}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempTree tree;
    for (const auto& [name, content] : c.before) tree.File(name, content);
    for (const Call& call : c.calls) LogTo(tree, call.file, call.message);
    for (const auto& [name, messages] : c.after) {
      const auto before = c.before.find(name);
      const std::string kept = before == c.before.end() ? "" : before->second;
      EXPECT_EQ(Messages(Content(tree.Root() / name), kept), messages) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(tree.Root() / "missing")) << "no folder is created";
    CloseLog(tree);
  }
}

TEST_F(KaShellLog, MessagesAreWrittenAsTheyAreInTextMode) {
  Log("a.log", "two\nlines");
  Log("a.log", "tab\tand \xE4 byte");
  const std::regex stamp(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d: )");
  // The message bytes unchanged, except that each "\n" is CR LF on disk.
  EXPECT_EQ(std::regex_replace(File("a.log"), stamp, "<stamp>"),
            "<stamp>" + kStart + "\r\n<stamp>two\r\nlines\r\n<stamp>tab\tand \xE4 byte\r\n");
}

TEST_F(KaShellLog, FileHeldExclusivelyElsewhereIsPassedOverQuietly) {
  tree_.File("held.log", "mine\r\n");
  {
    CFile holder(tree_.Path("held.log").c_str(), CFile::modeReadWrite | CFile::shareExclusive);
    Log("held.log", "refused");
  }
  EXPECT_EQ(File("held.log"), "mine\r\n");
  // Released, the file is taken up with its start line.
  Log("held.log", "taken");
  EXPECT_EQ(Messages(File("held.log"), "mine\r\n"), (std::vector<std::string>{kStart, "taken"}));
}

TEST_F(KaShellLog, StampIsTheLocalTimeOfTheCall) {
  const COleDateTime before = COleDateTime::GetCurrentTime();
  Log("a.log", "x");
  const COleDateTime after = COleDateTime::GetCurrentTime();
  const std::string content = File("a.log");
  int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
  ASSERT_EQ(std::sscanf(content.c_str(), "%2d/%2d/%2d %2d:%2d:%2d: ", &month, &day, &year, &hour,
                        &minute, &second),
            6)
      << content;
  const COleDateTime stamp(2000 + year, month, day, hour, minute, second);
  EXPECT_FALSE(stamp < before);
  EXPECT_FALSE(after < stamp);
}

}  // namespace
