// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/run_dialog.h"
#include "app/time_edit.h"
#include "app/window_parts.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/operations/segment_cut.h"
#include "cutting/operations/segment_plan.h"
#include "cutting/save/output_run.h"
#include "platform/media_player.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class TDetailView;
class TRunStatus;
class TWaveformFeed;

// The segment cut: removes a list of stretches from one WAV, MP3 or WMA file and writes the
// rest, joined, into a new file of the same format, with the source's tags and encoder
// settings. The kept pieces are read one after another in one run (TSegmentCut), so the
// sound is encoded once and nothing is written but the output; the caption shows the run's
// percentage.
//
// The engine's events reach the window through the application's TMainThreadPump (the main
// window's), which must live as long as a batch does.
class TfrmEasyCut : public TRunDialog {
  Q_OBJECT

 public:
  explicit TfrmEasyCut(QWidget* parent = nullptr);
  ~TfrmEasyCut() override;

  // Opens `path` as if chosen in the open dialog.
  void OpenFile(const QString& path);
  // Offers the stretch from `start` to `end` (the main window's selection) on the button
  // below the designed ones, to be listed only when the user asks for it.
  void OfferStretch(const QString& start, const QString& end);
  // The rows' start and end put into the edits by a double click on a row.
  void lvMainDblClick(int row);
  // Whether a batch is running.
  bool Running() const override { return FRun.Running(); }

  QGroupBox* GroupBox2;
  QPushButton* bOpen;
  QLineEdit* eOpenFile;
  QTableWidget* lvMain;
  QGroupBox* GroupBox1;
  QLabel* Label3;
  TTimeEdit* eStart;
  QLabel* Label2;
  QLabel* Label4;
  TTimeEdit* eEnd;
  QLabel* Label1;
  QLabel* lFileTime;
  QPushButton* bAdd;
  QPushButton* bUP;
  QPushButton* bDown;
  QPushButton* bRemove;
  QPushButton* bRemoveAll;
  QPushButton* bStart;
  // Shown while a batch runs: stops it, leaving nothing behind.
  QPushButton* bStopCut;
  QPushButton* bClose;
  // Not in the design, below the designed rows: lists the stretch the main window offered.
  QPushButton* bAddMain;
  // Not in the design: the file's waveform with the listed stretches tinted, shown once the
  // window is taller than its designed size (easy_cut_waveform.cpp).
  TDetailView* dvWave;
  QActionGroup* ActionList1;
  QAction* aStartCut;
  QAction* aMoveUp;
  QAction* aMoveDown;
  QAction* aRemove;
  QAction* aAddList;

 protected:
  QString StopQuestion() const override;
  void StopRun() override { StopBatch(); }
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildControls();
  void LayOut();
  void ConnectControls();
  void BuildWaveform();
  void StartWaveform();
  void ShowListedStretches();
  void ShowRowInWave(int row);
  QLayout* BuildTimeBox();
  QLayout* BuildActionRow();
  QLayout* BuildAddedRow();
  void BuildActions();
  void FormCreate();

  void bOpenClick();
  bool eStartExit();
  bool eEndExit();
  bool CheckTimeEdit(QLineEdit* edit);
  void bAddClick();
  void AddRow(const QString& start, const QString& end);
  void aMoveUpExecute();
  void aMoveDownExecute();
  void MoveSelected(int by);
  void aRemoveExecute();
  void bRemoveAllClick();
  // The update rules of the four actions, run after anything they look at has changed.
  void UpdateActions();
  void aStartCutExecute();
  void SinkProgress(TAuOutput& sink);
  void WaveOut1Done();

  std::vector<TSegmentRow> Rows() const;
  int SelectedIndex() const;
  void SelectRow(int row);
  // Asks for the output's name; empty when cancelled or refused.
  QString ChooseTarget(const TKind& kind, bool& replace);
  // Ends the batch: caption, Start and cursor back; `error` shown if any.
  void EndBatch(const std::string& error);
  void StopBatch();
  void ShowMessage(const QString& text);

  trimora::media::TMediaPlayer MediaPlayer1;
  // The batch last started, with its source and sink; before the run, so that the run has
  // stopped its sink before the sink goes.
  std::unique_ptr<TSegmentCut> FSegments;

  QString BaseCaption;
  QString OutputFileName;
  int PieceCount = 0;
  QStringList CutPoints;
  int32_t FileLengthMs = 0;
  TWaveformFeed* FWaveform = nullptr;
  int FDesignedHeight = 0;

  TOutputRun FRun;
  bool FWaitCursor = false;
  TRunStatus* FStatus = nullptr;
  // Not in the design: keep the frames away from the joins, below the designed rows.
  QCheckBox* cbKeepFrames = nullptr;
  QString FOfferedStart, FOfferedEnd;
};
