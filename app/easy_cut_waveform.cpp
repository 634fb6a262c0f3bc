// SPDX-License-Identifier: GPL-3.0-or-later
// The segment cut's waveform: shown above the list once the window is taller than its
// designed size, with the listed stretches tinted. A row double-clicked is selected in it, and
// a stretch dragged in it goes into the time edits, ready for "Add to List".
#include <QAbstractItemModel>
#include <QResizeEvent>
#include <QTableWidget>
#include <algorithm>
#include <utility>
#include <vector>

#include "app/detail_view.h"
#include "app/easy_cut_window.h"
#include "app/waveform_feed.h"
#include "cutting/time/time_text.h"

namespace {

constexpr int kWaveRoom = 120;

QString EditText(int32_t ms) {
  return QString::fromStdString(ms % 100 == 0 ? MsToTimeText(ms) : MsToPreciseTimeText(ms));
}

}  // namespace

void TfrmEasyCut::BuildWaveform() {
  dvWave = new TDetailView(this);
  dvWave->setObjectName("dvWave");
  dvWave->hide();
  dvWave->OnSelect = [this](int32_t startMs, int32_t endMs) {
    dvWave->SetSelection(startMs, endMs);
    eStart->setText(EditText(startMs));
    eEnd->setText(EditText(endMs));
  };
  FWaveform = new TWaveformFeed(dvWave, this);
  QAbstractItemModel* rows = lvMain->model();
  for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
    connect(rows, signal, this, &TfrmEasyCut::ShowListedStretches);
  connect(rows, &QAbstractItemModel::dataChanged, this, &TfrmEasyCut::ShowListedStretches);
}

void TfrmEasyCut::StartWaveform() {
  dvWave->SetSound(eOpenFile->text().isEmpty() ? 0 : FileLengthMs);
  dvWave->SetSelection(0, 0);  // nothing chosen until a row is double-clicked or a drag
  ShowListedStretches();
  if (eOpenFile->text().isEmpty())
    FWaveform->Stop();
  else
    FWaveform->Start(eOpenFile->text());
}

void TfrmEasyCut::ShowListedStretches() {
  std::vector<std::pair<int32_t, int32_t>> marked;
  for (int row = 0; row < lvMain->rowCount(); ++row) {
    const QTableWidgetItem* start = lvMain->item(row, 0);
    const QTableWidgetItem* end = lvMain->item(row, 1);
    if (start && end)
      marked.emplace_back(TimeTextToMs(start->text().toStdString()),
                          TimeTextToMs(end->text().toStdString()));
  }
  dvWave->SetMarked(std::move(marked));
}

// The row's stretch selected in the view, brought into sight when it is out of it.
void TfrmEasyCut::ShowRowInWave(int row) {
  const int32_t start = TimeTextToMs(lvMain->item(row, 0)->text().toStdString());
  const int32_t end = TimeTextToMs(lvMain->item(row, 1)->text().toStdString());
  dvWave->SetSelection(start, end);
  if (start < dvWave->FromMs() || end > dvWave->ToMs())
    dvWave->ShowStretch(start - (dvWave->ToMs() - dvWave->FromMs() - (end - start)) / 2,
                        std::max(dvWave->MsPerPixel(), 1.25 * (end - start) / dvWave->width()));
}

void TfrmEasyCut::resizeEvent(QResizeEvent* event) {
  TRunDialog::resizeEvent(event);
  if (FDesignedHeight > 0) dvWave->setVisible(height() >= FDesignedHeight + kWaveRoom);
}
