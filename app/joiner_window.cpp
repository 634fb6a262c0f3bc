#include "app/joiner_window.h"

#include <QApplication>
#include <QButtonGroup>
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
#include <stdexcept>
#include <vector>

#include "app/message_box.h"
#include "app/source_settings.h"
#include "app/window_parts.h"
#include "cutting/mp3_cut_settings.h"
#include "cutting/safe_output.h"
#include "cutting/wma_cut_settings.h"

namespace {

using window_parts::Button;
using window_parts::KindExtension;

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
  WirePipelines();
  FCaption = windowTitle();
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

  rgMode = new QGroupBox(this);
  rgMode->setObjectName("rgMode");
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
  body->addLayout(actions);

  connect(bOpen1, &QPushButton::clicked, this, &TfrmJoiner::bOpen1Click);
  connect(bOpen2, &QPushButton::clicked, this, &TfrmJoiner::bOpen2Click);
  connect(bStart, &QPushButton::clicked, this, &TfrmJoiner::bStartClick);
  connect(bClose, &QPushButton::clicked, this, &QWidget::close);
}

// The stored settings of the six sources and three sinks; every sink reads the mixer.
void TfrmJoiner::WirePipelines() {
  source_settings::ReadWholeFile({&WaveIn1, &WaveIn2}, {&MP3In1, &MP3In2, &WMIn1, &WMIn2});
  AudioMixer1.SetInput2(&Converter2);

  source_settings::WritePlainWave(WaveOut1);

  MP3Out1.BitRate = mbr128;
  MP3Out1.EnableVBR = false;

  for (TAuFileOut* sink : {static_cast<TAuFileOut*>(&WaveOut1), static_cast<TAuFileOut*>(&MP3Out1),
                           static_cast<TAuFileOut*>(&WMAOut1)}) {
    sink->SetInput(&AudioMixer1);
    sink->ShareMode = 0;
    sink->OnProgress = [this, sink](TComponent*) { SinkProgress(*sink); };
    sink->OnDone = [this](TComponent*) { WaveOut1Done(); };
  }
  FRun.Watch({&WaveOut1, &MP3Out1, &WMAOut1});
}

void TfrmJoiner::ShowMessage(const QString& text) {
  message_box::Show(this, text);
}

void TfrmJoiner::bOpen1Click() {
  OpenInto(eFile1, WaveIn1, MP3In1, WMIn1);
}

void TfrmJoiner::bOpen2Click() {
  OpenInto(eFile2, WaveIn2, MP3In2, WMIn2);
}

// A file of none of the three kinds is refused here: no source could read it, and a run
// started on it would have no sink to end it.
void TfrmJoiner::OpenInto(QLineEdit* edit, TWaveIn& wave, TMP3In& mp3, TWMIn& wma) {
  const QString folder = edit->text().isEmpty() ? QString() : QFileInfo(edit->text()).path();
  const QString chosen = window_parts::ChooseSoundFile(this, folder);
  if (chosen.isEmpty()) return;
  const QString path = QFileInfo(chosen).absoluteFilePath();
  const std::string extension = KindExtension(path);
  if (extension.empty()) {
    ShowMessage(tr("Please select a WAV, MP3 or WMA file."));
    return;
  }
  edit->setText(path);
  const fs::path file = path.toStdString();
  if (extension == ".wav") wave.SetFileName(file);
  if (extension == ".mp3") mp3.SetFileName(file);
  if (extension == ".wma") wma.SetFileName(file);
}

void TfrmJoiner::bStartClick() {
  if (eFile1->text().isEmpty() || eFile2->text().isEmpty()) {
    ShowMessage(tr("Please select the input file!"));
    return;
  }
  const std::string extension = KindExtension(eFile1->text());
  if (extension != KindExtension(eFile2->text())) {
    ShowMessage(tr("Please select the same format file!"));
    return;
  }
  AudioMixer1.Mode = FModes->checkedId() == 0 ? amConcatenate : amMix;
  bool replace = false;
  const QString target = ChooseTarget(QString::fromStdString(extension), replace);
  if (target.isEmpty()) return;

  QApplication::setOverrideCursor(Qt::WaitCursor);
  FWaitCursor = true;
  // The files and the mode stay as they are until the run ends: the engine reads them.
  for (QWidget* control : {static_cast<QWidget*>(bStart), static_cast<QWidget*>(bOpen1),
                           static_cast<QWidget*>(bOpen2), static_cast<QWidget*>(rgMode)})
    control->setEnabled(false);
  setWindowTitle(FCaption + kProcessing);
  AudioMixer1.Volume1 = 65535;
  AudioMixer1.Volume2 = 65535;
  try {
    StartRun(extension, target.toStdString(), replace);
  } catch (const std::exception& e) {
    FRun.Stop();
    EndRun();
    ShowMessage(tr("The files could not be processed: %1").arg(QString::fromStdString(e.what())));
  }
}

QString TfrmJoiner::ChooseTarget(const QString& extension, bool& replace) {
  const QString target =
      window_parts::ChooseSaveName(this, QFileInfo(eFile1->text()).path(), extension);
  if (target.isEmpty()) return {};

  // The writers choose their container by the name; another kind's name would mislabel it.
  if (QString::fromStdString(KindExtension(target)) != extension) {
    ShowMessage(tr("Please save the file as a %1 file like the input files.").arg(extension));
    return {};
  }
  for (const QLineEdit* input : {eFile1, eFile2})
    if (SameFile(input->text().toStdString(), target.toStdString())) {
      ShowMessage(
          tr("The new file cannot be saved over one of the files it is made from. "
             "Please choose another name."));
      return {};
    }
  if (!window_parts::MayWriteTo(this, target, replace)) return {};
  return target;
}

void TfrmJoiner::StartRun(const std::string& extension, const fs::path& target, bool replace) {
  TAuFileIn* input1 = nullptr;
  TAuFileIn* input2 = nullptr;
  TAuFileOut* output = nullptr;
  if (extension == ".wav") input1 = &WaveIn1, input2 = &WaveIn2, output = &WaveOut1;
  if (extension == ".mp3") input1 = &MP3In1, input2 = &MP3In2, output = &MP3Out1;
  if (extension == ".wma") input1 = &WMIn1, input2 = &WMIn2, output = &WMAOut1;
  if (output == nullptr) throw std::runtime_error("only WAV, MP3 and WMA files can be used");
  for (TAuFileIn* input : {input1, input2})
    if (!input->Valid())
      throw std::runtime_error("'" + input->FileName().string() +
                               "' holds no sound this program can read");

  AudioMixer1.SetInput1(input1);
  Converter2.SetInput(input2);
  Converter2.SetOutputFormatOf(*input1);
  output->SetFileName(FRun.OpenTarget(target, replace, {input1->FileName(), input2->FileName()}));
  if (output == &MP3Out1) SetUpMP3Cut(MP3In1, MP3Out1);
  if (output == &WMAOut1) SetUpWMACut(WMIn1, WMAOut1);
  FRun.Start(*output);
}

void TfrmJoiner::SinkProgress(TAuOutput& sink) {
  const int progress = sink.Progress();
  if (progress >= 0) setWindowTitle(FCaption + kProcessing + QStringLiteral("%1%").arg(progress));
}

// The end of every run: one that ended well is moved into place; a failed one leaves no file
// behind and says why.
void TfrmJoiner::WaveOut1Done() {
  if (!Running()) return;
  const std::string error = FRun.Finish(true);
  EndRun();
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
  if (FWaitCursor) QApplication::restoreOverrideCursor();
  FWaitCursor = false;
}

void TfrmJoiner::StopRun() {
  FRun.Stop();
  EndRun();
}

QString TfrmJoiner::StopQuestion() const {
  return tr("The files are still being processed. Stop and close?");
}
