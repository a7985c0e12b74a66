#pragma once
// Registry tests that need other processes run this test program again as the child, chosen by
// an environment marker, each child with the store the test names. Children report on their
// standard output, one line per item, so that a parent can follow a child it is about to kill.

#include <string>
#include <vector>

#include <sys/types.h>

namespace plinth::test {

struct ChildRun {
  int status = -1;  // exit status, or 128 + signal
  std::string output;
};

// Starts this program as a child in `role` with `args`, on the store at `store`. The child's
// standard output is readable at *output (the caller closes it).
pid_t StartRegistryChild(const std::string& store, const std::string& role,
                         const std::vector<std::string>& args, int* output);

// Runs a child to its end and collects what it printed.
ChildRun RunRegistryChild(const std::string& store, const std::string& role,
                          const std::vector<std::string>& args = {});

// Waits for a child started with StartRegistryChild.
int WaitForChild(pid_t pid);

// A fresh temporary folder, removed with everything in it when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace plinth::test
