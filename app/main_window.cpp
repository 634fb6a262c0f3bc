// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QShowEvent>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <iterator>
#include <stdexcept>

#include "app/about_box.h"
#include "app/artwork.h"
#include "app/banner.h"
#include "app/easy_cut_window.h"
#include "app/joiner_window.h"
#include "app/link_label.h"
#include "app/links.h"
#include "app/message_box.h"
#include "app/mnemonics.h"
#include "app/run_status.h"
#include "app/split_window.h"
#include "app/time_edit.h"
#include "app/waveform_feed.h"
#include "app/window_parts.h"
#include "app/window_size.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/operations/single_cut.h"
#include "cutting/save/safe_output.h"
#include "cutting/save/target_check.h"
#include "cutting/time/cut_range.h"
#include "cutting/time/time_text.h"

namespace {

using namespace window_parts;

namespace fs = std::filesystem;

const QString kCaption = QString::fromLatin1(message_box::kCaption);
constexpr char kOpenFolderKey[] = "folders/open";
constexpr char kKeepFramesKey[] = "cut/keepMp3Frames";
// The bar's height, its track's and its thumbs' at the designed size of the window.
constexpr int kDesignedBar = 50;
constexpr int kDesignedTrack = 10;
constexpr int kDesignedThumb = 12;
// Room between a label and the control before it in a row.
constexpr int kLabelGap = 12;

void RetainRoom(QWidget* widget) {
  QSizePolicy policy = widget->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  widget->setSizePolicy(policy);
}

}  // namespace

TfrmMain::TfrmMain(QWidget* parent) : QWidget(parent) {
  setObjectName("frmMain");
  setWindowTitle(kCaption);
  setWindowIcon(artwork::ProgramIcon());
  setAcceptDrops(true);
  BuildControls();
  BuildAboutMenu();
  FormCreate();
  BuildKeys();
  mnemonics::Install(this);
  mnemonics::NameControls(this);
}

TfrmMain::~TfrmMain() {
  if (Cutting()) StopCut();
  StopWaveform();
}

void TfrmMain::BuildControls() {
  imgTitle = new TBanner(this);
  imgTitle->setObjectName("imgTitle");
  Image1 = imgTitle->Image1;
  lTitle = imgTitle->lTitle;
  lUpdate = imgTitle->lUpdate;
  iUpdate = imgTitle->iUpdate;
  eOpenFile = new QLineEdit(this);
  eOpenFile->setObjectName("eOpenFile");
  eOpenFile->setReadOnly(true);
  eOpenFile->setAccessibleName(tr("Open file"));
  BuildTrackBar();
  BuildDetailView();
  eStart = new TTimeEdit("eStart", tr("Start Time"), this);
  eEnd = new TTimeEdit("eEnd", tr("End Time"), this);
  Label1 = new QLabel(tr("Splitted File Size: "), this);
  Label1->setObjectName("Label1");
  lFileTime = new QLabel(QStringLiteral("00:00:00.0"), this);
  lFileTime->setObjectName("lFileTime");
  lCursor = Label("lCursor", QString(), this);
  lCursor->setToolTip(tr("Play cursor"));
  BuildButtons();
  LayOut();
  SetTabOrder();
  ConnectControls();
  ConnectWindows();
}

void TfrmMain::BuildTrackBar() {
  tbAudio = new TTrackBar2(this);
  tbAudio->setObjectName("tbAudio");
  tbAudio->setMinimumHeight(kDesignedBar);
  tbAudio->SetThumbSize(kDesignedThumb);
  tbAudio->SetSecondThumb(true);
  tbAudio->SetTrackCenterColor(QColor(0x00, 0x80, 0x00));
  tbAudio->SetTickSize(2);
  ShowPaletteOnBar();
  tbAudio->SetTrackSize(kDesignedTrack);
  tbAudio->SetMax(0);
  tbAudio->SetPositionL(0);
  tbAudio->setAccessibleName(tr("Selection"));
  tbAudio->setCursor(Qt::PointingHandCursor);
  // The window grows: the bar takes most of the extra height, its track all of its own.
  tbAudio->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  tbAudio->installEventFilter(this);
}

void TfrmMain::BuildButtons() {
  bOpen = Button("bOpen", tr("&Open File"), this);
  bPlay = Button("bPlay", tr("&Play"), this);
  bPause = Button("bPause", tr("P&ause"), this);
  bStop = Button("bStop", tr("&Stop"), this);
  bMarkStart = Button("bMarkStart", tr("&Mark Start"), this);
  bMarkEnd = Button("bMarkEnd", tr("Mark &End"), this);
  bPlaySelection = Button("bPlaySelection", tr("P&lay Selection"), this);
  bStartCut = Button("bStartCut", tr("Start &Cut"), this);
  bStopCut = Button("bStopCut", tr("Stop C&ut"), this);
  bStopCut->hide();
  bEasyCut = Button("bEasyCut", tr("&Segment Cut"), this);
  bJoiner = Button("bJoiner", tr("&Joiner && Mixer"), this);
  bSplit = Button("bSplit", tr("Spl&it"), this);
  bAbout = Button("bAbout", tr("A&bout"), this);
  cbKeepFrames = new QCheckBox(tr("Keep the frames (no re-encoding)"), this);
  cbKeepFrames->setObjectName("cbKeepFrames");
  cbKeepFrames->setToolTip(
      tr("Copies the MP3 frames as they are: no loss of quality, and exact on players that "
         "honour the gapless header"));
  cbKeepFrames->setChecked(QSettings().value(QString::fromLatin1(kKeepFramesKey)).toBool());
  FStatus = new TRunStatus(this);
  pbProgress = FStatus->Bar;
  lDone = FStatus->Line;
}

QBoxLayout* TfrmMain::BuildTimeRow() {
  auto* row = new QHBoxLayout;
  auto* startLabel = new QLabel(tr("Start:"), this);
  auto* endLabel = new QLabel(tr("End:"), this);
  startLabel->setBuddy(eStart);
  endLabel->setBuddy(eEnd);
  row->addWidget(startLabel);
  row->addWidget(eStart);
  row->addSpacing(kLabelGap);
  row->addWidget(endLabel);
  row->addWidget(eEnd);
  row->addSpacing(16);
  row->addWidget(Label1);
  row->addWidget(lFileTime);
  row->addStretch(1);
  row->addWidget(lCursor);
  return row;
}

QBoxLayout* TfrmMain::BuildPlayRow() {
  auto* row = new QHBoxLayout;
  for (QPushButton* b : {bPlay, bPause, bStop, bMarkStart, bMarkEnd, bPlaySelection})
    row->addWidget(b);
  row->addStretch(1);
  return row;
}

// Stop Cut shares Start Cut's cell, both keeping their room while hidden, so that swapping
// them during a cut moves nothing. The split comes after the designed buttons, in the room
// the row has to spare.
QBoxLayout* TfrmMain::BuildCutRow() {
  auto* row = new QHBoxLayout;
  auto* cutCell = new QGridLayout;
  cutCell->setContentsMargins(0, 0, 0, 0);
  cutCell->addWidget(bStartCut, 0, 0);
  cutCell->addWidget(bStopCut, 0, 0);
  RetainRoom(bStartCut);
  RetainRoom(bStopCut);
  row->addLayout(cutCell);
  for (QPushButton* b : {bEasyCut, bJoiner, bSplit}) row->addWidget(b);
  row->addStretch(1);
  row->addWidget(bAbout);
  return row;
}

// Below the designed rows: the cut's options, then its progress and what it wrote.
QBoxLayout* TfrmMain::BuildAddedRow() {
  auto* options = new QHBoxLayout;
  options->addWidget(cbKeepFrames);
  BuildFades(options);
  options->addStretch(1);
  auto* rows = new QVBoxLayout;
  rows->setContentsMargins(0, 4, 0, 0);
  rows->addLayout(options);
  rows->addWidget(FStatus);
  return rows;
}

void TfrmMain::LayOut() {
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(eOpenFile, 1);
  fileRow->addWidget(bOpen);
  auto* body = new QVBoxLayout;
  body->setContentsMargins(10, 8, 10, 10);
  body->addLayout(fileRow);
  body->addWidget(dvDetail, 4);
  body->addWidget(tbAudio, 1);
  body->addLayout(BuildTimeRow());
  body->addLayout(BuildPlayRow());
  body->addLayout(BuildCutRow());
  body->addLayout(BuildAddedRow());
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addWidget(imgTitle);
  outer->addLayout(body);
  resize(620, sizeHint().height());
  FDesignedHeight = height();
  window_parts::RememberSize(this, "main");
}

// As the controls read on screen: row by row, left to right.
void TfrmMain::SetTabOrder() {
  QWidget* order[] = {eOpenFile,  bOpen,    dvDetail,       dvDetail->Scroll, tbAudio,
                      eStart,     eEnd,     bPlay,          bPause,           bStop,
                      bMarkStart, bMarkEnd, bPlaySelection, bStartCut,        bStopCut,
                      bEasyCut,   bJoiner,  bSplit,         bAbout,           cbKeepFrames,
                      seFadeIn,   seFadeOut};
  for (size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void TfrmMain::ConnectControls() {
  connect(bOpen, &QPushButton::clicked, this, &TfrmMain::bOpenClick);
  connect(bStartCut, &QPushButton::clicked, this, &TfrmMain::bStartCutClick);
  connect(cbKeepFrames, &QCheckBox::toggled, this,
          [](bool keep) { QSettings().setValue(QString::fromLatin1(kKeepFramesKey), keep); });
  connect(bStopCut, &QPushButton::clicked, this, [this] {
    if (Cutting()) StopCut();
  });
  connect(bAbout, &QPushButton::clicked, this, &TfrmMain::bAboutClick);
  connect(eStart, &QLineEdit::textChanged, this, &TfrmMain::eStartChange);
  connect(eEnd, &QLineEdit::textChanged, this, &TfrmMain::eEndChange);
  eStart->SetExitCheck([this] { return eStartExit(); });
  eEnd->SetExitCheck([this] { return eEndExit(); });
  tbAudio->OnChange = [this](TTrackBar2*) { tbAudioChange(); };
  connect(Image1, &TLinkLabel::Clicked, this,
          [this] { links::OpenPage(this, links::kProductPage); });
  connect(lTitle, &TLinkLabel::Clicked, this, [this] { links::OpenPage(this, links::kHomePage); });
  connect(lUpdate, &TLinkLabel::Clicked, this,
          [this] { links::OpenPage(this, links::kUpdatePage); });
}

// The other windows, each modal over this one.
void TfrmMain::ConnectWindows() {
  connect(bJoiner, &QPushButton::clicked, this, [this] {
    TfrmJoiner joiner(this);
    joiner.exec();
    tbAudio->update();
  });
  connect(bSplit, &QPushButton::clicked, this, [this] {
    TfrmSplit split(this);
    if (!eOpenFile->text().isEmpty()) split.OpenFile(eOpenFile->text());
    split.exec();
    tbAudio->update();
  });
  // The file open here and an empty list: the selection here is what a cut keeps, so it is
  // offered as a stretch to remove only when asked for.
  connect(bEasyCut, &QPushButton::clicked, this, [this] {
    TfrmEasyCut easyCut(this);
    if (!eOpenFile->text().isEmpty()) {
      easyCut.OpenFile(eOpenFile->text());
      const bool whole = FSelection.StartMs() == 0 && FSelection.ToEnd();
      if (!whole)
        easyCut.OfferStretch(Shown(FSelection.StartMs()),
                             FSelection.ToEnd() ? QString() : Shown(FSelection.EndMs()));
    }
    easyCut.exec();
    tbAudio->update();
  });
}

void TfrmMain::BuildAboutMenu() {
  pmAbout = new QMenu(this);
  pmAbout->setObjectName("pmAbout");
  auto add = [this](const char* name, const QString& caption, auto handler) {
    QAction* action = pmAbout->addAction(caption, this, handler);
    action->setObjectName(name);
  };
  add("miHomepage", tr("&Homepage"), [this] { links::OpenPage(this, links::kProductPage); });
  pmAbout->addSeparator();
  add("miDonate", tr("&Donate"), [this] { links::OpenPage(this, links::kDonationPage); });
  pmAbout->addSeparator();
  add("miAbout", tr("&About..."), [this] { miAboutClick(); });
  pmAbout->addSeparator();
  add("miExit", tr("&Exit"), [this] { close(); });
}

void TfrmMain::FormCreate() {
  lUpdate->SetColors(Qt::white, Qt::red);
  BuildPlayback();
  UpdateFileControls();
}

void TfrmMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TfrmMain::FormShow() {
  bOpen->setFocus();
}

// The edits and the track bar work only on an open file; the thumbs of a file shorter than
// half a second have nowhere to go.
void TfrmMain::UpdateFileControls() {
  const bool open = !eOpenFile->text().isEmpty();
  if (!Cutting()) setWindowTitle(FileCaption());
  eStart->setEnabled(open);
  eEnd->setEnabled(open);
  tbAudio->setEnabled(open && tbAudio->Max() > 0);
  const TKind* kind = KindOf(eOpenFile->text());
  cbKeepFrames->setEnabled(open && kind && kind->KeepsFramesByCopy());
  UpdateFadeFields();
  UpdatePlayActions();
}

void TfrmMain::ShowMessage(const QString& text) {
  message_box::Show(this, text);
  tbAudio->update();
}

QString TfrmMain::LastFolder(const char* key) const {
  return QSettings().value(QString::fromLatin1(key)).toString();
}

void TfrmMain::RememberFolder(const char* key, const QString& file) {
  QSettings().setValue(QString::fromLatin1(key), QFileInfo(file).absolutePath());
}

void TfrmMain::bOpenClick() {
  const QString chosen = window_parts::ChooseSoundFile(this, LastFolder(kOpenFolderKey));
  if (chosen.isEmpty()) return;
  OpenFile(chosen);
}

void TfrmMain::OpenFile(const QString& path) {
  const QString file = QFileInfo(path).absoluteFilePath();
  RememberFolder(kOpenFolderKey, file);
  aStopExecute();
  eOpenFile->setText(file);
  StopWaveform();
  try {
    // Only the kinds the window cuts; another file would open for nothing.
    if (!KindOf(file)) throw std::runtime_error("not a kind the window cuts");
    // The player plays whatever FFmpeg reads; the file must also be one of its kind, or the
    // cut would fail after the user chose the stretch.
    OpenSource(window_parts::PathOf(file));
    MediaPlayer1.SetFileName(file.toStdString());
    MediaPlayer1.Open();
    const int64_t length = std::clamp<int64_t>(MediaPlayer1.Length(), 0, INT32_MAX);
    MediaPlayer1.Close();
    FSelection.Reset(static_cast<int32_t>(length));
    ShowSelection(true);
    dvDetail->SetSound(static_cast<int32_t>(length));
    ShowRememberedZoom();
    StartWaveform(file);
  } catch (const std::exception&) {
    MediaPlayer1.Close();
    ResetFile();
    ShowMessage(tr("Open file error. Please check whether the file is protected."));
    return;
  }
  UpdateFileControls();
}

// No file: no length, no selection, no waveform; the edits and the bar are disabled.
void TfrmMain::ResetFile() {
  eOpenFile->clear();
  StopWaveform();
  FSelection.Reset(0);
  dvDetail->SetSound(0);
  ShowSelection(true);
  UpdateFileControls();
}

QString TfrmMain::Shown(int32_t ms) const {
  return QString::fromStdString(FSelection.Precise() ? MsToPreciseTimeText(ms) : MsToTimeText(ms));
}

void TfrmMain::ShowSelection(bool times) {
  const bool showing = FShowingSelection;
  FShowingSelection = true;
  const int max = FSelection.MaxUnits();
  // Max 0 (a file shorter than half a second) leaves both thumbs at 0; the setters keep
  // the lower thumb below the upper one, so the bar is widened for the moves.
  tbAudio->SetMax(std::max(max, 1));
  tbAudio->SetPositionU(std::max(max, 1));
  tbAudio->SetPositionL(FSelection.StartUnit());
  tbAudio->SetPositionU(std::max(FSelection.EndUnit(), std::min(FSelection.StartUnit() + 1, max)));
  tbAudio->SetMax(max);
  FShownL = tbAudio->PositionL();
  FShownU = tbAudio->PositionU();
  if (times) {
    eStart->setText(Shown(FSelection.StartMs()));
    eEnd->setText(Shown(FSelection.EndMs()));
  }
  lFileTime->setText(Shown(FSelection.SizeMs()));
  dvDetail->SetSelection(FSelection.StartMs(), FSelection.EndMs());
  FShowingSelection = showing;
}

void TfrmMain::StartWaveform(const QString& file) {
  FWaveform->Start(file);
}

void TfrmMain::StopWaveform() {
  FWaveform->Stop();
  tbAudio->ClearWaveform();
}

void TfrmMain::ShowRequest(const QString& file) {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
  if (!file.isEmpty()) OpenFile(file);
}

// A thumb moved by the user: it takes its half second, the other keeps its time.
void TfrmMain::tbAudioChange() {
  if (FShowingSelection) return;
  FSelection.SetFromUnits(tbAudio->PositionL(), tbAudio->PositionU(), FShownL, FShownU);
  ShowSelection(true);
}

// The track follows the bar's height, so that the waveform in it takes what the window
// gives; the thumbs stand out of it, as they do at the designed size.
// The palette's colours, so that dark and high-contrast schemes read; again when the scheme
// changes while the program runs.
void TfrmMain::ShowPaletteOnBar() {
  // The active group's: the bar is disabled until a file opens, and draws that state itself.
  QPalette colours = tbAudio->palette();
  colours.setCurrentColorGroup(QPalette::Active);
  tbAudio->SetTickColor(colours.color(QPalette::WindowText));
  tbAudio->SetTrackColor(colours.color(QPalette::Base));
  const QColor highlight = colours.color(QPalette::Highlight), text = colours.color(QPalette::Text);
  tbAudio->SetWaveformColor(QColor((highlight.red() * 2 + text.red()) / 3,
                                   (highlight.green() * 2 + text.green()) / 3,
                                   (highlight.blue() * 2 + text.blue()) / 3));
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tbAudio &&
      (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange))
    ShowPaletteOnBar();
  if (watched == tbAudio && event->type() == QEvent::Resize) {
    const int track = std::max(kDesignedTrack, tbAudio->height() - kDesignedBar + kDesignedTrack);
    tbAudio->SetTrackSize(track);
    tbAudio->SetThumbSize(kDesignedThumb + (track - kDesignedTrack) * 5 / 4);
  }
  return QWidget::eventFilter(watched, event);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (!window_parts::MayCloseDuringRun(
          this, event, tr("A cut is still running. Stop it and close?"),
          [this] { return Cutting(); }, [this] { StopCut(); }))
    return;
  aStopExecute();
  StopWaveform();
  event->accept();
}

void TfrmMain::bAboutClick() {
  pmAbout->popup(QCursor::pos());
}

void TfrmMain::miAboutClick() {
  TfrmAbout about(this);
  about.exec();
  tbAudio->update();
}

namespace {

QString DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return {};
}

}  // namespace

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
  const QString file = DroppedFile(event->mimeData());
  if (file.isEmpty()) return;
  event->acceptProposedAction();
  OpenFile(file);
}
