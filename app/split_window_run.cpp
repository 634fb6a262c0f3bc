// SPDX-License-Identifier: GPL-3.0-or-later
// The split window's runs: the pause search on its thread, and the pieces written one after
// another, each through the safe save.
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <functional>
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
  if (!MakeMissingFolders()) return;
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
  TSplitEvents events;
  events.OpenTarget = [this](TOutputRun& run, const std::filesystem::path& target, bool replace) {
    return window_parts::OpenTarget(run, target, replace,
                                    {window_parts::PathOf(eOpenFile->text())});
  };
  events.Defer = [this](std::function<void()> step) {
    QTimer::singleShot(0, this, std::move(step));
  };
  events.Progress = [this](size_t piece, int percent) {
    ShowProgress(tr("Writing piece %1/%2").arg(piece + 1).arg(FSplit->Count()), percent);
  };
  events.Done = [this](const std::string& error) { WritingDone(error); };
  ShowProgress(tr("Writing piece %1/%2").arg(1).arg(FSplit->Count()), 0);
  FSplit->Run(std::move(events), FReplace);
}

// The split has ended: the pieces named, or why it failed and what was kept.
void TfrmSplit::WritingDone(const std::string& error) {
  QString text;
  if (!error.empty()) {
    text = tr("The split failed: %1").arg(QString::fromStdString(error));
  } else {
    QStringList names;
    for (const auto& name : FSplit->Written()) names << QString::fromStdString(name.string());
    text =
        (names.size() == 1 ? tr("1 piece written:") : tr("%1 pieces written:").arg(names.size())) +
        "\n" + names.join('\n');
  }
  // Shown once the split's call has returned: the window lets go of it here.
  QTimer::singleShot(0, this, [this, text] { EndWriting(text); });
}

// However the writing ends: the window back to its plan, `message` shown.
void TfrmSplit::EndWriting(const QString& message) {
  if (FSplit) FSplit->Stop();
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
  FSplit->Stop();
  FSplit.reset();
  setWindowTitle(BaseCaption);
  UpdateControls();
  if (!kept.isEmpty() && isVisible())
    QTimer::singleShot(0, this, [this, kept] {
      ShowMessage(tr("Stopped. The pieces written before stay:") + "\n" + kept.join('\n'));
    });
}
