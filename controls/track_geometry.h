// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Pixel layout of the track bar for one client size and one set of settings, and the
// conversions between positions and pixels. Every division truncates toward zero, and the
// conversions stay finite for an empty range (Max = Min) or a bar no longer than its thumb.
struct TTrackGeometry {
  bool Vertical = false;
  QSize Client;
  int ThumbSize = 0;
  int Margin = 0;  // m: distance from a thumb image's edge to the point that marks its value
  int Length = 0;  // L: pixels the thumbs travel from Min to Max
  int Offset = 0;  // o: added to a scaled position to get a thumb image's corner
  int Min = 0;
  int Max = 0;
  QSize Image;  // thumb image
  QRect Track;

  QPoint ThumbCorner(int position) const;
  QRect ThumbRect(int position) const { return {ThumbCorner(position), Image}; }
  int PixelToValue(QPoint p) const;
  // The play cursor is a vertical line at this x, whatever the orientation.
  int LineX(int value) const;
  // X of tick k (0..31); the 32 tick places ignore Min and Max.
  int TickX(int k) const;
};

TTrackGeometry MakeTrackGeometry(bool vertical, QSize client, int thumbSize, int margin,
                                 int trackSize, int min, int max, QSize image);
