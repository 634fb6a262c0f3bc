// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/about_box.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/artwork.h"
#include "app/link_label.h"
#include "app/links.h"
#include "app/message_box.h"
#include "trimora_version.h"

namespace {

QPixmap BannerPixmap(int width, int height, qreal ratio) {
  QPixmap pixmap(qRound(width * ratio), qRound(height * ratio));
  pixmap.setDevicePixelRatio(ratio);
  QPainter painter(&pixmap);
  artwork::PaintBanner(painter, QRect(0, 0, width, height));
  return pixmap;
}

QLabel* Named(QLabel* label, const char* name) {
  label->setObjectName(name);
  return label;
}

}  // namespace

TfrmAbout::TfrmAbout(QWidget* owner) : QDialog(owner) {
  setObjectName("frmAbout");
  setWindowTitle(tr("About Quarvo Trimora"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  BuildControls();
  LayOut();
  connect(bOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(lbEAddress, &TLinkLabel::Clicked, this,
          [this] { links::OpenPage(this, links::kProductPage); });
  connect(Image3, &TLinkLabel::Clicked, this,
          [this] { links::OpenPage(this, links::kDonationPage); });
}

void TfrmAbout::BuildControls() {
  const qreal ratio = devicePixelRatioF();

  Image2 = Named(new QLabel(this), "Image2");
  Image2->setPixmap(BannerPixmap(360, 8, ratio));
  Image2->setScaledContents(true);
  Image2->setFixedHeight(8);
  Image1 = Named(new QLabel(this), "Image1");
  Image1->setPixmap(artwork::IconPixmap(64, ratio));
  Label1 = Named(new QLabel(this), "Label1");
  QFont big = Label1->font();
  big.setPointSizeF(big.pointSizeF() * 1.4);
  big.setBold(true);
  Label1->setFont(big);
  Label2 =
      Named(new QLabel(QStringLiteral("Version: %1   Build %2")
                           .arg(QStringLiteral(TRIMORA_VERSION), QStringLiteral(TRIMORA_BUILD)),
                       this),
            "Label2");
  Image3 = new TLinkLabel({}, this);
  Image3->setObjectName("Image3");
  Image3->setPixmap(artwork::DonatePixmap(96, 28, ratio));
  Label4 = Named(new QLabel(tr("If you like it, please feel free to donate, any donations\n"
                               "large or small are greatly appreciated."),
                            this),
                 "Label4");
  lbEAddress = new TLinkLabel(tr("Trimora on the web"), this);
  lbEAddress->setObjectName("lbEAddress");
  QFont link = lbEAddress->font();
  link.setUnderline(true);
  lbEAddress->setFont(link);
  lbEAddress->SetColors(Qt::blue, Qt::blue);
  lCopywrite = Named(new QLabel(tr("Copyright (C) 2026 Quarvo Software\n"
                                   "Free software under the GNU GPL, version 3 or later"),
                                this),
                     "lCopywrite");
  Label3 =
      Named(new QLabel(tr("Support: see the README shipped with the program"), this), "Label3");
  bOK = new QPushButton(tr("&OK"), this);
  bOK->setObjectName("bOK");
  bOK->setDefault(true);
}

void TfrmAbout::LayOut() {
  auto* divider = new QFrame(this);
  divider->setFrameShape(QFrame::HLine);
  divider->setFrameShadow(QFrame::Sunken);
  auto* head = new QHBoxLayout;
  head->addWidget(Image1, 0, Qt::AlignTop);
  auto* names = new QVBoxLayout;
  names->addWidget(Label1);
  names->addWidget(Label2);
  names->addWidget(lCopywrite);
  names->addStretch(1);
  head->addLayout(names, 1);

  auto* donate = new QHBoxLayout;
  donate->addWidget(Image3, 0, Qt::AlignVCenter);
  donate->addWidget(Label4, 1);

  auto* foot = new QHBoxLayout;
  auto* addresses = new QVBoxLayout;
  addresses->addWidget(lbEAddress);
  addresses->addWidget(Label3);
  foot->addLayout(addresses, 1);
  foot->addWidget(bOK, 0, Qt::AlignBottom);

  auto* body = new QVBoxLayout;
  body->setContentsMargins(14, 10, 14, 12);
  body->addLayout(head);
  body->addLayout(donate);
  body->addWidget(divider);
  body->addLayout(foot);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(Image2);
  outer->addLayout(body);
  outer->setSizeConstraint(QLayout::SetFixedSize);
}

void TfrmAbout::showEvent(QShowEvent* event) {
  Label1->setText(QString::fromLatin1(message_box::kCaption));
  QDialog::showEvent(event);
}
