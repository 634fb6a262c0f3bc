// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QTest>

#include "controls/tracker2.h"

// The bar as the main window sets it up: 496 x 50, a second thumb, half-second units up to
// Max 50 with the whole range selected, green range, small black ticks.
inline void ConfigureAsMainWindow(TTrackBar2& Bar) {
  Bar.resize(496, 50);
  Bar.SetThumbSize(12);
  Bar.SetMax(50);
  Bar.SetPositionU(50);
  Bar.SetSecondThumb(true);
  Bar.SetTrackCenterColor(QColor(0x00, 0x80, 0x00));
  Bar.SetTickSize(2);
  Bar.SetTickColor(Qt::black);
}

// Real input needs a shown, exposed window (the offscreen platform provides one).
inline bool ShowAndWait(QWidget& W) {
  W.show();
  return QTest::qWaitForWindowExposed(&W);
}
