// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/easy_cut_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <stdexcept>

#include "app/detail_view.h"
#include "app/message_box.h"
#include "app/mnemonics.h"
#include "app/run_status.h"
#include "app/time_edit.h"
#include "app/window_parts.h"
#include "app/window_size.h"
#include "cutting/time/time_text.h"

namespace {

using namespace window_parts;

namespace fs = std::filesystem;

std::string Text(const QLineEdit* edit) {
  return edit->text().toStdString();
}

}  // namespace

TfrmEasyCut::TfrmEasyCut(QWidget* parent) : TRunDialog("frmEasyCut", tr("Segment Cut"), parent) {
  BuildControls();
  BuildActions();
  FormCreate();
  mnemonics::Install(this);
  mnemonics::NameControls(this);
}

TfrmEasyCut::~TfrmEasyCut() {
  if (Running()) StopBatch();
}

void TfrmEasyCut::BuildControls() {
  GroupBox2 = new QGroupBox(this);
  GroupBox2->setObjectName("GroupBox2");
  bOpen = Button("bOpen", tr("&Open File"), GroupBox2);
  eOpenFile = new QLineEdit(GroupBox2);
  eOpenFile->setObjectName("eOpenFile");
  eOpenFile->setReadOnly(true);
  eOpenFile->setMinimumWidth(300);
  eOpenFile->setAccessibleName(tr("Open file"));
  auto* fileRow = new QHBoxLayout(GroupBox2);
  fileRow->addWidget(eOpenFile, 1);
  fileRow->addWidget(bOpen);

  lvMain = new QTableWidget(0, 2, this);
  lvMain->setObjectName("lvMain");
  lvMain->setHorizontalHeaderLabels({tr("Start"), tr("End")});
  lvMain->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lvMain->horizontalHeader()->setHighlightSections(false);
  lvMain->verticalHeader()->hide();
  lvMain->verticalHeader()->setDefaultSectionSize(lvMain->fontMetrics().height() + 6);
  lvMain->setColumnWidth(0, 120);
  lvMain->setColumnWidth(1, 120);
  lvMain->horizontalHeader()->setStretchLastSection(true);
  lvMain->setShowGrid(true);
  lvMain->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvMain->setSelectionMode(QAbstractItemView::SingleSelection);
  lvMain->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvMain->setMinimumWidth(120 * 2 + lvMain->frameWidth() * 2 + 20);
  lvMain->setAccessibleName(tr("Stretches to remove"));

  bUP = Button("bUP", tr("&Up"), this);
  bDown = Button("bDown", tr("&Down"), this);
  bRemove = Button("bRemove", tr("&Remove"), this);
  bRemoveAll = Button("bRemoveAll", tr("Remove &All"), this);
  bStart = Button("bStart", tr("&Start Now"), this);
  bClose = Button("bClose", tr("&Close"), this);
  bStopCut = Button("bStopCut", tr("S&top"), this);
  bStopCut->hide();
  bStart->setDefault(true);
  LayOut();
  ConnectControls();
}

void TfrmEasyCut::LayOut() {
  auto* listButtons = new QVBoxLayout;
  for (QPushButton* b : {bUP, bDown, bRemove, bRemoveAll}) listButtons->addWidget(b);
  listButtons->addStretch(1);
  BuildWaveform();
  auto* listRow = new QHBoxLayout;
  listRow->addWidget(lvMain, 1);
  listRow->addLayout(listButtons);

  auto* body = new QVBoxLayout(this);
  body->addWidget(GroupBox2);
  body->addWidget(dvWave, 1);
  body->addLayout(listRow, 1);
  body->addLayout(BuildTimeBox());
  body->addLayout(BuildActionRow());
  body->addLayout(BuildAddedRow());
  // The designed 400 pixels, and the added row below them with its own room.
  resize(sizeHint().width(),
         std::max(sizeHint().height(),
                  400 + body->itemAt(body->count() - 1)->sizeHint().height() + body->spacing()));
  FDesignedHeight = height();
  window_parts::RememberSize(this, "segmentCut");
  // The rows are typed before they are listed, so the time box comes first in tab order;
  // its "&Add to List" is then the first button bearing A, ahead of "Remove &All".
  QWidget* order[] = {bOpen, eOpenFile, eStart,     eEnd,   bAdd,     lvMain, bUP,
                      bDown, bRemove,   bRemoveAll, bStart, bStopCut, bClose, bAddMain};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void TfrmEasyCut::ConnectControls() {
  connect(bOpen, &QPushButton::clicked, this, &TfrmEasyCut::bOpenClick);
  connect(bAdd, &QPushButton::clicked, this, &TfrmEasyCut::bAddClick);
  connect(bRemoveAll, &QPushButton::clicked, this, &TfrmEasyCut::bRemoveAllClick);
  connect(bClose, &QPushButton::clicked, this, &QWidget::close);
  connect(bStopCut, &QPushButton::clicked, this, [this] {
    if (Running()) StopBatch();
  });
  connect(bAddMain, &QPushButton::clicked, this, [this] {
    if (!FOfferedStart.isEmpty()) AddRow(FOfferedStart, FOfferedEnd);
  });
  connect(lvMain, &QTableWidget::cellDoubleClicked, this,
          [this](int row, int) { lvMainDblClick(row); });
  eStart->SetExitCheck([this] { return eStartExit(); });
  eEnd->SetExitCheck([this] { return eEndExit(); });
}

// Stop shares Start Now's cell, both keeping their room while hidden, so that swapping them
// during a run moves nothing.
QLayout* TfrmEasyCut::BuildActionRow() {
  auto* cell = new QGridLayout;
  cell->setContentsMargins(0, 0, 0, 0);
  for (QPushButton* b : {bStart, bStopCut}) {
    QSizePolicy policy = b->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    b->setSizePolicy(policy);
    cell->addWidget(b, 0, 0);
  }
  auto* actions = new QHBoxLayout;
  actions->addStretch(1);
  actions->addLayout(cell);
  actions->addWidget(bClose);
  return actions;
}

// Below the designed rows: the main window's selection offered as a row, and the run's
// progress and what it wrote.
QLayout* TfrmEasyCut::BuildAddedRow() {
  bAddMain = Button("bAddMain", tr("Add the main window's selection"), this);
  bAddMain->setEnabled(false);
  FStatus = new TRunStatus(this);
  cbKeepFrames = window_parts::JoinKeepingBox(this);
  cbKeepFrames->setEnabled(false);
  auto* row = new QHBoxLayout;
  row->addWidget(cbKeepFrames);
  row->addWidget(FStatus, 1);
  row->addWidget(bAddMain);
  return row;
}

void TfrmEasyCut::OfferStretch(const QString& start, const QString& end) {
  FOfferedStart = start;
  // The file's end as this window shows it, so that the row passes the length check.
  FOfferedEnd = end.isEmpty() ? lFileTime->text() : end;
  bAddMain->setEnabled(!start.isEmpty());
  bAddMain->setToolTip(start.isEmpty() ? QString() : tr("%1 --- %2").arg(start, end));
}

QLayout* TfrmEasyCut::BuildTimeBox() {
  GroupBox1 = new QGroupBox(tr("Please enter the time to be cut"), this);
  GroupBox1->setObjectName("GroupBox1");
  Label3 = Label("Label3", tr("Start Time: "), GroupBox1);
  eStart = new TTimeEdit("eStart", tr("Start Time"), GroupBox1);
  Label2 = Label("Label2", QStringLiteral("---"), GroupBox1);
  Label4 = Label("Label4", tr("End Time: "), GroupBox1);
  eEnd = new TTimeEdit("eEnd", tr("End Time"), GroupBox1);
  Label1 = Label("Label1", tr("Total File Time: "), GroupBox1);
  lFileTime = Label("lFileTime", QStringLiteral("00:00:00.0"), GroupBox1);
  bAdd = Button("bAdd", tr("&Add to List"), GroupBox1);
  Label3->setBuddy(eStart);
  Label4->setBuddy(eEnd);
  auto* grid = new QGridLayout(GroupBox1);
  grid->addWidget(Label3, 0, 0);
  grid->addWidget(eStart, 0, 1);
  grid->addWidget(Label2, 0, 2);
  grid->addWidget(Label4, 0, 3);
  grid->addWidget(eEnd, 0, 4);
  grid->setColumnStretch(5, 1);
  grid->addWidget(Label1, 1, 0);
  grid->addWidget(lFileTime, 1, 1);
  grid->addWidget(bAdd, 1, 4, 1, 2, Qt::AlignRight);
  auto* row = new QHBoxLayout;
  row->addWidget(GroupBox1);
  return row;
}

void TfrmEasyCut::BuildActions() {
  ActionList1 = new QActionGroup(this);
  ActionList1->setObjectName("ActionList1");
  ActionList1->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
  aStartCut = Action("aStartCut", tr("&Start Now"), ActionList1);
  aMoveUp = Action("aMoveUp", tr("&Up"), ActionList1);
  aMoveDown = Action("aMoveDown", tr("&Down"), ActionList1);
  aRemove = Action("aRemove", tr("&Remove"), ActionList1);
  aAddList = Action("aAddList", tr("&Add to List"), ActionList1);
  aAddList->setEnabled(false);  // it has no handler
  connect(aStartCut, &QAction::triggered, this, &TfrmEasyCut::aStartCutExecute);
  connect(aMoveUp, &QAction::triggered, this, &TfrmEasyCut::aMoveUpExecute);
  connect(aMoveDown, &QAction::triggered, this, &TfrmEasyCut::aMoveDownExecute);
  connect(aRemove, &QAction::triggered, this, &TfrmEasyCut::aRemoveExecute);
  Bind(bStart, aStartCut);
  Bind(bUP, aMoveUp);
  Bind(bDown, aMoveDown);
  Bind(bRemove, aRemove);
  connect(lvMain, &QTableWidget::itemSelectionChanged, this, &TfrmEasyCut::UpdateActions);
  connect(lvMain->model(), &QAbstractItemModel::rowsInserted, this, &TfrmEasyCut::UpdateActions);
  connect(lvMain->model(), &QAbstractItemModel::rowsRemoved, this, &TfrmEasyCut::UpdateActions);
  connect(eOpenFile, &QLineEdit::textChanged, this, &TfrmEasyCut::UpdateActions);
  UpdateActions();
}

void TfrmEasyCut::FormCreate() {
  BaseCaption = windowTitle();
}

void TfrmEasyCut::ShowMessage(const QString& text) {
  message_box::Show(this, text);
}

void TfrmEasyCut::bOpenClick() {
  const QString folder =
      eOpenFile->text().isEmpty() ? QString() : QFileInfo(eOpenFile->text()).path();
  const QString chosen = window_parts::ChooseSoundFile(this, folder);
  if (chosen.isEmpty()) return;
  OpenFile(chosen);
}

void TfrmEasyCut::OpenFile(const QString& path) {
  const QString file = QFileInfo(path).absoluteFilePath();
  eOpenFile->setText(file);
  try {
    // Only the kinds the window cuts; a batch on another would have no pipeline.
    if (!KindOf(file)) throw std::runtime_error("not a kind the window cuts");
    MediaPlayer1.SetFileName(file.toStdString());
    MediaPlayer1.Open();
    const int64_t length = std::clamp<int64_t>(MediaPlayer1.Length(), 0, INT32_MAX);
    MediaPlayer1.Close();
    FileLengthMs = static_cast<int32_t>(length);
    lFileTime->setText(QString::fromStdString(MsToTimeText(FileLengthMs)));
    StartWaveform();
  } catch (const std::exception&) {
    MediaPlayer1.Close();
    eOpenFile->clear();
    StartWaveform();
    ShowMessage(tr("Open file error. Please check whether the file is protected."));
  }
}

bool TfrmEasyCut::eStartExit() {
  return CheckTimeEdit(eStart);
}

bool TfrmEasyCut::eEndExit() {
  return CheckTimeEdit(eEnd);
}

// A well-formed time is written out in full ("1:2:3.4" -> "01:02:03.4"), so that the list
// compares and shows one form; a malformed one is refused and the edit takes the focus back.
bool TfrmEasyCut::CheckTimeEdit(QLineEdit* edit) {
  const std::string text = Text(edit);
  if (IsTimeText(text) || IsPreciseTimeText(text)) {
    edit->setText(QString::fromStdString(NormalizePreciseTimeText(text)));
    return true;
  }
  ShowMessage(tr("Please make sure the time format is 00:00:00.0"));
  edit->setFocus();
  return false;
}

void TfrmEasyCut::bAddClick() {
  // A click can come without the edit losing the focus (a shortcut): its check runs here.
  if (!eStart->Check() || !eEnd->Check()) return;
  const int32_t start = TimeTextToMs(Text(eStart));
  const int32_t end = TimeTextToMs(Text(eEnd));
  if (start == end)
    return ShowMessage(tr("Please make sure the start time not same as the end time"));
  if (end < start)
    return ShowMessage(tr("Please make sure the start time should be smaller than the end time"));
  if (TimeTextToMs(lFileTime->text().toStdString()) < end)
    return ShowMessage(tr("Please make sure the end time should be smaller than the total time"));
  AddRow(eStart->text(), eEnd->text());
}

// A row whose start is listed already is not added again.
void TfrmEasyCut::AddRow(const QString& start, const QString& end) {
  for (int row = 0; row < lvMain->rowCount(); ++row)
    if (lvMain->item(row, 0)->text().toUpper() == start.toUpper()) return;
  const int row = lvMain->rowCount();
  lvMain->insertRow(row);
  lvMain->setItem(row, 0, new QTableWidgetItem(start));
  lvMain->setItem(row, 1, new QTableWidgetItem(end));
  SelectRow(row);
}

void TfrmEasyCut::lvMainDblClick(int row) {
  if (row < 0 || row >= lvMain->rowCount()) return;
  SelectRow(row);
  eStart->setText(lvMain->item(row, 0)->text());
  eEnd->setText(lvMain->item(row, 1)->text());
  ShowRowInWave(row);
}

int TfrmEasyCut::SelectedIndex() const {
  const QModelIndexList rows = lvMain->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void TfrmEasyCut::SelectRow(int row) {
  lvMain->setCurrentCell(row, 0);
  lvMain->selectRow(row);
}

void TfrmEasyCut::aMoveUpExecute() {
  MoveSelected(-1);
}

void TfrmEasyCut::aMoveDownExecute() {
  MoveSelected(1);
}

// Exchanges the texts of the selected row and its neighbour, and selects the neighbour.
void TfrmEasyCut::MoveSelected(int by) {
  const int row = SelectedIndex();
  const int other = row + by;
  if (row < 0 || other < 0 || other >= lvMain->rowCount()) return;
  for (int column = 0; column < 2; ++column) {
    const QString text = lvMain->item(row, column)->text();
    lvMain->item(row, column)->setText(lvMain->item(other, column)->text());
    lvMain->item(other, column)->setText(text);
  }
  SelectRow(other);
}

void TfrmEasyCut::aRemoveExecute() {
  const int row = SelectedIndex();
  if (row < 0) return;
  lvMain->removeRow(row);
  if (row < lvMain->rowCount())
    SelectRow(row);
  else if (lvMain->rowCount() > 0)
    SelectRow(0);
}

void TfrmEasyCut::bRemoveAllClick() {
  lvMain->setRowCount(0);
}

void TfrmEasyCut::UpdateActions() {
  const bool listShown = !lvMain->isHidden();
  const int row = SelectedIndex();
  aMoveUp->setEnabled(listShown && row > 0);
  aMoveDown->setEnabled(listShown && row >= 0 && row < lvMain->rowCount() - 1);
  aRemove->setEnabled(row >= 0);
  aStartCut->setEnabled(lvMain->rowCount() > 0 && !eOpenFile->text().isEmpty() && !Running());
  const TKind* kind = eOpenFile->text().isEmpty() ? nullptr : KindOf(eOpenFile->text());
  cbKeepFrames->setEnabled(kind != nullptr && kind->KeepsFramesAcrossJoins() && !Running());
  bStart->setVisible(!Running());
  bStopCut->setVisible(Running());
}

QString TfrmEasyCut::StopQuestion() const {
  return tr("The segment cut is still running. Stop it and close?");
}
