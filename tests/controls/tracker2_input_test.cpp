// SPDX-License-Identifier: GPL-3.0-or-later
#include <climits>
#include <vector>

#include <gtest/gtest.h>
#include <QDialog>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "controls/tracker2.h"
#include "main_window_bar.h"

namespace {

// --- ordering rules ----------------------------------------------------------------------

struct OrderCase {
  const char* Name;
  bool SecondThumb;
  int StartL, StartU;
  bool SetUpper;
  int Value;
  int ExpectL, ExpectU;
  int Changes;
};

class OrderingRules : public ::testing::TestWithParam<OrderCase> {};

TEST_P(OrderingRules, LimitPositionsAndFireOnChange) {
  const OrderCase& C = GetParam();
  TTrackBar2 Bar;
  Bar.SetMax(50);
  Bar.SetPositionU(C.StartU);
  Bar.SetPositionL(C.StartL);
  Bar.SetSecondThumb(C.SecondThumb);
  int Changes = 0;
  Bar.OnChange = [&](TTrackBar2*) { ++Changes; };
  if (C.SetUpper)
    Bar.SetPositionU(C.Value);
  else
    Bar.SetPositionL(C.Value);
  EXPECT_EQ(Bar.PositionL(), C.ExpectL);
  EXPECT_EQ(Bar.PositionU(), C.ExpectU);
  EXPECT_EQ(Changes, C.Changes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OrderingRules,
    ::testing::Values(
        OrderCase{"LowerAtUpperStopsBelowIt", true, 10, 30, false, 30, 29, 30, 1},
        OrderCase{"LowerPastUpperStopsBelowIt", true, 10, 30, false, 45, 29, 30, 1},
        OrderCase{"LowerPastMaxWithoutSecondThumb", false, 10, 30, false, 70, 50, 30, 1},
        OrderCase{"LowerBelowMin", true, 10, 30, false, -5, 0, 30, 1},
        OrderCase{"LowerInRange", true, 10, 30, false, 20, 20, 30, 1},
        OrderCase{"UpperPastMax", true, 10, 30, true, 51, 10, 50, 1},
        OrderCase{"UpperAtLowerStopsAboveIt", true, 10, 30, true, 10, 10, 11, 1},
        OrderCase{"UpperBelowLowerStopsAboveIt", true, 10, 30, true, -40, 10, 11, 1},
        OrderCase{"UpperKeptAboveLowerWithoutSecondThumb", false, 10, 30, true, 3, 10, 11, 1},
        OrderCase{"SameLowerFiresNothing", true, 10, 30, false, 10, 10, 30, 0},
        OrderCase{"SameUpperFiresNothing", true, 10, 30, true, 30, 10, 30, 0},
        OrderCase{"LimitedBackToOldLowerStillFires", true, 0, 30, false, -3, 0, 30, 1},
        OrderCase{"LimitedBackToOldUpperStillFires", true, 0, 50, true, 90, 0, 50, 1}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// One below or above the other thumb must not wrap around at the ends of int.
TEST(RangeSetters, LimitsSaturateAtTheEndsOfInt) {
  TTrackBar2 Bar;
  Bar.SetSecondThumb(true);
  Bar.SetMin(INT_MIN);
  Bar.SetMax(INT_MIN);
  ASSERT_EQ(Bar.PositionU(), INT_MIN);
  Bar.SetPositionL(5);
  EXPECT_EQ(Bar.PositionL(), INT_MIN);

  TTrackBar2 Wide;
  Wide.SetMax(INT_MAX);
  Wide.SetPositionL(INT_MAX);
  Wide.SetPositionU(0);
  EXPECT_EQ(Wide.PositionU(), INT_MAX);
}

TEST(RangeSetters, MaxBelowUpperPullsItDownSilently) {
  TTrackBar2 Bar;
  ConfigureAsMainWindow(Bar);
  Bar.SetPositionL(40);
  int Changes = 0;
  Bar.OnChange = [&](TTrackBar2*) { ++Changes; };
  Bar.SetMax(30);
  EXPECT_EQ(Bar.PositionU(), 30);
  EXPECT_EQ(Bar.PositionL(), 40);  // left for the caller, who sets both after a new Max
  EXPECT_EQ(Changes, 0);
}

TEST(RangeSetters, MinAboveLowerPushesItUpSilently) {
  TTrackBar2 Bar;
  ConfigureAsMainWindow(Bar);
  int Changes = 0;
  Bar.OnChange = [&](TTrackBar2*) { ++Changes; };
  Bar.SetMin(5);
  EXPECT_EQ(Bar.PositionL(), 5);
  EXPECT_EQ(Changes, 0);
}

// --- mouse -------------------------------------------------------------------------------

class TrackBarMouse : public ::testing::Test {
 protected:
  void SetUp() override {
    ConfigureAsMainWindow(Bar);
    ASSERT_TRUE(ShowAndWait(Bar));
    Bar.OnChange = [this](TTrackBar2*) { ++Changes; };
  }
  void Click(int X, int Y = 25, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    QTest::mouseClick(&Bar, Qt::LeftButton, Mods, QPoint(X, Y));
  }

  TTrackBar2 Bar;
  int Changes = 0;
};

struct ClickCase {
  const char* Name;
  int X, Y;
  bool Shift;
  int ExpectL, ExpectU;
};

class ClickOnTrack : public TrackBarMouse, public ::testing::WithParamInterface<ClickCase> {};

// Thumbs at 0 (x 3..8) and 50 (x 487..492); the gap's middle is (9 + 487) div 2 = 248.
TEST_P(ClickOnTrack, MovesTheAddressedThumb) {
  const ClickCase& C = GetParam();
  Click(C.X, C.Y, C.Shift ? Qt::ShiftModifier : Qt::NoModifier);
  EXPECT_EQ(Bar.PositionL(), C.ExpectL);
  EXPECT_EQ(Bar.PositionU(), C.ExpectU);
  EXPECT_FALSE(Bar.TrackingL());
  EXPECT_FALSE(Bar.TrackingU());
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, ClickOnTrack,
    ::testing::Values(ClickCase{"LeftOfMiddleJumpsLower", 245, 25, false, 25, 50},
                      ClickCase{"AtMiddleStillLower", 248, 25, false, 25, 50},
                      ClickCase{"PastMiddleJumpsUpper", 249, 25, false, 0, 25},
                      ClickCase{"RightHalfJumpsUpper", 300, 25, false, 0, 30},
                      ClickCase{"ShiftStepsLowerRight", 100, 25, true, 1, 50},
                      ClickCase{"ShiftStepsUpperLeft", 400, 25, true, 0, 49},
                      ClickCase{"ShiftRightOfUpperAtMaxStaysAtMax", 494, 10, true, 0, 50},
                      ClickCase{"ShiftAboveLowerThumbDoesNothing", 5, 5, true, 0, 50},
                      ClickCase{"AboveLowerThumbJumpsToItsOwnValue", 5, 5, false, 0, 50}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(TrackBarMouse, MouseDownHandlerSeesThePositionBeforeTheJump) {
  std::vector<int> Seen;
  Bar.OnMouseDown = [&](TTrackBar2* B, Qt::MouseButton Button, Qt::KeyboardModifiers, int X, int) {
    EXPECT_EQ(Button, Qt::LeftButton);
    EXPECT_EQ(X, 245);
    Seen.push_back(B->PositionL());
  };
  Click(245);
  EXPECT_EQ(Seen, std::vector<int>{0});
  EXPECT_EQ(Bar.PositionL(), 25);
  EXPECT_EQ(Changes, 1);
  EXPECT_TRUE(Bar.hasFocus());
}

TEST_F(TrackBarMouse, RightButtonOnlyReportsTheClick) {
  int Downs = 0, Ups = 0;
  Bar.OnMouseDown = [&](TTrackBar2*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { ++Downs; };
  Bar.OnMouseUp = [&](TTrackBar2*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { ++Ups; };
  QTest::mouseClick(&Bar, Qt::RightButton, Qt::NoModifier, QPoint(245, 25));
  EXPECT_EQ(Downs, 1);
  EXPECT_EQ(Ups, 1);
  EXPECT_EQ(Bar.PositionL(), 0);
  EXPECT_EQ(Changes, 0);
}

TEST_F(TrackBarMouse, ClickInsideLowerThumbOnlyStartsADrag) {
  QTest::mousePress(&Bar, Qt::LeftButton, Qt::NoModifier, QPoint(5, 25));
  EXPECT_TRUE(Bar.TrackingL());
  EXPECT_FALSE(Bar.TrackingU());
  EXPECT_EQ(Bar.PositionL(), 0);
  EXPECT_EQ(Changes, 0);
  QTest::mouseMove(&Bar, QPoint(100, 25));
  EXPECT_EQ(Bar.PositionL(), 10);  // 97 * 50 div 484
  QTest::mouseMove(&Bar, QPoint(600, 40));
  EXPECT_EQ(Bar.PositionL(), 49);  // kept below the upper thumb
  EXPECT_EQ(Changes, 2);
  QTest::mouseRelease(&Bar, Qt::LeftButton, Qt::NoModifier, QPoint(600, 40));
  EXPECT_FALSE(Bar.TrackingL());
  QTest::mouseMove(&Bar, QPoint(100, 25));
  EXPECT_EQ(Bar.PositionL(), 49);
}

TEST_F(TrackBarMouse, DraggingTheUpperThumbKeepsItAboveTheLower) {
  Bar.SetPositionL(20);
  QTest::mousePress(&Bar, Qt::LeftButton, Qt::NoModifier, QPoint(490, 25));
  EXPECT_TRUE(Bar.TrackingU());
  QTest::mouseMove(&Bar, QPoint(300, 25));
  EXPECT_EQ(Bar.PositionU(), 30);
  QTest::mouseMove(&Bar, QPoint(10, 25));
  EXPECT_EQ(Bar.PositionU(), 21);
  QTest::mouseRelease(&Bar, Qt::LeftButton, Qt::NoModifier, QPoint(10, 25));
  EXPECT_FALSE(Bar.TrackingU());
  EXPECT_EQ(Bar.PositionL(), 20);
}

TEST_F(TrackBarMouse, MouseUpHandlerRunsBeforeTheDragEnds) {
  bool TrackingInHandler = false;
  Bar.OnMouseUp = [&](TTrackBar2* B, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    TrackingInHandler = B->TrackingL();
  };
  QTest::mousePress(&Bar, Qt::LeftButton, Qt::NoModifier, QPoint(5, 25));
  QTest::mouseRelease(&Bar, Qt::LeftButton, Qt::NoModifier, QPoint(5, 25));
  EXPECT_TRUE(TrackingInHandler);
  EXPECT_FALSE(Bar.TrackingL());
}

TEST(TrackBarVerticalMouse, ClicksCountFromTheTop) {
  TTrackBar2 Bar;
  ConfigureAsMainWindow(Bar);
  Bar.SetOrientation(TOrientation::toVertical);
  ASSERT_TRUE(ShowAndWait(Bar));
  // Upper thumb at y 3..8, lower at 487..492: the middle is (487 + 9) div 2 = 248.
  QTest::mouseClick(&Bar, Qt::LeftButton, Qt::NoModifier, QPoint(25, 239));
  EXPECT_EQ(Bar.PositionU(), 25);
  QTest::mouseClick(&Bar, Qt::LeftButton, Qt::ShiftModifier, QPoint(25, 400));
  EXPECT_EQ(Bar.PositionL(), 1);  // above the lower thumb, so one step up
}

// --- keys --------------------------------------------------------------------------------

struct KeyCase {
  const char* Name;
  Qt::Key Key;
  Qt::KeyboardModifiers Mods;
  bool SecondThumb;
  int ExpectL, ExpectU;
};

class KeySteps : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeySteps, MoveTheAddressedThumb) {
  const KeyCase& C = GetParam();
  TTrackBar2 Bar;
  ConfigureAsMainWindow(Bar);
  Bar.SetSecondThumb(C.SecondThumb);
  Bar.SetLargeChange(5);
  Bar.SetPositionL(10);
  Bar.SetPositionU(20);
  ASSERT_TRUE(ShowAndWait(Bar));
  int KeyDowns = 0;
  Bar.OnKeyDown = [&](TTrackBar2* B, int Key, Qt::KeyboardModifiers) {
    if (Key != C.Key) return;              // the Shift key itself arrives first
    EXPECT_EQ(B->PositionL(), C.ExpectL);  // the step happens before the handler
    ++KeyDowns;
  };
  QTest::keyClick(&Bar, C.Key, C.Mods);
  EXPECT_EQ(Bar.PositionL(), C.ExpectL);
  EXPECT_EQ(Bar.PositionU(), C.ExpectU);
  EXPECT_EQ(KeyDowns, 1);
}

constexpr auto None = Qt::NoModifier;
constexpr auto Shift = Qt::ShiftModifier;

INSTANTIATE_TEST_SUITE_P(
    Table, KeySteps,
    ::testing::Values(KeyCase{"RightMovesLower", Qt::Key_Right, None, true, 11, 20},
                      KeyCase{"ShiftRightMovesUpper", Qt::Key_Right, Shift, true, 10, 21},
                      KeyCase{"ShiftRightWithOneThumbMovesLower", Qt::Key_Right, Shift, false, 11,
                              20},
                      KeyCase{"UpAdds", Qt::Key_Up, None, true, 11, 20},
                      KeyCase{"LeftSubtracts", Qt::Key_Left, None, true, 9, 20},
                      KeyCase{"DownSubtracts", Qt::Key_Down, None, true, 9, 20},
                      KeyCase{"ShiftDownMovesUpper", Qt::Key_Down, Shift, true, 10, 19},
                      KeyCase{"PageUpAddsLargeChange", Qt::Key_PageUp, None, true, 15, 20},
                      KeyCase{"PageDownSubtractsLargeChange", Qt::Key_PageDown, None, true, 5, 20},
                      KeyCase{"ShiftPageDownMovesUpper", Qt::Key_PageDown, Shift, true, 10, 15},
                      KeyCase{"OtherKeyLeavesBoth", Qt::Key_A, None, true, 10, 20}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(KeyLimits, PageUpAgainstTheUpperThumbStopsOneBelow) {
  TTrackBar2 Bar;
  ConfigureAsMainWindow(Bar);
  Bar.SetPositionU(12);
  Bar.SetPositionL(10);
  Bar.SetLargeChange(5);
  ASSERT_TRUE(ShowAndWait(Bar));
  QTest::keyClick(&Bar, Qt::Key_PageUp);
  EXPECT_EQ(Bar.PositionL(), 11);
  QTest::keyClick(&Bar, Qt::Key_Home);
  QTest::keyClick(&Bar, Qt::Key_PageDown, Qt::ShiftModifier);
  EXPECT_EQ(Bar.PositionU(), 12);  // 7 is below the lower thumb, so lower + 1
}

// Arrow keys must reach the bar inside a dialog even when something claims them as a
// shortcut, as a dialog's own navigation would.
TEST(KeysInDialog, ArrowKeysReachTheFocusedBar) {
  QDialog Dialog;
  auto* Layout = new QVBoxLayout(&Dialog);
  auto* Button = new QPushButton("OK", &Dialog);
  auto* Bar = new TTrackBar2(&Dialog);
  Layout->addWidget(Button);
  Layout->addWidget(Bar);
  Bar->SetMax(50);
  int ShortcutHits = 0;
  QShortcut Right(QKeySequence(Qt::Key_Right), &Dialog);
  QObject::connect(&Right, &QShortcut::activated, [&] { ++ShortcutHits; });
  ASSERT_TRUE(ShowAndWait(Dialog));
  Dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Dialog));
  Bar->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), Bar);
  QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Right);
  EXPECT_EQ(Bar->PositionL(), 1);
  EXPECT_EQ(ShortcutHits, 0);
  EXPECT_EQ(QApplication::focusWidget(), Bar);
}

}  // namespace
