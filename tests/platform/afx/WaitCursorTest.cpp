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
  ASSERT_TRUE(arrow && wait);
  HCURSOR before = SetCursor(arrow);
  {
    CWinApp app("wait cursor test");
    app.BeginWaitCursor();
    app.BeginWaitCursor();
    SetCursor(arrow);  // changed by someone else in between
    app.RestoreWaitCursor();
    EXPECT_EQ(Current(), wait);
    app.EndWaitCursor();
    EXPECT_EQ(Current(), wait) << "an inner end ended the outer pair";
    app.EndWaitCursor();
    EXPECT_EQ(Current(), arrow);
    app.EndWaitCursor();  // without a begin
    app.BeginWaitCursor();
    EXPECT_EQ(Current(), wait) << "an unmatched end left a debt";
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
