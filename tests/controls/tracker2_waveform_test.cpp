// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>

#include <QPainter>

#include "controls/tracker2.h"
#include "main_window_bar.h"

namespace {

const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kGreen(0x00, 0x80, 0x00);
const QColor kLine(0, 200, 200);

QImage Render(TTrackBar2& Bar) {
  return Bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QColor At(const QImage& I, int X, int Y) {
  return QColor(I.pixel(X, Y));
}

// 25 seconds (the main window's Max 50 in half seconds): full-scale sound in the left
// channel from 4 to 10 s, silence elsewhere; the right channel is silent throughout.
// Only the first `Arrived` seconds of columns are there.
TPeakOverview Overview(int Arrived = 25, int Channels = 1) {
  TPeakOverview O;
  O.Channels = Channels;
  O.SampleRate = 8000;
  O.Frames = int64_t{Arrived} * 8000;
  for (int K = 0; K < Arrived * 100; ++K) {
    const bool Loud = K >= 400 && K < 1000;
    O.Peaks.push_back(Loud ? TPeak{-30000, 30000} : TPeak{});
    if (Channels == 2) O.Peaks.push_back({});
  }
  O.Complete = Arrived == 25;
  return O;
}

// The main window's bar (track y 20..29, inside its bevel y 22..27) with the selection
// 10..40 (thumbs at x 99 and 390) and the cursor at 14 (x 141). One pixel covers 25 / 484
// seconds, so the loud stretch spans x 84 to 199.
class WaveformPicture : public ::testing::Test {
 protected:
  void SetUp() override {
    ConfigureAsMainWindow(Bar);
    Bar.SetPositionL(10);
    Bar.SetPositionU(40);
    Bar.SetLinePosition(14);
  }
  TTrackBar2 Bar;
};

TEST_F(WaveformPicture, WithoutAWaveformTheBarPaintsAsItAlwaysDid) {
  const QImage Plain = Render(Bar);
  Bar.SetWaveform(Overview(), 0.5);
  EXPECT_NE(Render(Bar), Plain);
  Bar.ClearWaveform();
  EXPECT_FALSE(Bar.HasWaveform());
  EXPECT_EQ(Render(Bar), Plain);
}

TEST_F(WaveformPicture, SoundIsDrawnInsideTheTrackUnderThumbsSelectionAndCursor) {
  const QImage Plain = Render(Bar);
  Bar.SetWaveform(Overview(), 0.5);
  const QImage I = Render(Bar);
  const QColor Wave = Bar.WaveformColor();
  // Loud and outside the selection: the whole height inside the bevel, nothing beyond it.
  for (int Y = 22; Y <= 27; ++Y) EXPECT_EQ(At(I, 90, Y), Wave) << Y;
  for (int Y : {19, 20, 21, 28, 29, 30}) EXPECT_EQ(At(I, 90, Y), At(Plain, 90, Y)) << Y;
  // Silence outside the selection: a centre line on the white track.
  EXPECT_EQ(At(I, 60, 25), Wave);
  EXPECT_EQ(At(I, 60, 23), kWhite);
  EXPECT_EQ(At(I, 450, 25), Wave);
  // The lower thumb over the loud stretch, and the cursor line, are painted unchanged.
  for (int X = 99; X <= 104; ++X)
    for (int Y = 19; Y <= 30; ++Y) EXPECT_EQ(At(I, X, Y), At(Plain, X, Y)) << X << "," << Y;
  for (int Y = 0; Y < 50; ++Y) EXPECT_EQ(At(I, 141, Y), kLine) << Y;
  // The selection is a green tint over the picture: its outline stays green, the sound
  // and the silence beneath it still differ, and neither is plain green or white.
  EXPECT_EQ(At(I, 150, 20), kGreen);
  const QColor LoudTinted = At(I, 150, 23);
  const QColor QuietTinted = At(I, 250, 23);
  EXPECT_NE(LoudTinted, QuietTinted);
  for (QColor C : {LoudTinted, QuietTinted}) {
    EXPECT_NE(C, kGreen);
    EXPECT_NE(C, kWhite);
    EXPECT_GT(C.green(), C.red());
  }
}

// An overview still growing shows what has arrived and leaves the rest of the track bare;
// a unit of 0 spreads the overview over the whole track instead.
TEST_F(WaveformPicture, ColumnsNotYetArrivedLeaveTheTrackBare) {
  Bar.SetWaveform(Overview(3), 0.5);
  QImage I = Render(Bar);
  EXPECT_EQ(At(I, 30, 25), Bar.WaveformColor());
  EXPECT_EQ(At(I, 450, 25), kWhite);
  EXPECT_EQ(At(I, 90, 23), kWhite);  // 4 s lies beyond the 3 s there

  Bar.SetWaveform(Overview(10), 0);  // now 10 s fill the track: loud from x 200 on
  I = Render(Bar);
  EXPECT_EQ(At(I, 450, 23), Bar.WaveformColor());
  EXPECT_EQ(At(I, 90, 23), kWhite);
}

// On a taller track each channel can have its own half; marked stretches are tinted.
TEST(WaveformLayout, ChannelsGetTheirOwnHalvesAndMarkedStretchesShow) {
  TTrackBar2 Bar;
  Bar.resize(496, 50);
  Bar.SetThumbSize(12);
  Bar.SetMax(50);
  Bar.SetTrackSize(30);  // track y 10..39, inside the bevel y 12..37
  Bar.SetPositionL(0);
  Bar.SetWaveform(Overview(25, 2), 0.5);
  Bar.SetWaveformLayout(TWaveformLayout::wlChannels);
  Bar.SetMarkedStretches({{15.0, 20.0}});
  const QImage I = Render(Bar);
  const QColor Wave = Bar.WaveformColor();
  EXPECT_EQ(At(I, 150, 13), Wave);    // left channel, loud
  EXPECT_EQ(At(I, 150, 30), kWhite);  // right channel, silent
  const QColor Marked = At(I, 6 + int(17.0 / 25 * 484), 30);
  EXPECT_GT(Marked.red(), Marked.green());
  EXPECT_NE(Marked, kWhite);
  EXPECT_EQ(At(I, 6 + int(22.0 / 25 * 484), 30), kWhite);
}

// Writes the main window's bar over 25 seconds of a made-up sound (bursts that fade), once
// as designed and once with a taller track and the channels apart, to
// <build>/controls_tracker2_waveform.png for a look by eye.
TEST(Screenshot, WritesThePictureOfABarWithAWaveform) {
  TPeakOverview O;
  O.Channels = 2;
  O.SampleRate = 8000;
  O.Frames = 25 * 8000;
  for (int K = 0; K < 2500; ++K) {
    const double Fade = std::exp(-(K % 300) / 80.0) * (0.3 + 0.7 * std::abs(std::sin(K / 7.0)));
    const auto Level = static_cast<int16_t>(30000 * Fade);
    O.Peaks.push_back({static_cast<int16_t>(-Level), Level});
    O.Peaks.push_back({static_cast<int16_t>(-Level / 2), static_cast<int16_t>(Level / 2)});
  }
  O.Complete = true;
  TTrackBar2 Designed;
  ConfigureAsMainWindow(Designed);
  TTrackBar2 Tall;
  ConfigureAsMainWindow(Tall);
  Tall.SetTrackSize(30);
  Tall.SetWaveformLayout(TWaveformLayout::wlChannels);
  QImage Sheet(496, 2 * 50 + 4, QImage::Format_RGB32);
  Sheet.fill(Qt::darkGray);
  QPainter P(&Sheet);
  int Y = 0;
  for (TTrackBar2* Bar : {&Designed, &Tall}) {
    Bar->SetPositionL(12);
    Bar->SetPositionU(37);
    Bar->SetLinePosition(20);
    Bar->SetWaveform(O, 0.5);
    P.drawImage(0, Y, Render(*Bar));
    Y += 54;
  }
  P.end();
  const QString Path = QStringLiteral(TRIMORA_BINARY_DIR "/controls_tracker2_waveform.png");
  ASSERT_TRUE(Sheet.save(Path));
  EXPECT_EQ(QImage(Path).pixel(20, 25), Designed.WaveformColor().rgb());
}

}  // namespace
