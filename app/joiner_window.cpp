// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/joiner_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <stdexcept>
#include <vector>

#include "app/message_box.h"
#include "app/mnemonics.h"
#include "app/run_status.h"
#include "app/window_parts.h"
#include "app/window_size.h"
#include "cutting/cut_error.h"
#include "cutting/save/safe_output.h"
#include "cutting/save/target_check.h"

namespace {

using window_parts::Button;
using window_parts::KindOf;
using window_parts::PathOf;

namespace fs = std::filesystem;

const char kProcessing[] = " - Processing ... ";

QLineEdit* FileEdit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setReadOnly(true);
  edit->setMinimumWidth(320);
  return edit;
}

}  // namespace

TfrmJoiner::TfrmJoiner(QWidget* parent) : TRunDialog("frmJoiner", tr("Joiner & Mixer"), parent) {
  BuildControls();
  FCaption = windowTitle();
  mnemonics::Install(this);
  mnemonics::NameControls(this);
  window_parts::RememberSize(this, "joiner");
}

TfrmJoiner::~TfrmJoiner() {
  if (Running()) StopRun();
}

QRadioButton* TfrmJoiner::ModeItem(int index) const {
  return qobject_cast<QRadioButton*>(FModes->button(index));
}

void TfrmJoiner::BuildControls() {
  eFile1 = FileEdit("eFile1", this);
  eFile2 = FileEdit("eFile2", this);
  bOpen1 = Button("bOpen1", tr("&Open File"), this);
  bOpen2 = Button("bOpen2", tr("&Open File"), this);
  eFile1->setAccessibleName(tr("First file"));
  eFile2->setAccessibleName(tr("Second file"));
  bOpen1->setAccessibleName(tr("Open the first file"));
  bOpen2->setAccessibleName(tr("Open the second file"));

  rgMode = new QGroupBox(this);
  rgMode->setObjectName("rgMode");
  rgMode->setAccessibleName(tr("Mode"));
  // Enlarged, the window widens its file names; the rest keeps its height.
  rgMode->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  FModes = new QButtonGroup(this);
  auto* columns = new QGridLayout(rgMode);
  const QString items[] = {tr("Joiner"), tr("Mixer")};
  for (int i = 0; i < 2; ++i) {
    auto* item = new QRadioButton(items[i], rgMode);
    FModes->addButton(item, i);
    columns->addWidget(item, 0, i);
  }
  ModeItem(0)->setChecked(true);

  bStart = Button("bStart", tr("&Start"), this);
  bClose = Button("bClose", tr("&Close"), this);
  bStart->setDefault(true);

  auto* files = new QGridLayout;
  files->addWidget(eFile1, 0, 0);
  files->addWidget(bOpen1, 0, 1);
  files->addWidget(eFile2, 1, 0);
  files->addWidget(bOpen2, 1, 1);
  auto* actions = new QHBoxLayout;
  actions->addStretch(1);
  actions->addWidget(bStart);
  actions->addWidget(bClose);
  auto* body = new QVBoxLayout(this);
  body->addLayout(files);
  body->addWidget(rgMode);
  body->addStretch(1);
  body->addLayout(actions);
  cbKeepFrames = window_parts::JoinKeepingBox(this);
  body->addWidget(cbKeepFrames);
  FStatus = new TRunStatus(this);
  body->addWidget(FStatus);

  // Each file's edit is followed by its own button, so that the letter O, which both bear,
  // reaches the button of the row the user is in.
  QWidget* order[] = {eFile1,      bOpen1, eFile2, bOpen2,      ModeItem(0),
                      ModeItem(1), bStart, bClose, cbKeepFrames};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

  connect(bOpen1, &QPushButton::clicked, this, &TfrmJoiner::bOpen1Click);
  connect(bOpen2, &QPushButton::clicked, this, &TfrmJoiner::bOpen2Click);
  connect(bStart, &QPushButton::clicked, this, &TfrmJoiner::bStartClick);
  connect(bClose, &QPushButton::clicked, this, &QWidget::close);
  connect(ModeItem(0), &QRadioButton::toggled, this, &TfrmJoiner::UpdateKeepFrames);
  UpdateKeepFrames();
}

// A mix codes every sample afresh: only a join of a kind that keeps its frames can.
void TfrmJoiner::UpdateKeepFrames() {
  const TKind* kind = eFile1->text().isEmpty() ? nullptr : KindOf(eFile1->text());
  cbKeepFrames->setEnabled(!Running() && ModeItem(0)->isChecked() && kind != nullptr &&
                           kind->KeepsFramesAcrossJoins());
}

void TfrmJoiner::ShowMessage(const QString& text) {
  message_box::Show(this, text);
}

void TfrmJoiner::bOpen1Click() {
  OpenInto(eFile1);
}

void TfrmJoiner::bOpen2Click() {
  OpenInto(eFile2);
}

// A file of none of the kinds is refused here: no source could read it, and a run started on
// it would have no sink to end it.
void TfrmJoiner::OpenInto(QLineEdit* edit) {
  const QString folder = edit->text().isEmpty() ? QString() : QFileInfo(edit->text()).path();
  const QString chosen = window_parts::ChooseSoundFile(this, folder);
  if (chosen.isEmpty()) return;
  const QString path = QFileInfo(chosen).absoluteFilePath();
  if (KindOf(path) == nullptr) {
    ShowMessage(tr("Please select a %1 file.")
                    .arg(QString::fromStdString(TKindRegistry::Instance().NameList("or"))));
    return;
  }
  edit->setText(path);
  UpdateKeepFrames();
}

void TfrmJoiner::bStartClick() {
  if (eFile1->text().isEmpty() || eFile2->text().isEmpty()) {
    ShowMessage(tr("Please select the input file!"));
    return;
  }
  const TKind* kind = KindOf(eFile1->text());
  if (kind == nullptr || kind != KindOf(eFile2->text())) {
    ShowMessage(tr("Please select the same format file!"));
    return;
  }
  const TAudioMixerMode mode = FModes->checkedId() == 0 ? amConcatenate : amMix;
  bool replace = false;
  const QString target = ChooseTarget(*kind, replace);
  if (target.isEmpty()) return;

  QApplication::setOverrideCursor(Qt::WaitCursor);
  FWaitCursor = true;
  // The files and the mode stay as they are until the run ends: the engine reads them.
  for (QWidget* control :
       {static_cast<QWidget*>(bStart), static_cast<QWidget*>(bOpen1), static_cast<QWidget*>(bOpen2),
        static_cast<QWidget*>(rgMode), static_cast<QWidget*>(cbKeepFrames)})
    control->setEnabled(false);
  setWindowTitle(FCaption + kProcessing);
  FStatus->Start(mode == amConcatenate ? tr("Joining ...") : tr("Mixing ..."));
  FDoneText = tr("Wrote %1").arg(QFileInfo(target).fileName());
  try {
    StartRun(mode, target, replace);
  } catch (const std::exception& e) {
    FRun.Stop();
    EndRun();
    FStatus->Done(QString());
    ShowMessage(tr("The files could not be processed: %1").arg(QString::fromStdString(e.what())));
  }
}

QString TfrmJoiner::ChooseTarget(const TKind& kind, bool& replace) {
  // "NAME1 + NAME2", in the folder last written to.
  const QString proposed = window_parts::BaseName(eFile1->text()) + " + " +
                           window_parts::BaseName(eFile2->text()) +
                           window_parts::Extension(eFile1->text());
  const QString target =
      window_parts::ChooseSaveName(this, QFileInfo(eFile1->text()).path(), proposed, kind);
  if (target.isEmpty()) return {};

  const TTargetProblem problem =
      CheckTarget(kind, PathOf(target), {PathOf(eFile1->text()), PathOf(eFile2->text())});
  if (problem == TTargetProblem::OtherKind) {
    ShowMessage(tr("Please save the file as a %1 file like the input files.")
                    .arg(QString::fromStdString(kind.Extension())));
    return {};
  }
  if (problem == TTargetProblem::IsAnInput) {
    ShowMessage(
        tr("The new file cannot be saved over one of the files it is made from. "
           "Please choose another name."));
    return {};
  }
  if (!window_parts::MayWriteTo(this, target, replace)) return {};
  return target;
}

namespace {

TOpenedSource OpenInput(const std::filesystem::path& file) {
  try {
    return OpenSource(file);
  } catch (const ECutError&) {
    throw ECutError("'" + file.string() + "' holds no sound this program can read");
  }
}

}  // namespace

void TfrmJoiner::StartRun(TAudioMixerMode mode, const QString& target, bool replace) {
  const std::filesystem::path first = PathOf(eFile1->text()), second = PathOf(eFile2->text());
  FJoin.reset();
  FJoin = std::make_unique<TJoinRun>(OpenInput(first), OpenInput(second), mode,
                                     cbKeepFrames->isChecked());
  TAuFileOut& sink = FJoin->Sink();
  window_parts::WireSink(
      sink, FRun, [this](TAuOutput& sink) { SinkProgress(sink); }, [this] { WaveOut1Done(); });
  sink.SetFileName(window_parts::OpenTarget(FRun, PathOf(target), replace, {first, second}));
  FJoin->Start(FRun);
}

void TfrmJoiner::SinkProgress(TAuOutput& sink) {
  const int progress = sink.Progress();
  if (progress < 0) return;
  setWindowTitle(FCaption + kProcessing + QStringLiteral("%1%").arg(progress));
  FStatus->Progress(progress);
}

// The end of every run: one that ended well is moved into place; a failed one leaves no file
// behind and says why.
void TfrmJoiner::WaveOut1Done() {
  if (!Running()) return;
  const std::string error = FRun.Finish();
  EndRun();
  FStatus->Done(error.empty() ? FDoneText : QString());
  if (error.empty()) return;
  // Shown once the engine's call has returned, so that its dispatcher is not held up.
  const QString text = tr("The file could not be written: %1").arg(QString::fromStdString(error));
  QTimer::singleShot(0, this, [this, text] { ShowMessage(text); });
}

void TfrmJoiner::EndRun() {
  setWindowTitle(FCaption);
  for (QWidget* control : {static_cast<QWidget*>(bStart), static_cast<QWidget*>(bOpen1),
                           static_cast<QWidget*>(bOpen2), static_cast<QWidget*>(rgMode)})
    control->setEnabled(true);
  UpdateKeepFrames();
  if (FWaitCursor) QApplication::restoreOverrideCursor();
  FWaitCursor = false;
}

void TfrmJoiner::StopRun() {
  FRun.Stop();
  EndRun();
  FStatus->Done(QString());
}

QString TfrmJoiner::StopQuestion() const {
  return tr("The files are still being processed. Stop and close?");
}
