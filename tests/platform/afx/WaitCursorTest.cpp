// The application's wait cursor: nested pairs show it once and put back the cursor from before
// the first, and CWaitCursor does the same for a scope.
#include <gtest/gtest.h>
#include <plinth/afx/WinApp.h>

namespace {

HCURSOR Current() {
  HCURSOR current = SetCursor(nullptr);
  SetCursor(current);
  return current;
}

TEST(WaitCursor, NestedPairsRestoreTheCursorFromBeforeTheFirst) {
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  ASSERT_NE(arrow, nullptr);
  ASSERT_NE(wait, nullptr);
  HCURSOR before = SetCursor(arrow);
  {
    CWinApp app("wait cursor test");
    app.BeginWaitCursor();
    EXPECT_EQ(Current(), wait);
    app.BeginWaitCursor();
    SetCursor(arrow);  // someone else changed it in between
    app.RestoreWaitCursor();
    EXPECT_EQ(Current(), wait);
    app.EndWaitCursor();
    EXPECT_EQ(Current(), wait) << "an inner end must not end the outer pair";
    app.EndWaitCursor();
    EXPECT_EQ(Current(), arrow);
    app.EndWaitCursor();  // without a begin
    EXPECT_EQ(Current(), arrow);
    app.BeginWaitCursor();
    EXPECT_EQ(Current(), wait) << "an unmatched end must not leave a debt";
    app.EndWaitCursor();

    {
      CWaitCursor scope;
      EXPECT_EQ(Current(), wait);
    }
    EXPECT_EQ(Current(), arrow);
  }
  SetCursor(before);
}

}  // namespace
