// SPDX-License-Identifier: GPL-3.0-or-later
// The batch of the segment cut: its checks, its one run, and its end however it ends.
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <stdexcept>

#include "app/easy_cut_window.h"
#include "app/message_box.h"
#include "app/run_status.h"
#include "app/window_parts.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/save/safe_output.h"
#include "cutting/save/target_check.h"
#include "cutting/time/time_text.h"

std::vector<TSegmentRow> TfrmEasyCut::Rows() const {
  std::vector<TSegmentRow> rows;
  for (int row = 0; row < lvMain->rowCount(); ++row)
    rows.push_back(
        {lvMain->item(row, 0)->text().toStdString(), lvMain->item(row, 1)->text().toStdString()});
  return rows;
}

QString TfrmEasyCut::ChooseTarget(const TKind& kind, bool& replace) {
  const QString input = eOpenFile->text();
  const QString proposed =
      window_parts::BaseName(input) + tr(" (segments removed)") + window_parts::Extension(input);
  const QString target =
      window_parts::ChooseSaveName(this, QFileInfo(input).path(), proposed, kind);
  if (target.isEmpty()) return {};

  const TTargetProblem problem =
      CheckTarget(kind, window_parts::PathOf(target), {window_parts::PathOf(eOpenFile->text())});
  if (problem == TTargetProblem::OtherKind) {
    ShowMessage(tr("Please save the file as a %1 file like the input file.")
                    .arg(QString::fromStdString(kind.Extension())));
    return {};
  }
  if (problem == TTargetProblem::IsAnInput) {
    ShowMessage(
        tr("The result cannot be saved over the file it is cut from. "
           "Please choose another name."));
    return {};
  }
  if (!window_parts::MayWriteTo(this, target, replace)) return {};
  return target;
}

void TfrmEasyCut::aStartCutExecute() {
  if (Running()) return;
  const QString input = eOpenFile->text();
  const TKind* kind = window_parts::KindOf(input);
  if (input.isEmpty() || !QFileInfo(input).isFile() || !kind)
    return ShowMessage(tr("Please open a sound file fristly."));
  const std::vector<TSegmentRow> rows = Rows();
  if (!RowsInSequence(rows))
    return ShowMessage(tr("Please make sure that the list of data in sequence!"));
  const TSegmentPlan plan = PlanSegmentCut(rows, FileLengthMs);
  // Refused before the name is asked for: there would be nothing to write.
  if (plan.Pieces.empty())
    return ShowMessage(
        tr("The list removes the whole file: nothing would be left to save. "
           "Please shorten or remove a row."));

  OutputFileName.clear();
  bool replace = false;
  const QString target = ChooseTarget(*kind, replace);
  if (target.isEmpty()) return;
  OutputFileName = target;

  CutPoints.clear();
  for (const std::string& point : plan.CutPoints) CutPoints << QString::fromStdString(point);
  PieceCount = static_cast<int>(plan.Pieces.size());
  QApplication::setOverrideCursor(Qt::WaitCursor);
  FWaitCursor = true;
  setWindowTitle(BaseCaption + QStringLiteral(" - Cutting ... 0%"));
  FStatus->Start(tr("Cutting ..."));
  try {
    FSegments.reset();
    FSegments = std::make_unique<TSegmentCut>(OpenSource(window_parts::PathOf(input)),
                                              cbKeepFrames->isChecked());
    TAuFileOut& sink = FSegments->Sink();
    window_parts::WireSink(
        sink, FRun, [this](TAuOutput& sink) { SinkProgress(sink); }, [this] { WaveOut1Done(); });
    sink.SetFileName(window_parts::OpenTarget(FRun, window_parts::PathOf(target), replace,
                                              {window_parts::PathOf(input)}));
    FSegments->Start(FRun, plan.Pieces);
  } catch (const std::exception& e) {
    EndBatch(e.what());
    return;
  }
  UpdateActions();
}

void TfrmEasyCut::SinkProgress(TAuOutput& sink) {
  const int progress = sink.Progress();
  if (progress < 0 || !Running()) return;
  setWindowTitle(BaseCaption + QStringLiteral(" - Cutting ... %1%").arg(progress));
  FStatus->Progress(progress);
}

// The end of the run: the file is checked and moved into place, or the error said.
void TfrmEasyCut::WaveOut1Done() {
  if (!Running()) return;
  const std::string error = FRun.Finish();
  EndBatch(error);
  if (error.empty())
    FStatus->Done(tr("Wrote %1 (%2 stretches removed, %3 pieces kept)")
                      .arg(QFileInfo(OutputFileName).fileName())
                      .arg(lvMain->rowCount())
                      .arg(PieceCount));
}

// However the batch ends, the output's temporary file goes unless the run moved it into
// place.
void TfrmEasyCut::EndBatch(const std::string& error) {
  FRun.Stop();
  setWindowTitle(BaseCaption);
  if (FWaitCursor) QApplication::restoreOverrideCursor();
  FWaitCursor = false;
  UpdateActions();
  FStatus->Done(QString());
  if (error.empty()) return;
  // Shown once the engine's call has returned, so that its dispatcher is not held up.
  const QString text = tr("The segment cut failed: %1").arg(QString::fromStdString(error));
  QTimer::singleShot(0, this, [this, text] { ShowMessage(text); });
}

void TfrmEasyCut::StopBatch() {
  EndBatch({});
}
