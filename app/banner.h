// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class TLinkLabel;

// The title banner across the top of the main window, 50 pixels high: the program's icon
// and name on the left, the update link on the right.
class TBanner : public QWidget {
 public:
  explicit TBanner(QWidget* parent = nullptr);

  TLinkLabel* Image1;
  TLinkLabel* lTitle;
  TLinkLabel* lUpdate;
  QLabel* iUpdate;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLabel* FName;
};
