// The message log shared by several processes: whole lines only, and nothing lost when a
// process dies right after a call.
#include <gtest/gtest.h>
#include <plinth/KaShell.h>
#include <plinth/afx/Exception.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
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

// Long enough that a torn write would show, distinct per process and line.
std::string Message(int child, int line) {
  return "child " + std::to_string(child) + " line " + std::to_string(line) + " " +
         std::string(150, static_cast<char>('a' + child));
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = content.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(content.substr(at, end - at));
  if (at != content.size()) lines.push_back("<unended: " + content.substr(at) + ">");
  return lines;
}

// Logs, turning a framework exception into exit status 2 for the parent to see.
void LogOrExit(const std::string& path, const std::string& message) {
  try {
    CKaShell::LogMessage(path.c_str(), message.c_str());
  } catch (CException* e) {
    e->Delete();
    _exit(2);
  }
}

TEST(LogProcesses, ConcurrentWritersNeverTearALine) {
  constexpr int kChildren = 4;
  constexpr int kLinesEach = 500;
  std::setlocale(LC_TIME, "C");
  TempTree tree;
  const std::string path = tree.Path("shared.log");
  int gate[2];
  ASSERT_EQ(pipe(gate), 0);
  std::vector<pid_t> children;
  for (int child = 0; child < kChildren; ++child) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // All start together once the parent closes the gate.
      close(gate[1]);
      char byte;
      while (read(gate[0], &byte, 1) > 0) {
      }
      for (int line = 0; line < kLinesEach; ++line) LogOrExit(path, Message(child, line));
      _exit(0);
    }
    children.push_back(pid);
  }
  close(gate[0]);
  close(gate[1]);
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }

  // Each process's lines arrive whole and in its own order, after its start line.
  std::map<int, std::vector<std::string>> got, expected;
  const std::regex stamped(R"(^\d\d/\d\d/\d\d \d\d:\d\d:\d\d: (.*)$)");
  for (const std::string& text : Lines(tree.Root() / "shared.log")) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(text, match, stamped)) << text;
    int child = -1;
    std::sscanf(match[1].str().c_str(), "child %d", &child);
    got[match[1] == kStart ? -1 : child].push_back(match[1]);
  }
  expected[-1].assign(kChildren, kStart);
  for (int child = 0; child < kChildren; ++child)
    for (int line = 0; line < kLinesEach; ++line) expected[child].push_back(Message(child, line));
  EXPECT_TRUE(got == expected) << "the lines are torn, lost or out of order";
}

TEST(LogProcesses, KilledRightAfterACallLosesNothing) {
  TempTree tree;
  const std::string path = tree.Path("killed.log");
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    LogOrExit(path, "last words");
    kill(getpid(), SIGKILL);
    _exit(3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  const std::vector<std::string> lines = Lines(tree.Root() / "killed.log");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(17), ": " + kStart);
  EXPECT_EQ(lines[1].substr(17), ": last words");
}

}  // namespace
