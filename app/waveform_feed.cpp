// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform_feed.h"

#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "app/detail_view.h"

namespace {

constexpr int kPollMs = 40;
constexpr double kOverviewMsPerColumn = 1000.0 / TPeakOverview::kPeaksPerSecond;
// Finer columns are decoded for the shown stretch and as much again on either side, so that
// scrolling a little or zooming out once needs no new decode; never more than a minute.
constexpr int64_t kLongestDetailMs = 60'000;

std::filesystem::path PeakCacheFolder() {
  const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
  return cache.isEmpty() ? std::filesystem::path()
                         : std::filesystem::path(cache.toStdString()) / "peaks";
}

}  // namespace

TWaveformFeed::TWaveformFeed(TDetailView* view, QObject* parent) : QObject(parent), FView(view) {
  connect(&FTimer, &QTimer::timeout, this, &TWaveformFeed::Poll);
  if (FView) connect(FView, &TDetailView::VisibleChanged, this, &TWaveformFeed::RequestDetail);
}

TWaveformFeed::~TWaveformFeed() {
  Stop();
}

void TWaveformFeed::Start(const QString& file) {
  Stop();
  FFile = file;
  FPeaksShown = 0;
  FDetailShown = FDetail.Revision();
  FPeaks.Start(file.toStdString(), PeakCacheFolder());
  RequestDetail();
  FTimer.start(kPollMs);
}

void TWaveformFeed::Stop() {
  FTimer.stop();
  FPeaks.Cancel();
  FDetail.Cancel();
  FFile.clear();
}

void TWaveformFeed::RequestDetail() {
  if (!FView || FFile.isEmpty() || !FView->isVisible() ||
      FView->MsPerPixel() >= kOverviewMsPerColumn)
    return;
  const auto from = static_cast<int64_t>(std::floor(FView->FromMs()));
  const auto to = static_cast<int64_t>(std::ceil(FView->ToMs()));
  const std::filesystem::path file = FFile.toStdString();
  if (FDetail.Covers(file, from, to)) return;
  const int64_t margin = std::min(to - from, (kLongestDetailMs - (to - from)) / 2);
  FDetail.Request(file, from - std::max<int64_t>(margin, 0), to + std::max<int64_t>(margin, 0));
  FTimer.start(kPollMs);
}

void TWaveformFeed::Poll() {
  // Each Done is read before its revision, so that the last columns are not missed.
  const bool peaksDone = FPeaks.Done();
  if (FPeaks.Revision() != FPeaksShown) {
    FPeaksShown = FPeaks.Revision();
    const TPeakOverview peaks = FPeaks.Snapshot();
    if (OnOverview) OnOverview(peaks);
    if (FView) FView->SetOverview(peaks);
  }
  const bool detailDone = FDetail.Done();
  if (FView && FDetail.Revision() != FDetailShown) {
    FDetailShown = FDetail.Revision();
    FView->SetStretch(FDetail.Snapshot());
  }
  if (peaksDone && detailDone) FTimer.stop();
}
