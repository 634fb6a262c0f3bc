// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTimer>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/run_dialog.h"
#include "app/silence_search.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/marks/embedded_marks.h"
#include "cutting/operations/split_plan.h"
#include "cutting/save/output_run.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLayout;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTableWidget;
class TDetailView;
class TSplitRun;
class TWaveformFeed;

// Splits the open file into pieces of the same format: into equal parts, a piece every so
// long, at its pauses, or at the marks of a cue sheet or label file. The pieces are planned first
// and listed with their names, their boundaries shown on the waveform and open to a typed
// correction; Start then writes them one after another (TSplitRun), each through the safe save. The
// pause search runs on a thread of its own (TSilenceSearch); the writing runs as the other windows'
// cuts do, its events coming through the application's TMainThreadPump.
class TfrmSplit : public TRunDialog {
  Q_OBJECT

 public:
  explicit TfrmSplit(QWidget* parent = nullptr);
  ~TfrmSplit() override;

  // Opens `path`, the file the main window has open; a file that cannot be read is said so
  // and leaves the window empty.
  void OpenFile(const QString& path);
  bool Running() const override;
  // Splits at the marks of `file`, a cue sheet or label file; one that cannot be read is said
  // so, naming its line.
  void OpenMarks(const QString& file);

  enum TMode { kEqualParts, kEvery, kAtSilences, kAtMarks };

  QLineEdit* eOpenFile;
  QLabel* lFileTime;
  TDetailView* dvWave;
  QComboBox* cbMode;
  QStackedWidget* stSettings;
  QSpinBox* seParts;
  QDoubleSpinBox* seEvery;
  QDoubleSpinBox* seThreshold;
  QDoubleSpinBox* seMinSilence;
  QDoubleSpinBox* seMinPiece;
  QCheckBox* cbTrim;
  QPushButton* bFind;
  QLineEdit* eMarks;
  QPushButton* bMarks;
  QPushButton* bOwnMarks;
  QLineEdit* ePattern;
  QLineEdit* eFolder;
  QPushButton* bFolder;
  QCheckBox* cbKeepFrames;
  QTableWidget* lvPieces;
  QLabel* lStatus;
  QProgressBar* pbProgress;
  QPushButton* bStart;
  QPushButton* bStopRun;
  QPushButton* bClose;
  QPushButton* bSaveCue;
  QPushButton* bSaveLabels;

 protected:
  QString StopQuestion() const override;
  void StopRun() override;

 private:
  QWidget* BuildSettings();
  QLayout* BuildFolderRow(QWidget* box);
  std::filesystem::path PiecesFolder() const;
  void bFolderClick();
  bool MakeMissingFolders();
  QLayout* BuildActions();
  QWidget* BuildSilencePage(QWidget* parent);
  QWidget* BuildPieceList();

  // The marks of a sheet (split_window_marks.cpp).
  QWidget* BuildMarksPage(QWidget* parent);
  QLayout* BuildSaveMarksRow();
  void bMarksClick();
  void ProposePattern();
  void OfferOwnMarks();
  void SavePlanMarks(bool cueSheet);
  void UpdateControls();

  // The plan from the settings; for pauses, from the last search of the same threshold and
  // shortest pause, or none until one is made.
  void Replan();
  std::optional<std::vector<TSplitPiece>> PlanFromSettings();
  void ShowPlan();
  // A start time typed into the list, or an edge of the selected piece dragged on the
  // waveform, moves the piece's boundary with its neighbour.
  void StartEdited(int row, const QString& typed);
  bool MoveBoundary(size_t k, int64_t frame);
  void ShowSelectedPiece();
  void PieceDragged(int32_t startMs, int32_t endMs);
  int32_t FrameMs(int64_t frame) const;

  // The pause search (split_window_run.cpp).
  void bFindClick();
  void PollSearch();
  TSilenceSettings SilenceSettings() const;

  // Writing the pieces (split_window_run.cpp).
  void bStartClick();
  void WritingDone(const std::string& error);
  void EndWriting(const QString& message);
  void ShowProgress(const QString& what, int percent);
  void ShowMessage(const QString& text);

  QString BaseCaption;
  TWaveformFeed* FWaveform = nullptr;
  QTimer FPoll;

  // The open file: its source (which the pieces are read from), kind, rate and frames.
  std::optional<TOpenedSource> FOpened;
  int FRate = 0;
  int64_t FHeld = 0;

  TSilenceSearch FSearch;
  std::optional<std::vector<TSilence>> FSilences;  // of FSilencesFor's settings
  TSilenceSettings FSilencesFor;

  std::optional<TMarkSheet> FMarks;         // of the sheet chosen
  std::optional<TEmbeddedMarks> FOwnMarks;  // the open file's
  QString FMarksNote;                       // what the sheet said of its sound file

  std::vector<TSplitPiece> FPieces;
  std::vector<std::filesystem::path> FNames;
  QString FNameError;
  bool FShowingPlan = false;  // the window itself is filling the list

  std::unique_ptr<TSplitRun> FSplit;  // while writing; reads FOpened's source
  bool FReplace = false;
};
