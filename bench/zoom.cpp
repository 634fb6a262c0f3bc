// SPDX-License-Identifier: GPL-3.0-or-later
// Zooms the main window's close view over one file the way a user does with Ctrl+wheel: at
// several places, from the whole file down to a millisecond a pixel, halving the scale each
// step. Every step is drawn at once from what is there (the overview), and again once the
// finer columns of the shown stretch have been decoded on their thread. Prints the slowest
// draw of each kind, and the slowest wait for the finer columns.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "app/detail_view.h"
#include "cutting/peaks/peak_builder.h"
#include "cutting/peaks/peak_detail.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One draw of the whole view into an image, as the window's repaint draws it.
double Draw(TDetailView& view, QImage& image) {
  const auto start = Clock::now();
  QPainter painter(&image);
  view.render(&painter);
  return MsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: zoom FILE\n");
    return 2;
  }
  TPeakBuilder builder;
  builder.Start(argv[1]);
  builder.Wait();
  const TPeakOverview overview = builder.Snapshot();
  if (!builder.Error().empty() || overview.Columns() == 0) {
    std::fprintf(stderr, "%s: no overview: %s\n", argv[1], builder.Error().c_str());
    return 1;
  }
  const auto lengthMs = static_cast<int32_t>(overview.Seconds() * 1000);
  TDetailView view;
  view.resize(1200, 240);
  view.SetSound(lengthMs);
  view.SetOverview(overview);
  QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);

  TPeakDetail detail;
  double slowestDraw = 0, slowestFineDraw = 0, slowestFine = 0;
  int steps = 0;
  for (const double place : {0.02, 0.5, 0.98}) {
    const double around = place * lengthMs;
    view.ShowStretch(0, 1e12);  // the whole file
    while (true) {
      slowestDraw = std::max(slowestDraw, Draw(view, image));
      ++steps;
      if (view.MsPerPixel() < 1000.0 / TPeakOverview::kPeaksPerSecond) {
        const auto asked = Clock::now();
        detail.Request(argv[1], static_cast<int64_t>(view.FromMs()),
                       static_cast<int64_t>(view.ToMs()) + 1);
        detail.Wait();
        slowestFine = std::max(slowestFine, MsSince(asked));
        view.SetStretch(detail.Snapshot());
        slowestFineDraw = std::max(slowestFineDraw, Draw(view, image));
      }
      if (view.MsPerPixel() <= 1.0) break;
      view.ZoomBy(0.5, around);
    }
  }
  std::printf("%d steps; slowest draw %.1f ms, with finer columns %.1f ms; "
              "finer columns after at most %.1f ms\n",
              steps, slowestDraw, slowestFineDraw, slowestFine);

  // A two-hour overview (made up: no such file is kept around), zoomed the same way with the
  // overview alone, for the cost that grows with the file's length.
  TPeakOverview longer{2, 44100, int64_t{44100} * 7200, {}, true};
  longer.Peaks.resize(size_t{7200} * TPeakOverview::kPeaksPerSecond * 2);
  for (size_t k = 0; k < longer.Peaks.size(); ++k) {
    const auto level = static_cast<int16_t>((k * 7919) % 30000);
    longer.Peaks[k] = {static_cast<int16_t>(-level), level};
  }
  view.SetSound(7200 * 1000);
  view.SetOverview(longer);
  double slowestLong = 0;
  for (view.ShowStretch(0, 1e12);; view.ZoomBy(0.5, 3600.0 * 1000)) {
    slowestLong = std::max(slowestLong, Draw(view, image));
    if (view.MsPerPixel() <= 1.0) break;
  }
  std::printf("two hours: slowest draw %.1f ms\n", slowestLong);
  return 0;
}
