#pragma once
// The Windows build of the tests runs under Wine. Where Wine is known to answer differently
// from Windows, the check is marked, in the manner of Wine's own todo_wine: under Wine it is
// expected to fail, so the mark turns into a failure the day Wine is fixed and can then go.

#include <gtest/gtest.h>

#include <plinth/win32.h>

namespace plinth::test {

inline bool RunningUnderWine() {
#if defined(_WIN32)
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

}  // namespace plinth::test

// EXPECT_EQ(actual, expected) on Windows and POSIX; under Wine, whose answer differs for the
// reason given, EXPECT_NE.
#define PLINTH_EXPECT_EQ_TODO_WINE(actual, expected, reason)                        \
  do {                                                                              \
    if (::plinth::test::RunningUnderWine()) {                                       \
      EXPECT_NE(actual, expected) << "Wine now agrees (" reason "): drop the mark"; \
    } else {                                                                        \
      EXPECT_EQ(actual, expected);                                                  \
    }                                                                               \
  } while (0)
