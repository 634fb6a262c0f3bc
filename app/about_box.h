// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class TLinkLabel;

// The about box: the program's name and version, a donation request and the product link.
class TfrmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAbout(QWidget* owner);

  QLabel* Image2;
  QLabel* Image1;
  QLabel* Label1;
  QLabel* Label2;
  TLinkLabel* Image3;
  QLabel* Label4;
  TLinkLabel* lbEAddress;
  QLabel* lCopywrite;
  QLabel* Label3;
  QPushButton* bOK;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  // The icon and names, the plea to donate, then the addresses beside OK.
  void LayOut();
};
