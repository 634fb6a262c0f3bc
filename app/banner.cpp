// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/banner.h"

#include <QLabel>
#include <QPainter>

#include "app/artwork.h"
#include "app/link_label.h"

namespace {

constexpr int kHeight = 50;

}  // namespace

TBanner::TBanner(QWidget* parent) : QWidget(parent) {
  setFixedHeight(kHeight);
  Image1 = new TLinkLabel({}, this);
  Image1->setObjectName("Image1");
  Image1->setPixmap(artwork::IconPixmap(40, devicePixelRatioF()));
  Image1->setGeometry(6, 5, 40, 40);

  FName = new QLabel(QStringLiteral("Quarvo Trimora"), this);
  QFont big = FName->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setBold(true);
  FName->setFont(big);
  lTitle = new TLinkLabel(QStringLiteral("Quarvo Software"), this);
  lTitle->setObjectName("lTitle");
  for (QLabel* label : {static_cast<QLabel*>(FName), static_cast<QLabel*>(lTitle)}) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
  }

  lUpdate = new TLinkLabel(QStringLiteral("Check for updates..."), this);
  lUpdate->setObjectName("lUpdate");
  iUpdate = new QLabel(this);
  iUpdate->setObjectName("iUpdate");
  iUpdate->setPixmap(artwork::UpdatePixmap(16, devicePixelRatioF()));
}

void TBanner::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  artwork::PaintBanner(painter, rect());
}

// The update link sits 10 pixels from the right edge and its icon 20 pixels left of it.
void TBanner::resizeEvent(QResizeEvent*) {
  FName->adjustSize();
  lTitle->adjustSize();
  FName->move(54, 4);
  lTitle->move(56, kHeight - 4 - lTitle->height());
  lUpdate->adjustSize();
  lUpdate->move(width() - 10 - lUpdate->width(), (kHeight - lUpdate->height()) / 2);
  iUpdate->setGeometry(lUpdate->x() - 20, (kHeight - 16) / 2, 16, 16);
}
