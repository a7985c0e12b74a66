#pragma once
// A scratch folder for tests that need real files, removed with everything in it at the end
// of the test. Paths are handed out as the library takes them: text with "\\" between parts.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace plinth::test {

class TempTree {
 public:
  TempTree() {
    std::random_device seed;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    root_ = std::filesystem::temp_directory_path() /
            ("plinth-test-" + std::to_string(seed()) + "-" + std::to_string(stamp));
    std::filesystem::create_directories(root_);
  }
  ~TempTree() {
    std::error_code ignored;
    // Folders a test made unreadable must become readable again to be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(
             root_, std::filesystem::directory_options::skip_permission_denied, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      if (it->is_directory(ignored) && !it->is_symlink(ignored))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(root_, ignored);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::filesystem::path& Root() const { return root_; }
  // The root as text, as the file system spells it.
  std::string Text() const { return root_.string(); }
  // root + "\\" + relative, the way the library joins paths.
  std::string Path(const std::string& relative) const { return Text() + "\\" + relative; }

  // Creates a file (and the folders before it) below the root; '/' separates folders.
  void File(const std::string& relative, const std::string& content = "") const {
    const std::filesystem::path path = root_ / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }
  void Folder(const std::string& relative) const {
    std::filesystem::create_directories(root_ / relative);
  }

 private:
  std::filesystem::path root_;
};

}  // namespace plinth::test
