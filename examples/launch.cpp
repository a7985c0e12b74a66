// Starting programs and waiting for them with CKaShell, and the message log.
#include <plinth/Plinth.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

int main() {
  // The command line is split by the Windows rules for quotes and backslashes and never
  // passes through a shell: here the program is /bin/sh itself.
  DWORD exitCode = 0;
  bool ended =
      CKaShell::LaunchApplicationAndWait("/bin/sh -c \"exit 3\"", "", SW_HIDE, 10, &exitCode);
  std::printf("ended: %d, exit code %lu\n", ended, static_cast<unsigned long>(exitCode));

  // A time-out answers false with STILL_ACTIVE; the child goes on running.
  ended = CKaShell::LaunchApplicationAndWait("/bin/sh -c \"sleep 2\"", "", SW_HIDE, 0, &exitCode);
  std::printf("ended: %d, still active: %d\n", ended, exitCode == STILL_ACTIVE);

  // A program that cannot be started gives its error code instead of an exit code.
  ended = CKaShell::LaunchApplicationAndWait("no-such-program", "", SW_HIDE, 10, &exitCode);
  std::printf("ended: %d, file not found: %d\n", ended, exitCode == ERROR_FILE_NOT_FOUND);

  // Start and forget: true once the process exists.
  bool started = CKaShell::LaunchApplication("/bin/sh -c \"exit 0\"", SW_SHOWNORMAL);
  std::printf("started: %d\n", started);

  // Each line is stamped with the local time, ended by CR LF and flushed; the first line a
  // process writes to a file is a start marker.
  const std::string log = (std::filesystem::temp_directory_path() / "plinth-guide.log").string();
  std::filesystem::remove(log);
  CKaShell::LogMessage(log.c_str(), "Backup started");
  CKaShell::LogMessage(log.c_str(), "Backup finished");
  std::ifstream file(log, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::printf("%s", text.c_str());

  bool logged = text.find(": Backup finished\r\n") != std::string::npos;
  return exitCode == ERROR_FILE_NOT_FOUND && started && logged ? 0 : 1;
}
