// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileInfo>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "app/detail_view.h"
#include "app/selection_model.h"
#include "app/time_edit.h"
#include "app/window_parts.h"
#include "controls/tracker2.h"
#include "cutting/operations/fades.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/save/output_run.h"
#include "cutting/operations/single_cut.h"
#include "platform/media_player.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QHBoxLayout;
class QBoxLayout;
class QProgressBar;
class TBanner;
class TRunStatus;
class TLinkLabel;
class TWaveformFeed;

// The main window: open one sound file, choose a stretch of it on the track bar (half a
// second a unit) or by typing times, and save that stretch as a new file of the same format.
// The selection is kept in milliseconds (TSelectionModel), so a typed time is cut as typed.
// Each cut is an operation of its own (TSingleCut) and writes through the run into a
// file, so a failed or stopped cut never touches an older file of the chosen name.
//
// The engine's events reach the window through the application's TMainThreadPump, which
// must outlive it.
class TfrmMain : public QWidget {
  Q_OBJECT

 public:
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  // Opens `path` as if chosen in the open dialog.
  void OpenFile(const QString& path);
  // A later start asked this instance to show itself and, when `file` is not empty, open it.
  void ShowRequest(const QString& file);
  // Whether a cut is running.
  bool Cutting() const { return FRun.Running(); }
  const TSelectionModel& Selection() const { return FSelection; }
  const trimora::media::TMediaPlayer& MediaPlayer() const { return MediaPlayer1; }
  // The playback timer's tick: moves the cursor to the sound and ends the playback.
  void Timer1Timer();
  // Puts the play cursor at `ms`, as a click in the close view does: playing goes on from
  // there, and the marks and Play take it.
  void PlaceCursor(int32_t ms);
  // The one play position, in milliseconds: the player's own while playing, else the cursor
  // placed or paused at; -1 when there is none.
  int32_t CursorMs() const;

  QLineEdit* eOpenFile;
  QPushButton* bOpen;
  TTrackBar2* tbAudio;
  // Not in the design: a close view of the sound above the track bar, zoomable, shown once
  // the window has been made taller than its designed size.
  TDetailView* dvDetail;
  TTimeEdit* eStart;
  TTimeEdit* eEnd;
  QLabel* Label1;
  QLabel* lFileTime;
  QPushButton* bPlay;
  QPushButton* bPause;
  QPushButton* bStop;
  QPushButton* bMarkStart;
  QPushButton* bMarkEnd;
  QPushButton* bPlaySelection;
  QPushButton* bStartCut;
  // Shown in Start Cut's place while a cut runs, so that no designed control moves: stops
  // it, leaving nothing behind.
  QPushButton* bStopCut;
  // Where the play cursor is, to the millisecond, next to the time edits.
  QLabel* lCursor;
  QPushButton* bEasyCut;
  // Not in the design: opens the split window on the open file.
  QPushButton* bSplit;
  QPushButton* bJoiner;
  QPushButton* bAbout;
  // Not in the design: a cut of an MP3 file that copies its frames instead of re-encoding.
  QCheckBox* cbKeepFrames;
  // Not in the design: fades at the cut's edges, in milliseconds, beside cbKeepFrames.
  QSpinBox* seFadeIn;
  QSpinBox* seFadeOut;
  // Not in the design, in the row below the designed ones: the cut's progress while it runs,
  // and the line that says what the last cut wrote.
  QProgressBar* pbProgress;
  QLabel* lDone;
  QMenu* pmAbout;
  TBanner* imgTitle;
  TLinkLabel* Image1;
  TLinkLabel* lTitle;
  TLinkLabel* lUpdate;
  QLabel* iUpdate;
  // Preview playback: the actions behind the play buttons, and the timer (500 ms) that runs
  // exactly while playing.
  QAction* aPlay;
  QAction* aPause;
  QAction* aStop;
  QAction* aMarkStart;
  QAction* aMarkEnd;
  QAction* aPlaySelection;
  QTimer* Timer1;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The designed rows one by one, then the row added below them.
  void BuildControls();
  void BuildTrackBar();
  void BuildButtons();
  QBoxLayout* BuildTimeRow();
  QBoxLayout* BuildPlayRow();
  QBoxLayout* BuildCutRow();
  QBoxLayout* BuildAddedRow();
  void LayOut();
  void SetTabOrder();
  void ConnectControls();
  void ConnectWindows();
  void BuildAboutMenu();
  // The fade fields at the end of `row` (main_window_fades.cpp).
  void BuildFades(QHBoxLayout* row);
  void UpdateFadeFields();
  // Whether a cut of `kind` copies the frames; the fades such a cut of it gets.
  bool KeepingFrames(const TKind& kind) const;
  TFades FadesFor(const TKind& kind) const;
  // Ctrl+O and Ctrl+Enter (main_window_keys.cpp); the other keys are the window's own
  // (keyPressEvent), so that only keys the focused control leaves reach them.
  void BuildKeys();
  bool PlayKey(int key);
  // Home and End: the cursor to the start or the end of the selection; playing goes on there.
  void JumpTo(bool end);
  // The caption while idle: the program's name, then the open file's name.
  QString FileCaption() const;
  void ShowCursorTime();
  // The close view (main_window_detail.cpp): built, shown when there is room, and tied to
  // the selection, the cursor and the track bar.
  void BuildDetailView();
  void ShowPaletteOnBar();
  void ShowRememberedZoom();
  void UpdateDetailShown();
  void DetailSelect(int32_t startMs, int32_t endMs);
  // The cursor at `ms` (-1: none) on the bar, in the close view (paging to it with
  // `follow`) and in the cursor text.
  void ShowCursorAt(int32_t ms, bool follow);
  bool HasCursor() const;
  void ShowVisibleOnBar();
  // The close view's cursor and the cursor text follow the sound finely while playing.
  void FollowPlayback();
  void UpdateFollowTimer();
  void FormCreate();
  void FormShow();
  void UpdateFileControls();
  // The selection shown: the thumbs at their nearest half seconds and the length of the
  // selection; with `times`, the two edits too. Changes made here are not taken back as edits.
  void ShowSelection(bool times);
  // `ms` as the selection is shown: to the millisecond when it was chosen so.
  QString Shown(int32_t ms) const;
  // The two edits taken over into the selection when both hold times in order; an edit that
  // still shows the selection's time keeps its exact value.
  void TakeTypedTimes();
  void ShowTimesInOneForm();
  // The window without a file.
  void ResetFile();

  void bOpenClick();
  void tbAudioChange();
  void eStartChange();
  void eEndChange();
  bool eStartExit();
  bool eEndExit();
  void bStartCutClick();
  void bAboutClick();
  void miAboutClick();
  void SinkProgress(TAuOutput& sink);
  void MP3Out1Done();
  // The cut's run shown (main_window_cut.cpp): Stop Cut in Start Cut's place, the progress
  // bar, and the idle caption back at the end.
  void ShowRunning(bool running);
  // What the cut about to run will write, for the done line.
  QString DoneText(const QString& target) const;
  QString ChooseCutTarget(const QFileInfo& source);
  bool TargetRefused(const QString& source, const QString& target);

  // The format step: opens the source, makes the cut of its kind and starts it, writing
  // through the safe save into `target`. Raises with the text to show when it cannot start.
  void StartFormatStep(const std::filesystem::path& source, const std::filesystem::path& target,
                       bool replace);
  void StopCut();
  // The waveform behind the track bar, built on a thread of its own and shown as it arrives.
  void StartWaveform(const QString& file);
  void StopWaveform();
  void ShowMessage(const QString& text);
  // Preview playback (main_window_playback.cpp).
  void BuildPlayback();
  void UpdatePlayActions();
  void StartPlaying(bool selection);
  void PlayFrom(int64_t fromMs, int64_t toMs);
  void aPlayExecute();
  void aPlaySelectionExecute();
  void aPauseExecute();
  void aStopExecute();
  void aMarkStartExecute();
  void aMarkEndExecute();
  void tbAudioMouseDown(Qt::MouseButton button);
  void tbAudioMouseUp(Qt::MouseButton button);
  void PlaybackFailed(const std::exception& error);
  QString LastFolder(const char* key) const;
  void RememberFolder(const char* key, const QString& file);

  trimora::media::TMediaPlayer MediaPlayer1;
  // The cut last started, with its source and sink; before the run, so that the run has
  // stopped its sink before the sink goes.
  std::unique_ptr<TSingleCut> FCut;

  TWaveformFeed* FWaveform;
  TRunStatus* FStatus;
  QTimer FFollowTimer;      // runs while playing, finer than Timer1
  int32_t FCursorMs = -1;   // the cursor while not playing (placed, paused at), -1: none
  int FDesignedHeight = 0;  // the window's height as designed, without the close view

  TOutputRun FRun;
  TSelectionModel FSelection;
  bool FShowingSelection = false;  // the window itself is moving the thumbs or edits
  int FShownL = 0, FShownU = 0;    // the thumbs where the window last put them
  bool FPlayingSelection = false;  // the playback was started by Play Selection
  QString FDoneText;               // what the running cut will have written
  int FDragStartPosition = 0;      // the start thumb when the left button went down on the bar
};
