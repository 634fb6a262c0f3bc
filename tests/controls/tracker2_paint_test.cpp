// SPDX-License-Identifier: GPL-3.0-or-later
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QScreen>

#include "controls/tracker2.h"
#include "main_window_bar.h"

namespace {

const QColor kGreen(0x00, 0x80, 0x00);
const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kBlack(0, 0, 0);
const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kGray(0x80, 0x80, 0x80);
const QColor kLine(0, 200, 200);

QImage Render(TTrackBar2& Bar) {
  return Bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// What is on screen now, without asking the widget to paint again.
QImage OnScreen(TTrackBar2& Bar) {
  QCoreApplication::processEvents();
  return Bar.screen()->grabWindow(Bar.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

QColor At(const QImage& I, int X, int Y) {
  return QColor(I.pixel(X, Y));
}

QColor Background(const TTrackBar2& Bar) {
  return Bar.palette().color(QPalette::Window);
}

// Selection 10..40 (thumbs at x 99 and 390), play cursor at 30 (x 296).
class MainWindowPicture : public ::testing::Test {
 protected:
  void SetUp() override {
    ConfigureAsMainWindow(Bar);
    Bar.SetPositionL(10);
    Bar.SetPositionU(40);
    Bar.SetLinePosition(30);
    Image = Render(Bar);
  }
  TTrackBar2 Bar;
  QImage Image;
};

TEST_F(MainWindowPicture, SelectedRangeIsGreenAndTheRestOfTheTrackWhite) {
  EXPECT_EQ(At(Image, 200, 25), kGreen);
  EXPECT_EQ(At(Image, 106, 21), kGreen);
  EXPECT_EQ(At(Image, 105, 20), kGreen);  // the outline covers the track's own edge
  EXPECT_EQ(At(Image, 389, 29), kGreen);
  EXPECT_EQ(At(Image, 50, 25), kWhite);
  EXPECT_EQ(At(Image, 450, 25), kWhite);
}

TEST_F(MainWindowPicture, TrackIsSunkenWithATwoPixelBevel) {
  EXPECT_EQ(At(Image, 50, 20), kBlack);
  EXPECT_EQ(At(Image, 50, 21), kGray);
  EXPECT_EQ(At(Image, 50, 28), kSilver);
  EXPECT_EQ(At(Image, 50, 29), kWhite);
  EXPECT_EQ(At(Image, 6, 25), kBlack);
  EXPECT_EQ(At(Image, 489, 25), kWhite);
  EXPECT_EQ(At(Image, 50, 19), Background(Bar));
  EXPECT_EQ(At(Image, 50, 30), Background(Bar));
}

TEST_F(MainWindowPicture, ThumbsAreRaisedAtTheirPositions) {
  for (int X : {99, 390}) {
    EXPECT_EQ(At(Image, X, 25), kWhite) << X;
    EXPECT_EQ(At(Image, X + 1, 25), kSilver) << X;
    EXPECT_EQ(At(Image, X + 2, 25), Bar.ThumbColor()) << X;
    EXPECT_EQ(At(Image, X + 4, 25), kGray) << X;
    EXPECT_EQ(At(Image, X + 5, 25), kBlack) << X;
    EXPECT_EQ(At(Image, X + 2, 19), kWhite) << X;
    EXPECT_EQ(At(Image, X + 2, 30), kBlack) << X;
  }
}

TEST_F(MainWindowPicture, PlayCursorIsADrawnLineFiftyPixelsHigh) {
  for (int Y : {0, 10, 25, 49}) EXPECT_EQ(At(Image, 296, Y), kLine) << Y;
  EXPECT_NE(At(Image, 295, 25), kLine);
  EXPECT_NE(At(Image, 297, 25), kLine);
}

TEST_F(MainWindowPicture, RaisedSquareTicksInBothRows) {
  // Tick 0 at x 6 and tick 31 at x 490, each a 2 x 2 square from x - 1.
  for (int X : {6, 490}) {
    for (int Y : {2, 46}) {
      EXPECT_EQ(At(Image, X - 1, Y), kWhite) << X << "," << Y;
      EXPECT_EQ(At(Image, X, Y), kBlack) << X << "," << Y;
      EXPECT_EQ(At(Image, X, Y + 1), kBlack) << X << "," << Y;
    }
  }
  EXPECT_EQ(At(Image, 10, 2), Background(Bar));
}

// Two thumbs two pixels apart leave only an outline between them; nothing may spill onto
// the rest of the bar.
TEST(SelectedRange, NarrowGapPaintsOnlyTheOutline) {
  TTrackBar2 Bar;
  Bar.resize(100, 50);
  Bar.SetThumbSize(12);
  Bar.SetMax(50);
  Bar.SetSecondThumb(true);
  Bar.SetPositionU(5);  // upper thumb at 88 * 5 div 50 + 3 = 11; the lower ends at 9
  const QImage Image = Render(Bar);
  EXPECT_EQ(At(Image, 9, 25), kGreen);
  EXPECT_EQ(At(Image, 10, 25), kGreen);
  EXPECT_EQ(At(Image, 40, 25), kWhite);
  EXPECT_EQ(At(Image, 40, 10), Background(Bar));
}

TEST(DisabledBar, DithersTrackAndThumbs) {
  TTrackBar2 Bar;
  ConfigureAsMainWindow(Bar);
  Bar.SetPositionL(10);
  Bar.setEnabled(false);
  const QImage Image = Render(Bar);
  // Track: white with silver where row + column is odd.
  EXPECT_EQ(At(Image, 50, 25), kSilver);
  EXPECT_EQ(At(Image, 51, 25), kWhite);
  // Thumb at x 99: its face (image columns 2..3, rows 2..9) takes the same pattern.
  EXPECT_EQ(At(Image, 101, 21), kWhite);
  EXPECT_EQ(At(Image, 102, 21), kSilver);
  EXPECT_EQ(At(Image, 99, 25), kWhite);  // the bevel stays

  Bar.SetDitherThumb(false);
  const QImage Plain = Render(Bar);
  EXPECT_EQ(At(Plain, 102, 21), Bar.ThumbColor());
  EXPECT_EQ(At(Plain, 50, 25), kSilver);
}

TEST(DisabledBar, SilverTrackDithersWithGray) {
  TTrackBar2 Bar;
  ConfigureAsMainWindow(Bar);
  Bar.SetPositionL(10);
  Bar.SetTrackColor(kSilver);
  Bar.setEnabled(false);
  const QImage Image = Render(Bar);
  EXPECT_EQ(At(Image, 50, 25), kGray);
  EXPECT_EQ(At(Image, 51, 25), kSilver);
}

// --- ticks -------------------------------------------------------------------------------

struct TickCase {
  const char* Name;
  QSize Size;
  int Interval;
  int Min, Max;
  TTickOrientation Where;
  int Expected;
};

class TickCount : public ::testing::TestWithParam<TickCase> {};

TEST_P(TickCount, DrawsEveryIntervalUpToThirtyOne) {
  const TickCase& C = GetParam();
  TTrackBar2 Bar;
  Bar.resize(C.Size);
  Bar.SetMin(C.Min);
  Bar.SetMax(C.Max);
  Bar.SetTickInterval(C.Interval);
  Bar.SetTickOrientation(C.Where);
  Bar.SetTickStyle(TTickStyle::tiUserDrawn);
  std::vector<int> Seen;
  Bar.OnDrawTick = [&](TTrackBar2*, QPainter&, int, int, int Position) {
    Seen.push_back(Position);
  };
  Render(Bar);
  EXPECT_EQ(static_cast<int>(Seen.size()), C.Expected);
  if (!Seen.empty()) {
    EXPECT_EQ(Seen.front(), 0);
  }
}

const QSize kWide(496, 50);
constexpr auto Both = TTickOrientation::toBoth;

INSTANTIATE_TEST_SUITE_P(
    Table, TickCount,
    ::testing::Values(TickCase{"EveryPlaceBothRows", kWide, 1, 0, 50, Both, 64},
                      TickCase{"TopRowOnly", kWide, 1, 0, 50, TTickOrientation::toTopLeft, 32},
                      TickCase{"BottomRowOnly", kWide, 1, 0, 50, TTickOrientation::toBottomRight,
                               32},
                      TickCase{"EveryFifth", kWide, 5, 0, 50, Both, 14},
                      TickCase{"IntervalBeyondTheLastPlace", kWide, 40, 0, 50, Both, 2},
                      TickCase{"ZeroInterval", kWide, 0, 0, 50, Both, 0},
                      TickCase{"NegativeInterval", kWide, -3, 0, 50, Both, 0},
                      TickCase{"EmptyRange", kWide, 1, 7, 7, Both, 0},
                      TickCase{"VerticalBar", QSize(50, 496), 1, 0, 50, Both, 0}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(Ticks, ResizingToVerticalHidesThem) {
  TTrackBar2 Bar;
  ConfigureAsMainWindow(Bar);
  Bar.SetTickStyle(TTickStyle::tiLine);
  ASSERT_TRUE(ShowAndWait(Bar));
  QImage Image = Render(Bar);
  EXPECT_EQ(At(Image, 6, 2), kBlack);
  EXPECT_EQ(At(Image, 6, 3), kBlack);
  EXPECT_EQ(At(Image, 6, 4), Background(Bar));
  Bar.resize(50, 496);
  EXPECT_EQ(Bar.Orientation(), TOrientation::toVertical);
  Image = Render(Bar);
  EXPECT_EQ(At(Image, 6, 2), Background(Bar));
  EXPECT_EQ(Bar.ThumbRectU(), QRect(19, 3, 12, 6));
}

// --- owner drawing and paint order -------------------------------------------------------

TEST(PaintOrder, UserDrawnPartsAreAskedForInOrder) {
  TTrackBar2 Bar;
  ConfigureAsMainWindow(Bar);
  Bar.SetTrackStyle(TTrackStyle::trUserDrawn);
  Bar.SetThumbStyle(TThumbStyle::tsUserDrawn);
  Bar.SetTickStyle(TTickStyle::tiUserDrawn);
  Bar.SetTickInterval(16);
  std::vector<std::string> Calls;
  auto Log = [&](std::string S) { Calls.push_back(std::move(S)); };
  Bar.OnPaint = [&](TTrackBar2*, QPainter&) { Log("paint"); };
  Bar.OnDrawTrack = [&](TTrackBar2*, QPainter&) { Log("track"); };
  Bar.OnDrawTick = [&](TTrackBar2*, QPainter&, int X, int Y, int K) {
    Log("tick " + std::to_string(K) + " " + std::to_string(X) + "," + std::to_string(Y));
  };
  Bar.OnDrawThumb = [&](TTrackBar2*, QPainter&, int X, int Y) {
    Log("thumb " + std::to_string(X) + "," + std::to_string(Y));
  };
  Render(Bar);
  // User-drawn thumbs are ThumbSize square with m = 6: o = 0, so x 0 and 484, y 25 - 6.
  const std::vector<std::string> Expected = {"paint",       "track",         "tick 0 6,2",
                                             "tick 0 6,46", "tick 16 255,2", "tick 16 255,46",
                                             "track",       "thumb 0,19",    "thumb 484,19"};
  EXPECT_EQ(Calls, Expected);
}

// --- pointer thumbs ----------------------------------------------------------------------

struct PointerCase {
  const char* Name;
  TThumbStyle Style;
  TTickOrientation Where;
  bool TipUp;
};

class PointerThumb : public ::testing::TestWithParam<PointerCase> {};

TEST_P(PointerThumb, MaskKeepsTheBackgroundAroundTheTip) {
  const PointerCase& C = GetParam();
  TTrackBar2 Bar;
  Bar.SetTickOrientation(C.Where);
  Bar.SetThumbStyle(C.Style);
  Bar.SetSecondThumb(true);
  const QImage Image = Render(Bar);
  for (const QRect R : {Bar.ThumbRectL(), Bar.ThumbRectU()}) {
    const int TipY = C.TipUp ? R.top() : R.bottom();
    const int BaseY = C.TipUp ? R.bottom() : R.top();
    EXPECT_EQ(At(Image, R.left(), TipY), Background(Bar)) << C.Name;
    EXPECT_EQ(At(Image, R.right(), TipY), Background(Bar)) << C.Name;
    EXPECT_NE(At(Image, R.center().x(), TipY), Background(Bar)) << C.Name;
    // Lit on the top-left faces, shaded on the bottom-right ones.
    EXPECT_EQ(At(Image, R.left(), BaseY), C.TipUp ? kBlack : kWhite) << C.Name;
    EXPECT_EQ(At(Image, R.center().x(), R.center().y()), Bar.ThumbColor()) << C.Name;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, PointerThumb,
                         ::testing::Values(PointerCase{"SmallUp", TThumbStyle::tsSmallPointer,
                                                       TTickOrientation::toBoth, true},
                                           PointerCase{"MediumUp", TThumbStyle::tsMediumPointer,
                                                       TTickOrientation::toTopLeft, true},
                                           PointerCase{"LargeDown", TThumbStyle::tsLargePointer,
                                                       TTickOrientation::toBottomRight, false},
                                           PointerCase{"SmallDown", TThumbStyle::tsSmallPointer,
                                                       TTickOrientation::toBottomRight, false}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(PointerThumbVertical, PointsLeftTowardTheTicks) {
  TTrackBar2 Bar;
  Bar.resize(50, 300);
  Bar.SetThumbStyle(TThumbStyle::tsMediumPointer);
  const QImage Image = Render(Bar);
  const QRect R = Bar.ThumbRectL();
  EXPECT_EQ(R.size(), QSize(22, 15));
  EXPECT_EQ(At(Image, R.left(), R.top()), Background(Bar));
  EXPECT_NE(At(Image, R.left(), R.center().y()), Background(Bar));
  EXPECT_NE(At(Image, R.right(), R.top()), Background(Bar));
}

// --- the play cursor on screen -----------------------------------------------------------

TEST(PlayCursor, MovesByRepaintingOnlyItsStrips) {
  TTrackBar2 Bar;
  ConfigureAsMainWindow(Bar);
  ASSERT_TRUE(ShowAndWait(Bar));
  EXPECT_NE(At(OnScreen(Bar), 199, 5), kLine);

  Bar.SetLinePosition(20);  // x 193 + 6
  EXPECT_EQ(At(OnScreen(Bar), 199, 5), kLine);

  Bar.SetLinePosition(30);  // x 290 + 6
  QImage Screen = OnScreen(Bar);
  EXPECT_EQ(At(Screen, 296, 5), kLine);
  EXPECT_NE(At(Screen, 199, 5), kLine);

  // Above Max nothing is drawn or erased until the bar repaints for another reason.
  Bar.SetLinePosition(60);
  EXPECT_EQ(Bar.LinePosition(), 60);
  EXPECT_EQ(At(OnScreen(Bar), 296, 5), kLine);
  Bar.update();
  EXPECT_NE(At(OnScreen(Bar), 296, 5), kLine);

  Bar.SetLinePosition(10);  // x 96 + 6
  EXPECT_EQ(At(OnScreen(Bar), 102, 5), kLine);
  Bar.SetLinePosition(0);
  Screen = OnScreen(Bar);
  EXPECT_NE(At(Screen, 102, 5), kLine);
  for (int X = 0; X < Screen.width(); ++X) ASSERT_NE(At(Screen, X, 5), kLine) << X;
}

TEST(FocusFrame, DrawnOnlyWhileFocused) {
  TTrackBar2 Bar;
  ConfigureAsMainWindow(Bar);
  ASSERT_TRUE(ShowAndWait(Bar));
  Bar.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Bar));
  Bar.clearFocus();
  EXPECT_EQ(At(Render(Bar), 0, 0), Background(Bar));
  Bar.setFocus();
  ASSERT_TRUE(Bar.hasFocus());
  const QImage Image = Render(Bar);
  const QColor Bg = Background(Bar);
  EXPECT_EQ(At(Image, 0, 0), QColor(255 - Bg.red(), 255 - Bg.green(), 255 - Bg.blue()));
  EXPECT_EQ(At(Image, 1, 0), Bg);
}

}  // namespace
