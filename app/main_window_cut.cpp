// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's cut: the save dialog, the checks of the chosen name, the run into the
// file and what the window shows of it: the caption's percentage as designed, a progress bar
// and, at the end, a line saying what was written.
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <stdexcept>

#include "app/main_window.h"
#include "app/message_box.h"
#include "app/run_status.h"
#include "app/window_parts.h"
#include "cutting/save/target_check.h"
#include "cutting/time/time_text.h"

namespace {

namespace fs = std::filesystem;

const QString kCaption = QString::fromLatin1(message_box::kCaption);

}  // namespace

void TfrmMain::bStartCutClick() {
  const QString sourceText = eOpenFile->text();
  if (sourceText.isEmpty() || !QFileInfo(sourceText).isFile()) {
    ShowMessage(tr("Please open a sound file fristly."));
    return;
  }
  // A shortcut starts the cut without leaving an edit: its check runs here.
  if (!eStart->Check() || !eEnd->Check()) return;
  const QString target = ChooseCutTarget(QFileInfo(sourceText));
  if (target.isEmpty() || TargetRefused(sourceText, target)) return;
  bool replace = false;
  const bool mayWrite = window_parts::MayWriteTo(this, target, replace);
  tbAudio->update();
  if (!mayWrite) return;
  try {
    FDoneText = DoneText(target);
    StartFormatStep(window_parts::PathOf(sourceText), window_parts::PathOf(target), replace);
    ShowRunning(true);
  } catch (const std::exception& e) {
    FRun.Stop();
    ShowRunning(false);
    ShowMessage(tr("The cut could not start: %1").arg(QString::fromStdString(e.what())));
  }
}

// The dialog opens in the folder last written to, proposing "cut_" and the source's name
// with its extension as the source spells it.
QString TfrmMain::ChooseCutTarget(const QFileInfo& source) {
  const QString extension = "." + source.suffix();
  QString folder = window_parts::LastOutputFolder();
  if (folder.isEmpty()) folder = source.absolutePath();
  QFileDialog SaveDialog1(this, tr("Save the cut file"), folder);
  SaveDialog1.setOption(QFileDialog::DontUseNativeDialog);
  SaveDialog1.setOption(QFileDialog::DontConfirmOverwrite);  // asked later, in our words
  SaveDialog1.setAcceptMode(QFileDialog::AcceptSave);
  SaveDialog1.setFileMode(QFileDialog::AnyFile);
  SaveDialog1.setNameFilter(QStringLiteral("Sound Files (*%1)").arg(extension));
  SaveDialog1.setDefaultSuffix(extension.mid(1, 3));
  SaveDialog1.selectFile("cut_" + source.fileName());
  if (SaveDialog1.exec() != QDialog::Accepted || SaveDialog1.selectedFiles().isEmpty()) return {};
  const QString target = SaveDialog1.selectedFiles().first();
  window_parts::RememberOutputFolder(target);
  return target;
}

// The writers choose their container by the name; another kind's name would mislabel it.
bool TfrmMain::TargetRefused(const QString& source, const QString& target) {
  const TKind* kind = window_parts::KindOf(source);
  const TTargetProblem problem = kind != nullptr ? CheckTarget(*kind, window_parts::PathOf(target),
                                                               {window_parts::PathOf(source)})
                                                 : TTargetProblem::None;
  if (problem == TTargetProblem::OtherKind) {
    ShowMessage(tr("Please save the file as a %1 file like the input file.")
                    .arg(QString::fromStdString(kind->Extension())));
    return true;
  }
  if (problem == TTargetProblem::IsAnInput) {
    ShowMessage(
        tr("The cut cannot be saved over the file it is cut from. "
           "Please choose another name."));
    return true;
  }
  return false;
}

void TfrmMain::StartFormatStep(const fs::path& source, const fs::path& target, bool replace) {
  TOpenedSource opened = OpenSource(source);
  const TKind& kind = *opened.Kind;
  TCutChoice choice;
  choice.StartMs = FSelection.StartMs();
  choice.EndMs = FSelection.EndMs();
  choice.ToEnd = FSelection.ToEnd();
  choice.Fades = FadesFor(kind);
  choice.KeepFrames = KeepingFrames(kind);
  FCut.reset();
  FCut = std::make_unique<TSingleCut>(std::move(opened), choice);
  TAuFileOut& sink = FCut->Sink();
  window_parts::WireSink(
      sink, FRun, [this](TAuOutput& sink) { SinkProgress(sink); }, [this] { MP3Out1Done(); });
  sink.SetFileName(window_parts::OpenTarget(FRun, target, replace, {source}));
  FCut->Start(FRun);
}

// "Wrote cut_song.mp3 (00:00:30.000, frames kept)": the name, the length cut and how.
QString TfrmMain::DoneText(const QString& target) const {
  QStringList how{QString::fromStdString(MsToPreciseTimeText(FSelection.SizeMs()))};
  const TKind* kind = window_parts::KindOf(eOpenFile->text());
  if (kind && KeepingFrames(*kind)) how << tr("frames kept");
  if (kind) {
    const TFades fades = FadesFor(*kind);
    if (fades.InMs > 0) how << tr("fade in %1 ms").arg(fades.InMs);
    if (fades.OutMs > 0) how << tr("fade out %1 ms").arg(fades.OutMs);
  }
  return tr("Wrote %1 (%2)").arg(QFileInfo(target).fileName(), how.join(QStringLiteral(", ")));
}

// The caption as designed while the cut runs: the program's name and the percentage.
void TfrmMain::SinkProgress(TAuOutput& sink) {
  const int progress = sink.Progress();
  if (progress < 0) return;
  setWindowTitle(kCaption + QStringLiteral(" - Cutting ... %1%").arg(progress));
  FStatus->Progress(progress);
}

// The end of every cut: a run that ended well is moved into place and said so; a failed one
// leaves no file behind and says why.
void TfrmMain::MP3Out1Done() {
  if (!Cutting()) return;
  const std::string error = FRun.Finish();
  ShowRunning(false);
  FStatus->Done(error.empty() ? FDoneText : QString());
  if (error.empty()) return;
  // Shown once the engine's call has returned, so that its dispatcher is not held up.
  const QString text = tr("The cut could not be written: %1").arg(QString::fromStdString(error));
  QTimer::singleShot(0, this, [this, text] { ShowMessage(text); });
}

void TfrmMain::StopCut() {
  FRun.Stop();
  ShowRunning(false);
  FStatus->Done(tr("Cut stopped: nothing written"));
}

void TfrmMain::ShowRunning(bool running) {
  bStartCut->setEnabled(!running);
  bStartCut->setVisible(!running);
  bStopCut->setVisible(running);
  if (running) {
    FStatus->Start(tr("Cutting ..."));
    setWindowTitle(kCaption + QStringLiteral(" - Cutting ... 0%"));
  } else {
    FStatus->Done(QString());
    setWindowTitle(FileCaption());
  }
}

QString TfrmMain::FileCaption() const {
  const QString file = eOpenFile->text();
  return file.isEmpty() ? kCaption : kCaption + " - " + QFileInfo(file).fileName();
}
