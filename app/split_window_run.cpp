// SPDX-License-Identifier: GPL-3.0-or-later
// The split window's runs: the pause search on its thread, and the pieces written one after
// another, each through the safe save.
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "app/message_box.h"
#include "app/split_window.h"
#include "app/window_parts.h"
#include "cutting/operations/split_run.h"

void TfrmSplit::bFindClick() {
  if (Running() || !FOpened) return;
  FSilences.reset();
  FSilencesFor = SilenceSettings();
  FSearch.Start(eOpenFile->text(), FSilencesFor);
  ShowProgress(tr("Finding pauses"), 0);
  FPoll.start();
  UpdateControls();
}

// Polled while the search runs: its percentage shown, its result planned once it is in.
void TfrmSplit::PollSearch() {
  if (FSearch.Running()) return ShowProgress(tr("Finding pauses"), FSearch.Percent());
  FPoll.stop();
  setWindowTitle(BaseCaption);
  if (!FSearch.Finished()) return UpdateControls();  // stopped
  TSilenceSearch::TResult result = FSearch.Take();
  if (!result.Error.empty()) {
    UpdateControls();
    return ShowMessage(
        tr("The pauses could not be found: %1").arg(QString::fromStdString(result.Error)));
  }
  FSilences = std::move(result.Silences);
  Replan();
}

void TfrmSplit::ShowProgress(const QString& what, int percent) {
  pbProgress->setValue(std::max(0, percent));
  setWindowTitle(QStringLiteral("%1 - %2 ... %3%").arg(BaseCaption, what).arg(percent));
}

void TfrmSplit::bStartClick() {
  if (Running()) return;
  if (!FOpened || FPieces.empty() || FPieces.size() != FNames.size())
    return ShowMessage(tr("There are no pieces to write. Please choose where to split first."));
  std::unique_ptr<TSplitRun> split;
  try {
    split = std::make_unique<TSplitRun>(*FOpened->Kind, *FOpened->Source, FPieces, FNames,
                                        cbKeepFrames->isChecked());
  } catch (const std::exception& e) {
    return ShowMessage(tr("The split cannot start: %1").arg(QString::fromStdString(e.what())));
  }
  FReplace = false;
  if (const auto taken = split->TakenTargets(); !taken.empty()) {
    const QString first = QString::fromStdString(taken.front().string());
    const QString question =
        taken.size() == 1
            ? tr("'%1' exists. Replace it?").arg(first)
            : tr("%1 of the pieces exist, as '%2'. Replace them?").arg(taken.size()).arg(first);
    if (!message_box::AskYesNo(this, question)) return;
    FReplace = true;
  }
  FSplit = std::move(split);
  UpdateControls();
  WritePiece(0);
}

void TfrmSplit::WritePiece(size_t index) {
  if (!FSplit) return;
  FPiece = index;
  ShowProgress(tr("Writing piece %1/%2").arg(index + 1).arg(FSplit->Count()), 0);
  try {
    TAuFileOut& sink = FSplit->MakeSink(index);
    sink.OnProgress = [this, &sink](TComponent*) {
      if (FSplit && sink.Progress() >= 0)
        ShowProgress(tr("Writing piece %1/%2").arg(FPiece + 1).arg(FSplit->Count()),
                     sink.Progress());
    };
    sink.OnDone = [this, index](TComponent*) { PieceDone(index); };
    FRun.Watch({&sink});
    sink.SetFileName(window_parts::OpenTarget(FRun, FSplit->Target(index), FReplace,
                                              {window_parts::PathOf(eOpenFile->text())}));
    FSplit->Start(FRun, index);
  } catch (const std::exception& e) {
    FRun.Stop();
    EndWriting(tr("The split failed: %1")
                   .arg(QString::fromStdString(FSplit->Failure(index, e.what()))));
  }
}

// A piece's run ended: checked and moved into place, then the next one, which starts once the
// engine's call has returned, since its sink replaces this one.
void TfrmSplit::PieceDone(size_t index) {
  if (!FSplit || !FRun.Running() || index != FPiece) return;
  const std::string error = FRun.Finish();
  if (!error.empty()) {
    const QString text = QString::fromStdString(FSplit->Failure(index, error));
    QTimer::singleShot(0, this, [this, text] { EndWriting(tr("The split failed: %1").arg(text)); });
    return;
  }
  FSplit->Finished(index);
  if (index + 1 < FSplit->Count()) {
    QTimer::singleShot(0, this, [this, index] { WritePiece(index + 1); });
    return;
  }
  QStringList names;
  for (const auto& name : FSplit->Written()) names << QString::fromStdString(name.string());
  const QString text = (names.size() == 1 ? tr("1 piece written:")
                                           : tr("%1 pieces written:").arg(names.size())) +
                       "\n" + names.join('\n');
  QTimer::singleShot(0, this, [this, text] { EndWriting(text); });
}

// However the writing ends: the window back to its plan, `message` shown.
void TfrmSplit::EndWriting(const QString& message) {
  FRun.Stop();
  FSplit.reset();
  setWindowTitle(BaseCaption);
  UpdateControls();
  if (!message.isEmpty()) ShowMessage(message);
}

void TfrmSplit::StopRun() {
  if (FPoll.isActive()) {
    FSearch.Stop();
    PollSearch();
    return;
  }
  if (!FSplit) return;
  QStringList kept;
  for (const auto& name : FSplit->Written()) kept << QString::fromStdString(name.string());
  FRun.Stop();
  FSplit.reset();
  setWindowTitle(BaseCaption);
  UpdateControls();
  if (!kept.isEmpty() && isVisible())
    QTimer::singleShot(0, this, [this, kept] {
      ShowMessage(tr("Stopped. The pieces written before stay:") + "\n" + kept.join('\n'));
    });
}
