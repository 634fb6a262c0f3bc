// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "cutting/peaks/peak_builder.h"
#include "cutting/peaks/peak_detail.h"

class TDetailView;

// Feeds a window's waveforms for the open file: the overview of the whole file, built on a
// thread of its own (from the peak cache when it is there), and the finer columns of what a
// close view shows when it is zoomed in below the overview's hundredth of a second, decoded on
// demand on another thread. Both threads are polled from the window's thread, so the window
// only ever draws copies.
class TWaveformFeed : public QObject {
 public:
  // `view` (may be null) is fed both; OnOverview gets each newer overview as it arrives.
  explicit TWaveformFeed(TDetailView* view, QObject* parent = nullptr);
  ~TWaveformFeed() override;

  void Start(const QString& file);
  // Cancels both builds; what was shown stays until the next Start.
  void Stop();

  std::function<void(const TPeakOverview&)> OnOverview;

 private:
  void Poll();
  // The close view moved: finer columns for around what it shows, when it needs them.
  void RequestDetail();

  TDetailView* FView;
  TPeakBuilder FPeaks;
  TPeakDetail FDetail;
  QTimer FTimer;
  QString FFile;
  uint64_t FPeaksShown = 0;
  uint64_t FDetailShown = 0;
};
