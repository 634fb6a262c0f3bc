// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/run_status.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

TRunStatus::TRunStatus(QWidget* parent) : QWidget(parent) {
  Bar = new QProgressBar(this);
  Bar->setObjectName("pbProgress");
  Bar->setAccessibleName(tr("Progress"));
  Bar->setRange(0, 100);
  Bar->setMaximumWidth(160);
  QSizePolicy policy = Bar->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  Bar->setSizePolicy(policy);
  Bar->hide();
  Line = new QLabel(this);
  Line->setObjectName("lDone");
  Line->setAccessibleName(tr("What the last run wrote"));
  Line->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(Bar);
  row->addWidget(Line, 1);
}

void TRunStatus::Start(const QString& what) {
  Bar->setValue(0);
  Bar->show();
  Line->setText(what);
}

void TRunStatus::Progress(int percent) {
  Bar->setValue(percent);
}

void TRunStatus::Done(const QString& text) {
  Bar->hide();
  Line->setText(text);
}
