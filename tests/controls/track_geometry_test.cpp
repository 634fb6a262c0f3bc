// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/track_geometry.h"

#include <climits>

#include <gtest/gtest.h>

#include "controls/tracker2.h"
#include "main_window_bar.h"

namespace {

// 496 x 50, ThumbSize 12, rectangle thumbs (m = 12 div 4, image 6 x 12), range 0..50.
TTrackGeometry MainWindowGeometry(int Min = 0, int Max = 50) {
  return MakeTrackGeometry(false, {496, 50}, 12, 3, 10, Min, Max, {6, 12});
}

TEST(TrackGeometry, MainWindowLayout) {
  const TTrackGeometry G = MainWindowGeometry();
  EXPECT_EQ(G.Margin, 3);
  EXPECT_EQ(G.Length, 484);
  EXPECT_EQ(G.Offset, 3);
  EXPECT_EQ(G.Track, QRect(QPoint(6, 20), QPoint(489, 29)));  // x 6..490, y 20..30 exclusive
  EXPECT_EQ(G.ThumbCorner(0), QPoint(3, 19));
  EXPECT_EQ(G.ThumbCorner(50), QPoint(487, 19));
  EXPECT_EQ(G.ThumbRect(0), QRect(3, 19, 6, 12));
}

struct PixelCase {
  int X;
  int Value;
};

class PixelToValueHorizontal : public ::testing::TestWithParam<PixelCase> {};

// (X - 3) * 50 div 484, truncating toward zero on both sides of the margin.
TEST_P(PixelToValueHorizontal, TruncatesTowardZero) {
  EXPECT_EQ(MainWindowGeometry().PixelToValue({GetParam().X, 25}), GetParam().Value);
}

INSTANTIATE_TEST_SUITE_P(MainWindow, PixelToValueHorizontal,
                         ::testing::Values(PixelCase{245, 25}, PixelCase{300, 30}, PixelCase{3, 0},
                                           PixelCase{0, 0},     // -0.3 -> 0
                                           PixelCase{-10, -1},  // -1.3 -> -1
                                           PixelCase{12, 0}, PixelCase{13, 1}, PixelCase{487, 50},
                                           PixelCase{495, 50}));

TEST(TrackGeometry, VerticalBarCountsFromTheTop) {
  const TTrackGeometry G = MakeTrackGeometry(true, {50, 496}, 12, 3, 10, 0, 50, {12, 6});
  EXPECT_EQ(G.Length, 484);
  EXPECT_EQ(G.Track, QRect(20, 6, 10, 484));
  EXPECT_EQ(G.ThumbCorner(50), QPoint(19, 3));
  EXPECT_EQ(G.ThumbCorner(0), QPoint(19, 487));
  EXPECT_EQ(G.PixelToValue({25, 0}), 50);    // 50 - 3 * 50 div 484
  EXPECT_EQ(G.PixelToValue({25, 239}), 25);  // 50 - 242 * 50 div 484
  EXPECT_EQ(G.PixelToValue({25, 238}), 26);  // 50 - 24.9 truncated
  EXPECT_EQ(G.PixelToValue({25, 481}), 0);
}

TEST(TrackGeometry, PlayCursorLineSitsOnTheThumbCentre) {
  const TTrackGeometry G = MainWindowGeometry();
  EXPECT_EQ(G.LineX(25), 248);  // 25 * 484 div 50 + 2 * 3
  EXPECT_EQ(G.LineX(50), 490);
  EXPECT_EQ(G.LineX(25), G.ThumbCorner(25).x() + 3);
}

TEST(TrackGeometry, TickPlacesIgnoreTheRange) {
  const TTrackGeometry A = MainWindowGeometry(0, 50);
  const TTrackGeometry B = MainWindowGeometry(0, 7);
  for (int K = 0; K < 32; ++K) EXPECT_EQ(A.TickX(K), B.TickX(K)) << K;
  EXPECT_EQ(A.TickX(0), 6);
  EXPECT_EQ(A.TickX(31), 490);
  EXPECT_EQ(A.TickX(1), 15 + 6);  // 484 div 31 = 15
}

// A non-zero Min must still keep the thumbs on the track and clicks inside Min..Max.
TEST(TrackGeometry, NonZeroMinKeepsThumbsOnTheTrack) {
  const TTrackGeometry G = MainWindowGeometry(10, 30);
  EXPECT_EQ(G.Track, MainWindowGeometry().Track);
  EXPECT_EQ(G.ThumbCorner(10), QPoint(3, 19));
  EXPECT_EQ(G.ThumbCorner(30), QPoint(487, 19));
  EXPECT_EQ(G.PixelToValue({245, 25}), 20);
  EXPECT_EQ(G.LineX(20), 248);
}

TEST(TrackGeometry, EmptyRangePutsEverythingAtTheStart) {
  const TTrackGeometry G = MainWindowGeometry(5, 5);
  EXPECT_EQ(G.ThumbCorner(5), QPoint(3, 19));
  EXPECT_EQ(G.ThumbCorner(100), QPoint(3, 19));
  EXPECT_EQ(G.PixelToValue({300, 25}), 5);
  EXPECT_EQ(G.Track, MainWindowGeometry().Track);
}

TEST(TrackGeometry, BarNoLongerThanItsThumbDoesNotDivideByZero) {
  const TTrackGeometry G = MakeTrackGeometry(false, {12, 50}, 12, 3, 10, 0, 50, {6, 12});
  EXPECT_EQ(G.Length, 0);
  EXPECT_EQ(G.PixelToValue({6, 25}), 0);
  EXPECT_EQ(G.ThumbCorner(50).x(), G.Offset);
}

TEST(TrackGeometry, ExtremeRangeStaysInsideTheWidget) {
  const TTrackGeometry G = MainWindowGeometry(INT_MIN, INT_MAX);
  EXPECT_EQ(G.ThumbCorner(INT_MIN).x(), 3);
  EXPECT_EQ(G.ThumbCorner(INT_MAX).x(), 487);
  EXPECT_EQ(G.PixelToValue({3, 25}), INT_MIN);
  EXPECT_EQ(G.PixelToValue({487, 25}), INT_MAX);
}

// --- the widget's thumb image and margin per style ---------------------------------------

struct StyleCase {
  TThumbStyle Style;
  TOrientation Orientation;
  int ThumbSize;  // after the style is applied
  int Margin;
  QSize Image;
};

class ThumbStyleLayout : public ::testing::TestWithParam<StyleCase> {};

TEST_P(ThumbStyleLayout, SetsMarginAndImage) {
  const StyleCase& C = GetParam();
  TTrackBar2 Bar;
  if (C.Orientation == TOrientation::toVertical) Bar.resize(50, 500);
  Bar.SetThumbStyle(C.Style);
  EXPECT_EQ(Bar.Geometry().Vertical, C.Orientation == TOrientation::toVertical);
  EXPECT_EQ(Bar.ThumbSize(), C.ThumbSize);
  EXPECT_EQ(Bar.Geometry().Margin, C.Margin);
  EXPECT_EQ(Bar.Geometry().Image, C.Image);
  EXPECT_EQ(Bar.Geometry().Length, 500 - C.ThumbSize);
}

constexpr auto H = TOrientation::toHorizontal;
constexpr auto V = TOrientation::toVertical;

INSTANTIATE_TEST_SUITE_P(
    AllStyles, ThumbStyleLayout,
    ::testing::Values(StyleCase{TThumbStyle::tsRaisedRectangle, H, 20, 5, {10, 20}},
                      StyleCase{TThumbStyle::tsRectangle, H, 20, 5, {10, 20}},
                      StyleCase{TThumbStyle::tsLoweredRectangle, V, 20, 5, {20, 10}},
                      StyleCase{TThumbStyle::tsUserDrawn, H, 20, 10, {20, 20}},
                      StyleCase{TThumbStyle::tsSmallPointer, H, 11, 5, {11, 16}},
                      StyleCase{TThumbStyle::tsMediumPointer, H, 15, 7, {15, 22}},
                      StyleCase{TThumbStyle::tsLargePointer, H, 21, 10, {21, 30}},
                      StyleCase{TThumbStyle::tsSmallPointer, V, 11, 5, {16, 11}},
                      StyleCase{TThumbStyle::tsLargePointer, V, 21, 10, {30, 21}}));

// A new bar is laid out for its first size at once, before it is ever shown.
TEST(TrackBarLayout, StartsHorizontalAndTabbable) {
  TTrackBar2 Bar;
  EXPECT_EQ(Bar.size(), QSize(500, 50));
  EXPECT_EQ(Bar.Orientation(), TOrientation::toHorizontal);
  EXPECT_EQ(Bar.Geometry().Image, QSize(10, 20));
  EXPECT_TRUE(Bar.focusPolicy() & Qt::TabFocus);
}

TEST(TrackBarLayout, MainWindowSettingsLayOutTheBar) {
  TTrackBar2 Bar;
  ConfigureAsMainWindow(Bar);
  EXPECT_EQ(Bar.Geometry().Margin, 3);
  EXPECT_EQ(Bar.Geometry().Track, QRect(6, 20, 484, 10));
  EXPECT_EQ(Bar.ThumbRectL(), QRect(3, 19, 6, 12));
  EXPECT_EQ(Bar.ThumbRectU(), QRect(487, 19, 6, 12));
}

TEST(TrackBarLayout, SettingVerticalSwapsTheSides) {
  TTrackBar2 Bar;
  ConfigureAsMainWindow(Bar);
  Bar.SetOrientation(TOrientation::toVertical);
  EXPECT_EQ(Bar.size(), QSize(50, 496));
  EXPECT_EQ(Bar.Orientation(), TOrientation::toVertical);
  EXPECT_EQ(Bar.Geometry().Image, QSize(12, 6));
  EXPECT_EQ(Bar.ThumbRectU(), QRect(19, 3, 12, 6));
  Bar.SetOrientation(TOrientation::toHorizontal);
  EXPECT_EQ(Bar.size(), QSize(496, 50));
}

TEST(TrackBarLayout, SwitchingThreeDOnRestoresSunkenTrackAndRaisedThumbs) {
  TTrackBar2 Bar;
  Bar.SetCtl3D(false);
  Bar.SetTrackStyle(TTrackStyle::trFlat);
  Bar.SetThumbStyle(TThumbStyle::tsLoweredRectangle);
  Bar.SetCtl3D(true);
  EXPECT_EQ(Bar.TrackStyle(), TTrackStyle::trLowered);
  EXPECT_EQ(Bar.ThumbStyle(), TThumbStyle::tsRaisedRectangle);
  Bar.SetCtl3D(false);
  Bar.SetThumbStyle(TThumbStyle::tsSmallPointer);
  Bar.SetCtl3D(true);
  EXPECT_EQ(Bar.ThumbStyle(), TThumbStyle::tsSmallPointer);
}

}  // namespace
