// SPDX-License-Identifier: GPL-3.0-or-later
// The split window's marks: a cue sheet or label file chosen to split at, and any plan saved
// as a cue sheet or as labels for another program.
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "app/message_box.h"
#include "app/split_window.h"
#include "app/window_parts.h"
#include "cutting/marks/mark_files.h"
#include "cutting/operations/plan_marks.h"

namespace {

constexpr char kTitledPattern[] = "{n} - {title}";
constexpr char kPlainPattern[] = "{name} - {n}";

}  // namespace

QWidget* TfrmSplit::BuildMarksPage(QWidget* parent) {
  auto* page = new QWidget(parent);
  eMarks = new QLineEdit(page);
  eMarks->setObjectName("eMarks");
  eMarks->setReadOnly(true);
  eMarks->setAccessibleName(tr("Cue sheet or label file"));
  eMarks->setPlaceholderText(tr("None chosen"));
  bMarks = window_parts::Button("bMarks", tr("Ch&oose..."), page);
  bMarks->setAccessibleName(tr("Choose the cue sheet or label file"));
  bOwnMarks = window_parts::Button("bOwnMarks", tr("The file's o&wn marks"), page);
  bOwnMarks->hide();
  auto* form = new QFormLayout(page);
  form->addRow(tr("Marks:"), eMarks);
  form->addRow(bMarks);
  form->addRow(bOwnMarks);
  connect(bMarks, &QPushButton::clicked, this, &TfrmSplit::bMarksClick);
  connect(bOwnMarks, &QPushButton::clicked, this, [this] {
    if (!FOwnMarks) return;
    FMarks = FOwnMarks->Marks;
    FMarksNote.clear();
    eMarks->setText(tr("The file's own (%1)").arg(QString::fromStdString(FOwnMarks->Source)));
    Replan();
  });
  return page;
}

// The row below the designed ones: the plan, whatever made it, saved for another program.
QLayout* TfrmSplit::BuildSaveMarksRow() {
  bSaveCue = window_parts::Button("bSaveCue", tr("Save as c&ue sheet..."), this);
  bSaveLabels = window_parts::Button("bSaveLabels", tr("Save &labels..."), this);
  auto* row = new QHBoxLayout;
  row->addWidget(bSaveCue);
  row->addWidget(bSaveLabels);
  row->addStretch(1);
  connect(bSaveCue, &QPushButton::clicked, this, [this] { SavePlanMarks(true); });
  connect(bSaveLabels, &QPushButton::clicked, this, [this] { SavePlanMarks(false); });
  return row;
}

void TfrmSplit::bMarksClick() {
  const QString start =
      eMarks->text().isEmpty() ? QFileInfo(eOpenFile->text()).absolutePath() : eMarks->text();
  QFileDialog dialog(this, tr("Cue sheet or label file"), start);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(QString::fromStdString(MarkFileFilter()));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  OpenMarks(dialog.selectedFiles().first());
}

// A sheet that cannot be read is said so with its line, and leaves no marks to split at.
void TfrmSplit::OpenMarks(const QString& file) {
  FMarks.reset();
  eMarks->setText(file);
  try {
    std::string note;
    FMarks =
        ReadMarksFor(window_parts::PathOf(file), window_parts::PathOf(eOpenFile->text()), note);
    FMarksNote = QString::fromStdString(note);
  } catch (const std::exception& e) {
    eMarks->clear();
    ShowMessage(tr("'%1' cannot be used: %2").arg(file, QString::fromStdString(e.what())));
  }
  Replan();
}

// The marks the open file carries, offered beside a sheet to choose.
void TfrmSplit::OfferOwnMarks() {
  FOwnMarks.reset();
  if (FOpened) {
    try {
      FOwnMarks = ReadEmbeddedMarks(window_parts::PathOf(eOpenFile->text()));
    } catch (const std::exception&) {
      // Marks that cannot be read are none to offer.
    }
  }
  bOwnMarks->setVisible(FOwnMarks.has_value());
  if (FOwnMarks)
    bOwnMarks->setToolTip(tr("%1 marks, from the %2")
                              .arg(FOwnMarks->Marks.Marks.size())
                              .arg(QString::fromStdString(FOwnMarks->Source)));
}

// Pieces with titles are named by them unless the user wrote a pattern of their own.
void TfrmSplit::ProposePattern() {
  const bool titled =
      !FPieces.empty() && std::all_of(FPieces.begin(), FPieces.end(),
                                      [](const TSplitPiece& p) { return !p.Texts.Title.empty(); });
  const QString pattern = ePattern->text();
  if (titled && pattern == kPlainPattern) ePattern->setText(kTitledPattern);
  if (!titled && pattern == kTitledPattern) ePattern->setText(kPlainPattern);
}

void TfrmSplit::SavePlanMarks(bool cueSheet) {
  if (Running() || !FOpened || FPieces.empty()) return;
  const QFileInfo sound(eOpenFile->text());
  const QString extension = cueSheet ? kCueSheetExtension : kLabelFileExtension;
  QFileDialog dialog(this, cueSheet ? tr("Save as cue sheet") : tr("Save labels"),
                     sound.absolutePath() + "/" + sound.completeBaseName() + extension);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);  // asked below in the window's words
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(QString::fromStdString(cueSheet ? CueSheetFilter() : LabelFileFilter()));
  dialog.setDefaultSuffix(extension.mid(1));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString target = dialog.selectedFiles().first();
  if (QFileInfo::exists(target) &&
      !message_box::AskYesNo(this, tr("'%1' exists. Replace it?").arg(target)))
    return;
  try {
    const std::filesystem::path path = window_parts::PathOf(sound.absoluteFilePath());
    const std::string text =
        cueSheet ? PlanCueSheet(FPieces, FRate,
                                FMarks && cbMode->currentIndex() == kAtMarks
                                    ? *FMarks
                                    : AlbumTextsOf(*FOpened->Kind, *FOpened->Source),
                                path)
                 : PlanLabels(FPieces, FRate);
    WritePlanText(window_parts::PathOf(target), text, true, path);
    lStatus->setText(tr("Wrote %1").arg(target));
  } catch (const std::exception& e) {
    ShowMessage(tr("'%1' cannot be written: %2").arg(target, QString::fromStdString(e.what())));
  }
}
