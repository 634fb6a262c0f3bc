// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's fades: a fade-in and a fade-out at the edges of the cut, beside the
// "Keep the frames" box. They start at 0 in each session, so that no fade chosen for one cut
// is applied unseen to a later one. A fade re-encodes the sound, so the fields are off while
// that box keeps the frames.
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>

#include "app/main_window.h"
#include "cutting/operations/single_cut.h"

namespace {

QSpinBox* FadeField(const char* name, const QString& accessible, QWidget* parent) {
  auto* field = new QSpinBox(parent);
  field->setObjectName(name);
  field->setAccessibleName(accessible);
  field->setRange(0, 60000);
  field->setSingleStep(10);
  field->setSuffix(QStringLiteral(" ms"));
  return field;
}

}  // namespace

void TfrmMain::BuildFades(QHBoxLayout* row) {
  seFadeIn = FadeField("seFadeIn", tr("Fade in"), this);
  seFadeOut = FadeField("seFadeOut", tr("Fade out"), this);
  for (QSpinBox* field : {seFadeIn, seFadeOut}) {
    field->setToolTip(tr("A fade re-encodes the sound: not with \"Keep the frames\""));
    field->setMaximumHeight(cbKeepFrames->sizeHint().height());
  }
  auto* inLabel = new QLabel(tr("Fade i&n:"), this);
  auto* outLabel = new QLabel(tr("Fade ou&t:"), this);
  inLabel->setBuddy(seFadeIn);
  outLabel->setBuddy(seFadeOut);
  row->addSpacing(12);
  row->addWidget(inLabel);
  row->addWidget(seFadeIn);
  row->addSpacing(12);
  row->addWidget(outLabel);
  row->addWidget(seFadeOut);
  connect(cbKeepFrames, &QCheckBox::toggled, this, &TfrmMain::UpdateFadeFields);
}

bool TfrmMain::KeepingFrames(const TKind& kind) const {
  return CopiesFrames(kind, cbKeepFrames->isChecked());
}

void TfrmMain::UpdateFadeFields() {
  const TKind* kind = window_parts::KindOf(eOpenFile->text());
  const bool copying = kind && KeepingFrames(*kind);
  for (QSpinBox* field : {seFadeIn, seFadeOut}) field->setEnabled(!copying);
}

// A frame copy cannot fade: its fields are off then, and what they hold is not applied.
TFades TfrmMain::FadesFor(const TKind& kind) const {
  if (KeepingFrames(kind)) return {};
  return {seFadeIn->value(), seFadeOut->value()};
}
