// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/split_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "app/detail_view.h"
#include "app/message_box.h"
#include "app/mnemonics.h"
#include "app/waveform_feed.h"
#include "app/window_parts.h"
#include "app/window_size.h"
#include "cutting/cut_error.h"
#include "cutting/operations/single_cut.h"
#include "cutting/operations/split_run.h"
#include "cutting/time/sample_frames.h"
#include "cutting/time/time_text.h"

namespace {

using namespace window_parts;

enum TColumn { kStartColumn, kEndColumn, kTitleColumn, kFileColumn };

QDoubleSpinBox* Seconds(const char* name, const QString& accessible, double value,
                        QWidget* parent) {
  auto* box = new QDoubleSpinBox(parent);
  box->setObjectName(name);
  box->setAccessibleName(accessible);
  box->setDecimals(1);
  box->setRange(0.1, 24 * 3600.0);
  box->setSuffix(QStringLiteral(" s"));
  box->setValue(value);
  return box;
}

QString ShownTime(int32_t ms) {
  return QString::fromStdString(MsToPreciseTimeText(ms));
}

}  // namespace

TfrmSplit::TfrmSplit(QWidget* parent) : TRunDialog("frmSplit", tr("Split"), parent) {
  BaseCaption = windowTitle();
  eOpenFile = new QLineEdit(this);
  eOpenFile->setObjectName("eOpenFile");
  eOpenFile->setReadOnly(true);
  eOpenFile->setAccessibleName(tr("Open file"));
  lFileTime = Label("lFileTime", QStringLiteral("00:00:00.0"), this);
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(eOpenFile, 1);
  fileRow->addWidget(lFileTime);

  dvWave = new TDetailView(this);
  dvWave->setObjectName("dvWave");
  dvWave->setAccessibleName(tr("Waveform with the pieces"));
  dvWave->setMinimumHeight(110);
  dvWave->SetMarkedColor(QColor(0xE0, 0xA0, 0x20, 0x48));  // pieces kept, not removed
  FWaveform = new TWaveformFeed(dvWave, this);
  dvWave->OnSelect = [this](int32_t startMs, int32_t endMs) { PieceDragged(startMs, endMs); };

  lStatus = Label("lStatus", QString(), this);
  lStatus->setWordWrap(true);
  QLayout* actions = BuildActions();

  auto* middle = new QHBoxLayout;
  middle->addWidget(BuildSettings());
  middle->addWidget(BuildPieceList(), 1);

  auto* body = new QVBoxLayout(this);
  body->addLayout(fileRow);
  body->addWidget(dvWave, 1);
  body->addLayout(middle, 1);
  body->addWidget(lStatus);
  body->addLayout(actions);
  body->addLayout(BuildSaveMarksRow());
  resize(760, 560);
  RememberSize(this, "split");

  FPoll.setInterval(50);
  connect(&FPoll, &QTimer::timeout, this, &TfrmSplit::PollSearch);
  connect(bFind, &QPushButton::clicked, this, &TfrmSplit::bFindClick);
  connect(bStart, &QPushButton::clicked, this, &TfrmSplit::bStartClick);
  connect(bStopRun, &QPushButton::clicked, this, [this] {
    if (Running()) StopRun();
  });
  connect(bClose, &QPushButton::clicked, this, &QWidget::close);
  mnemonics::Install(this);
  mnemonics::NameControls(this);
  UpdateControls();
}

// The bottom row: the progress while a run goes, Start (or Stop while running) and Close.
QLayout* TfrmSplit::BuildActions() {
  pbProgress = new QProgressBar(this);
  pbProgress->setObjectName("pbProgress");
  pbProgress->setAccessibleName(tr("Progress"));
  pbProgress->setRange(0, 100);
  pbProgress->hide();
  bStart = Button("bStart", tr("&Start"), this);
  bStopRun = Button("bStopRun", tr("S&top"), this);
  bClose = Button("bClose", tr("&Close"), this);
  bStopRun->hide();
  auto* actions = new QHBoxLayout;
  actions->addWidget(pbProgress, 1);
  actions->addStretch(0);
  actions->addWidget(bStart);
  actions->addWidget(bStopRun);
  actions->addWidget(bClose);
  return actions;
}

TfrmSplit::~TfrmSplit() {
  if (Running()) StopRun();
}

// The settings of a split at silences, with the search for them.
QWidget* TfrmSplit::BuildSilencePage(QWidget* parent) {
  auto* silencePage = new QWidget(parent);
  seThreshold = new QDoubleSpinBox(silencePage);
  seThreshold->setObjectName("seThreshold");
  seThreshold->setAccessibleName(tr("Silence threshold"));
  seThreshold->setDecimals(1);
  seThreshold->setRange(-150.0, 0.0);
  seThreshold->setSuffix(QStringLiteral(" dB"));
  seThreshold->setValue(-50.0);
  seMinSilence = Seconds("seMinSilence", tr("Shortest pause"), 2.0, silencePage);
  seMinPiece = Seconds("seMinPiece", tr("Shortest piece"), 10.0, silencePage);
  seMinPiece->setMinimum(0.0);
  cbTrim = new QCheckBox(tr("Leave the &pauses out"), silencePage);
  cbTrim->setObjectName("cbTrim");
  bFind = Button("bFind", tr("&Find Pauses"), silencePage);
  auto* silenceForm = new QFormLayout(silencePage);
  silenceForm->addRow(tr("Quieter than:"), seThreshold);
  silenceForm->addRow(tr("Shortest pause:"), seMinSilence);
  silenceForm->addRow(tr("Shortest piece:"), seMinPiece);
  silenceForm->addRow(cbTrim);
  silenceForm->addRow(bFind);
  return silencePage;
}

QWidget* TfrmSplit::BuildSettings() {
  auto* box = new QGroupBox(tr("Where to split"), this);
  box->setObjectName("gbSettings");
  cbMode = new QComboBox(box);
  cbMode->setObjectName("cbMode");
  cbMode->setAccessibleName(tr("Split mode"));
  cbMode->addItems({tr("N equal parts"), tr("Every"), tr("At silences"),
                    tr("At the marks of a cue sheet or label file…")});

  stSettings = new QStackedWidget(box);
  stSettings->setObjectName("stSettings");
  auto* partsPage = new QWidget(stSettings);
  seParts = new QSpinBox(partsPage);
  seParts->setObjectName("seParts");
  seParts->setAccessibleName(tr("Number of parts"));
  seParts->setRange(1, 9999);
  seParts->setValue(2);
  auto* partsForm = new QFormLayout(partsPage);
  partsForm->addRow(tr("Parts:"), seParts);

  auto* everyPage = new QWidget(stSettings);
  seEvery = Seconds("seEvery", tr("Length of a piece"), 60.0, everyPage);
  auto* everyForm = new QFormLayout(everyPage);
  everyForm->addRow(tr("A piece every:"), seEvery);

  QWidget* silencePage = BuildSilencePage(stSettings);
  QWidget* marksPage = BuildMarksPage(stSettings);
  for (QWidget* page : {partsPage, everyPage, silencePage, marksPage}) stSettings->addWidget(page);

  ePattern = new QLineEdit(QStringLiteral("{name} - {n}"), box);
  ePattern->setObjectName("ePattern");
  ePattern->setAccessibleName(tr("Names of the pieces"));
  ePattern->setToolTip(
      tr("{name}: the file's name without its extension; {n}: the piece's number; {title}, "
         "{artist}, {album}: the texts of a mark. A name without a folder goes into the folder "
         "below, or beside the file."));
  cbKeepFrames = new QCheckBox(tr("Keep the frames (no re-encoding)"), box);
  cbKeepFrames->setObjectName("cbKeepFrames");

  auto* layout = new QVBoxLayout(box);
  layout->addWidget(cbMode);
  layout->addWidget(stSettings);
  layout->addStretch(1);
  auto* nameLabel = new QLabel(tr("&Names:"), box);
  nameLabel->setBuddy(ePattern);
  layout->addWidget(nameLabel);
  layout->addWidget(ePattern);
  auto* folderLabel = new QLabel(tr("Fol&der:"), box);
  layout->addWidget(folderLabel);
  layout->addLayout(BuildFolderRow(box));
  folderLabel->setBuddy(eFolder);
  layout->addWidget(cbKeepFrames);

  connect(cbMode, &QComboBox::currentIndexChanged, this, [this](int mode) {
    stSettings->setCurrentIndex(mode);
    Replan();
  });
  connect(seParts, &QSpinBox::valueChanged, this, &TfrmSplit::Replan);
  for (QDoubleSpinBox* spin : {seEvery, seThreshold, seMinSilence, seMinPiece})
    connect(spin, &QDoubleSpinBox::valueChanged, this, &TfrmSplit::Replan);
  connect(cbTrim, &QCheckBox::toggled, this, &TfrmSplit::Replan);
  connect(ePattern, &QLineEdit::textChanged, this, &TfrmSplit::ShowPlan);
  return box;
}

QWidget* TfrmSplit::BuildPieceList() {
  lvPieces = new QTableWidget(0, 4, this);
  lvPieces->setObjectName("lvPieces");
  lvPieces->setAccessibleName(tr("Pieces"));
  lvPieces->setHorizontalHeaderLabels({tr("Start"), tr("End"), tr("Title"), tr("File")});
  lvPieces->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lvPieces->horizontalHeader()->setStretchLastSection(true);
  lvPieces->verticalHeader()->hide();
  lvPieces->setColumnWidth(kStartColumn, 110);
  lvPieces->setColumnWidth(kEndColumn, 110);
  lvPieces->setColumnWidth(kTitleColumn, 130);
  lvPieces->setWordWrap(false);  // a long name is elided, not broken over two lines
  lvPieces->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvPieces->setSelectionMode(QAbstractItemView::SingleSelection);
  lvPieces->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
  lvPieces->setToolTip(tr("Type a time into a piece's start to move its boundary"));
  // Taken once the editor has handed its text over: the list is refilled then.
  connect(lvPieces, &QTableWidget::itemSelectionChanged, this, &TfrmSplit::ShowSelectedPiece);
  connect(lvPieces, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (FShowingPlan || item->column() != kStartColumn) return;
    QTimer::singleShot(0, this,
                       [this, row = item->row(), text = item->text()] { StartEdited(row, text); });
  });
  return lvPieces;
}

void TfrmSplit::OpenFile(const QString& path) {
  const QString file = QFileInfo(path).absoluteFilePath();
  FOpened.reset();
  FSilences.reset();
  FMarks.reset();
  FMarksNote.clear();
  eMarks->clear();
  FPieces.clear();
  eOpenFile->clear();
  try {
    if (!KindOf(file)) throw ECutError("not a kind this program splits");
    FOpened = OpenSource(PathOf(file));
    FRate = FOpened->Source->SampleRate();
    FHeld = FOpened->Kind->FramesHeld(*FOpened->Source);
    if (FRate <= 0 || FHeld <= 0) throw ECutError("no sound to split");
    eOpenFile->setText(file);
  } catch (const std::exception& e) {
    FOpened.reset();
    FHeld = 0;
    ShowMessage(tr("'%1' cannot be split: %2").arg(file, QString::fromStdString(e.what())));
  }
  const int32_t lengthMs = FOpened ? FrameMs(FHeld) : 0;
  lFileTime->setText(QString::fromStdString(MsToTimeText(lengthMs)));
  dvWave->SetSound(lengthMs);
  dvWave->SetSelection(0, 0);  // the view shows the pieces, not a selection
  if (FOpened)
    FWaveform->Start(file);
  else
    FWaveform->Stop();
  cbKeepFrames->setChecked(false);
  OfferOwnMarks();
  Replan();
}

bool TfrmSplit::Running() const {
  // The poll runs from the search's start until its result has been taken.
  return FPoll.isActive() || FSplit != nullptr;
}

int32_t TfrmSplit::FrameMs(int64_t frame) const {
  return static_cast<int32_t>(
      std::clamp<int64_t>(SampleFramesToMs(frame, std::max(FRate, 1)), 0, INT32_MAX));
}

TSilenceSettings TfrmSplit::SilenceSettings() const {
  TSilenceSettings settings;
  settings.ThresholdDb = seThreshold->value();
  settings.MinSilenceMs = static_cast<int32_t>(seMinSilence->value() * 1000 + 0.5);
  return settings;
}

std::optional<std::vector<TSplitPiece>> TfrmSplit::PlanFromSettings() {
  TSplitChoice choice;
  switch (cbMode->currentIndex()) {
    case kEqualParts:
      choice.Mode = TSplitMode::Parts;
      choice.Parts = seParts->value();
      break;
    case kEvery:
      choice.Mode = TSplitMode::Every;
      choice.EveryMs = static_cast<int32_t>(std::llround(seEvery->value() * 1000));
      break;
    case kAtMarks:
      if (!FMarks) return std::nullopt;
      choice.Mode = TSplitMode::Marks;
      choice.Marks = *FMarks;
      break;
    default: {
      const TSilenceSettings settings = SilenceSettings();
      if (!FSilences || settings.ThresholdDb != FSilencesFor.ThresholdDb ||
          settings.MinSilenceMs != FSilencesFor.MinSilenceMs)
        return std::nullopt;
      choice.Mode = TSplitMode::Silence;
      choice.MinPieceMs = static_cast<int32_t>(std::llround(seMinPiece->value() * 1000));
      choice.Trim = cbTrim->isChecked();
    }
  }
  return PlanSplit(choice, FSilences.value_or(std::vector<TSilence>{}), FHeld, FRate);
}

void TfrmSplit::Replan() {
  FPieces.clear();
  QString problem;
  if (FOpened) {
    try {
      if (auto pieces = PlanFromSettings())
        FPieces = std::move(*pieces);
      else if (cbMode->currentIndex() == kAtMarks)
        problem = FOwnMarks ? tr("Choose a cue sheet or label file, or take the file's own marks.")
                            : tr("Choose a cue sheet or label file to split at its marks.");
      else
        problem = tr("Press \"Find Pauses\" to look for the pauses with these settings.");
      if (FPieces.empty() && problem.isEmpty()) problem = tr("The file holds nothing but silence.");
    } catch (const std::exception& e) {
      problem = QString::fromStdString(e.what());
    }
  }
  ProposePattern();
  ShowPlan();
  if (!problem.isEmpty()) lStatus->setText(problem);
}

// The list and the waveform from FPieces, with the names the pattern gives them.
void TfrmSplit::ShowPlan() {
  FNames.clear();
  FNameError.clear();
  if (FOpened && !FPieces.empty()) {
    try {
      std::filesystem::path pattern = PathOf(ePattern->text());
      if (!pattern.empty() && pattern.is_relative()) pattern = PiecesFolder() / pattern;
      FNames =
          SplitPieceNames(PathOf(eOpenFile->text()), *FOpened->Kind, pattern.string(), FPieces);
    } catch (const std::exception& e) {
      FNameError = QString::fromStdString(e.what());
    }
  }
  FShowingPlan = true;
  const int selected = lvPieces->currentRow();
  lvPieces->setRowCount(static_cast<int>(FPieces.size()));
  std::vector<std::pair<int32_t, int32_t>> tinted;
  for (size_t k = 0; k < FPieces.size(); ++k) {
    const int row = static_cast<int>(k);
    const int32_t start = FrameMs(FPieces[k].Start);
    const int32_t end = FrameMs(FPieces[k].End);
    auto* startItem = new QTableWidgetItem(ShownTime(start));
    auto* endItem = new QTableWidgetItem(ShownTime(end));
    auto* titleItem = new QTableWidgetItem(QString::fromStdString(FPieces[k].Texts.Title));
    auto* fileItem = new QTableWidgetItem(
        k < FNames.size() ? QString::fromStdString(FNames[k].filename().string()) : QString());
    for (QTableWidgetItem* item : {endItem, titleItem, fileItem})
      item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    // The first piece starts where the sound does (or its first pause ends).
    if (k == 0) startItem->setFlags(startItem->flags() & ~Qt::ItemIsEditable);
    lvPieces->setItem(row, kStartColumn, startItem);
    lvPieces->setItem(row, kEndColumn, endItem);
    lvPieces->setItem(row, kTitleColumn, titleItem);
    lvPieces->setItem(row, kFileColumn, fileItem);
    // Every other piece tinted, so that each boundary shows as the edge of a tint.
    if (k % 2 == 0) tinted.emplace_back(start, end);
  }
  if (selected >= 0 && selected < lvPieces->rowCount()) lvPieces->selectRow(selected);
  // Only pieces made at marks have titles; the others leave the room to the names.
  const bool titled = std::any_of(FPieces.begin(), FPieces.end(),
                                  [](const TSplitPiece& p) { return !p.Texts.Title.empty(); });
  lvPieces->setColumnHidden(kTitleColumn, !titled);
  for (const int column : {kStartColumn, kEndColumn})
    lvPieces->setColumnWidth(column, titled ? 96 : 110);
  FShowingPlan = false;
  dvWave->SetMarked(std::move(tinted));
  if (!FNameError.isEmpty())
    lStatus->setText(FNameError);
  else if (FPieces.empty())
    lStatus->clear();
  else
    lStatus->setText(
        (FPieces.size() == 1 ? tr("1 piece") : tr("%1 pieces").arg(FPieces.size())) +
        (cbMode->currentIndex() == kAtMarks && !FMarksNote.isEmpty() ? "; " + FMarksNote : ""));
  UpdateControls();
}

// A typed start must lie after the previous piece's start and before this piece's end.
void TfrmSplit::StartEdited(int row, const QString& typed) {
  const size_t k = static_cast<size_t>(row);
  if (row <= 0 || k >= FPieces.size() || Running()) return;
  const std::string text = typed.trimmed().toStdString();
  const bool moved = (IsTimeText(text) || IsPreciseTimeText(text)) &&
                     MoveBoundary(k, MsToSampleFrame(TimeTextToMs(text), FRate));
  ShowPlan();  // the time in full, or the old one back
  if (!moved)
    ShowMessage(tr("Please type a time such as 00:01:30.0 between the start of piece %1 and the "
                   "end of piece %2.")
                    .arg(k)
                    .arg(k + 1));
}

// Piece `k` starts at `frame` when that lies inside the previous piece's start and its own
// end; the previous piece then ends there unless a trimmed pause lay between them.
bool TfrmSplit::MoveBoundary(size_t k, int64_t frame) {
  if (k == 0 || k >= FPieces.size()) return false;
  if (frame <= FPieces[k - 1].Start || frame >= FPieces[k].End) return false;
  const bool joined = FPieces[k - 1].End == FPieces[k].Start;
  FPieces[k].Start = frame;
  if (joined || FPieces[k - 1].End > frame) FPieces[k - 1].End = frame;
  return true;
}

// The selected piece is the view's selection, so that dragging one of its edges moves it.
void TfrmSplit::ShowSelectedPiece() {
  const int row = lvPieces->currentRow();
  if (row < 0 || static_cast<size_t>(row) >= FPieces.size()) return dvWave->SetSelection(0, 0);
  dvWave->SetSelection(FrameMs(FPieces[row].Start), FrameMs(FPieces[row].End));
}

// An edge of the selected piece dragged: its start, or its end where the next piece joins it.
void TfrmSplit::PieceDragged(int32_t startMs, int32_t endMs) {
  const int row = lvPieces->currentRow();
  const size_t k = static_cast<size_t>(row);
  if (row >= 0 && k < FPieces.size() && !Running()) {
    const int32_t oldStart = FrameMs(FPieces[k].Start);
    const int32_t oldEnd = FrameMs(FPieces[k].End);
    if (startMs != oldStart && endMs == oldEnd)
      MoveBoundary(k, MsToSampleFrame(startMs, FRate));
    else if (endMs != oldEnd && startMs == oldStart && k + 1 < FPieces.size() &&
             FPieces[k].End == FPieces[k + 1].Start)
      MoveBoundary(k + 1, MsToSampleFrame(endMs, FRate));
    ShowPlan();
  }
  ShowSelectedPiece();
}

void TfrmSplit::UpdateControls() {
  const bool running = Running();
  const bool open = FOpened.has_value();
  for (QWidget* w : {static_cast<QWidget*>(cbMode), static_cast<QWidget*>(stSettings),
                     static_cast<QWidget*>(ePattern), static_cast<QWidget*>(eFolder),
                     static_cast<QWidget*>(bFolder), static_cast<QWidget*>(lvPieces)})
    w->setEnabled(open && !running);
  const bool mayKeepFrames = open && FOpened->Kind->KeepsFramesByCopy();
  if (!mayKeepFrames) cbKeepFrames->setChecked(false);
  cbKeepFrames->setEnabled(mayKeepFrames && !running);
  bStart->setEnabled(open && !running && !FPieces.empty() && FNameError.isEmpty());
  for (QPushButton* save : {bSaveCue, bSaveLabels})
    save->setEnabled(open && !running && !FPieces.empty());
  bStart->setVisible(!running);
  bStopRun->setVisible(running);
  pbProgress->setVisible(running);
}

void TfrmSplit::ShowMessage(const QString& text) {
  message_box::Show(this, text);
}

QString TfrmSplit::StopQuestion() const {
  return tr("The split is still running. Stop it and close?");
}
