// The DLL as a Windows host meets it: loaded by name, its exported data found by name, its
// strings and version record read through the resource and version APIs.
#include <gtest/gtest.h>
#include <plinth/KaHresults.h>
#include <plinth/afx/Module.h>
#include <plinth/win32.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/Environment.h"

namespace {

class LoadedLibrary : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA(PLINTH_LIBRARY_NAME);
    ASSERT_NE(module_, nullptr) << "error " << GetLastError();
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }

  std::string Path() const {
    char path[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameA(module_, path, sizeof path);
    return std::string(path, length);
  }

  HMODULE module_ = nullptr;
};

// g++ leaves global variables undecorated; class members carry the Itanium ABI's names.
TEST_F(LoadedLibrary, ExportsTheResultCodeAsData) {
  const auto* code = reinterpret_cast<const long*>(GetProcAddress(module_, "HR_DUPLICATE_NAME"));
  ASSERT_NE(code, nullptr);
  EXPECT_EQ(static_cast<uint32_t>(*code), 0x80040100u);
  EXPECT_LT(*code, 0);
  EXPECT_EQ(code, &HR_DUPLICATE_NAME);  // one object, whether linked or looked up
  for (const char* name : {"_ZN11CKaHresults10m_hResultsE", "_ZN11CKaHresults16InitHresultCodesEv"})
    EXPECT_NE(GetProcAddress(module_, name), nullptr) << name;
  EXPECT_EQ(GetProcAddress(module_, "NoSuchExport"), nullptr);
}

// The strings exist in US English, the language hosts ask for, and say what the framework's
// own string table says.
TEST_F(LoadedLibrary, CarriesItsStringsInUsEnglish) {
  struct Case {
    UINT id;
    const char* text;
  };
  const Case cases[] = {{101, "Windows sockets initialization failed."}, {29093, "(Default)"}};
  for (const Case& c : cases) {
    char text[256];
    std::memset(text, '#', sizeof text);
    const int length = LoadStringA(module_, c.id, text, sizeof text);
    EXPECT_EQ(std::string(text, length > 0 ? length : 0), c.text) << c.id;
    EXPECT_STREQ(AfxFindStringResource(c.id), c.text) << c.id;
    // Strings are stored in blocks of sixteen, block n + 1 holding ids 16n to 16n + 15.
    EXPECT_NE(FindResourceExA(module_, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(c.id / 16 + 1),
                              MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
              nullptr)
        << c.id;
  }
  char text[16] = "unchanged";
  EXPECT_EQ(LoadStringA(module_, 102, text, sizeof text), 0);
}

TEST_F(LoadedLibrary, CarriesItsVersionRecord) {
  const std::string path = Path();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  ASSERT_GT(size, 0u) << path;
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_GE(length, sizeof *fixed);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00060001u);  // 6.1
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00010002u);  // .1.2
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00060001u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00010002u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, 4u);
  EXPECT_EQ(translation[0], 0x0409);  // US English
  EXPECT_EQ(translation[1], 1200);    // Unicode strings

  struct Field {
    const char* name;
    const char* value;
  };
  // clang-format off
  const Field fields[] = {
      {"FileVersion",      "6, 1, 1, 2"},
      {"ProductVersion",   "6, 1, 1, 2"},
      {"FileDescription",  "Plinth DLL"},
      {"InternalName",     "Plinth"},
      {"OriginalFilename", "Plinth.DLL"},
  };
  // clang-format on
  for (const Field& f : fields) {
    const std::string key = std::string("\\StringFileInfo\\040904b0\\") + f.name;
    char* value = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
        << f.name;
    EXPECT_STREQ(value, f.value) << f.name;
  }
}

// Nothing in this program starts Windows Sockets: a socket opens only because the DLL started
// them while it attached.
TEST(ModuleLoad, TheLibraryStartedTheSocketsWhileAttaching) {
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASSERT_NE(s, INVALID_SOCKET) << WSAGetLastError();
  closesocket(s);
}

// Closes the message boxes this process shows, noting their text, as a user would press OK.
// The box of a refused load comes up inside the DLL's entry point, under the loader lock, which
// a thread needs to start: the watcher is running before the load begins, or it would wait
// for the lock while the box waits for it.
class MessageBoxWatcher {
 public:
  MessageBoxWatcher() : thread_([this] { Watch(); }) {
    while (!running_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~MessageBoxWatcher() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
  }
  std::vector<std::string> Texts() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
    return texts_;
  }

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM self) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char type[16] = {};
    GetClassNameA(window, type, sizeof type);
    if (process == GetCurrentProcessId() && std::strcmp(type, "#32770") == 0 &&
        IsWindowVisible(window)) {
      char text[256] = {};
      GetDlgItemTextA(window, 0xFFFF, text, sizeof text);  // the box's text control
      reinterpret_cast<MessageBoxWatcher*>(self)->texts_.push_back(text);
      PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
  }
  void Watch() {
    while (!done_) {
      EnumWindows(Visit, reinterpret_cast<LPARAM>(this));
      running_ = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  std::atomic<bool> running_{false};
  std::atomic<bool> done_{false};
  std::vector<std::string> texts_;
  std::thread thread_;
};

// A copy of the DLL under another name is a module of its own, with its own static objects,
// so it goes through the whole load sequence again, here with the sockets start-up failing.
TEST_F(LoadedLibrary, AFailedSocketsStartUpRefusesTheLoad) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("plinth-load-" + std::to_string(GetCurrentProcessId()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path copy = folder / "plinth-refused.dll";
  std::filesystem::copy_file(Path(), copy, std::filesystem::copy_options::overwrite_existing);

  plinth::test::SetEnvironmentVariableForTest("PLINTH_FAULT_INJECT", "WSAStartup");
  MessageBoxWatcher watcher;
  SetLastError(0);
  HMODULE refused = LoadLibraryA(copy.string().c_str());
  const DWORD error = GetLastError();
  const std::vector<std::string> boxes = watcher.Texts();
  plinth::test::RemoveEnvironmentVariableForTest("PLINTH_FAULT_INJECT");

  EXPECT_EQ(refused, nullptr);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
  if (refused) FreeLibrary(refused);
  // Wine without a display may fail to show the box at all; where it appears, the user sees
  // exactly one, with string 101.
  EXPECT_LE(boxes.size(), 1u);
  for (const std::string& text : boxes) EXPECT_EQ(text, "Windows sockets initialization failed.");

  // The library already loaded is unaffected.
  EXPECT_EQ(static_cast<uint32_t>(HR_DUPLICATE_NAME), 0x80040100u);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

}  // namespace
