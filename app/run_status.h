// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;

// The line a window adds below its designed rows for its runs: a progress bar while one goes
// and then, without a message to answer, what it wrote. The bar keeps its room while hidden,
// so that nothing in the window moves when a run starts or ends.
class TRunStatus : public QWidget {
 public:
  explicit TRunStatus(QWidget* parent);

  void Start(const QString& what);
  void Progress(int percent);
  // The run ended: `text` says how (empty: nothing to say).
  void Done(const QString& text);

  QProgressBar* Bar;
  QLabel* Line;
};
