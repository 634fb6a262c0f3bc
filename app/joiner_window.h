// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <filesystem>
#include <memory>
#include <string>

#include "app/run_dialog.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/operations/join_run.h"
#include "cutting/save/output_run.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Joins two sound files of one kind (the first followed by the second) or mixes them into a
// new file of that kind. For each kind two file sources feed the one mixer, which feeds the
// sink of that kind; the second source reaches the mixer converted to the first one's
// format. Everything but the second file's sound (format, encoder settings, tags) comes from
// the first file, and the result is written through the safe save.
//
// The engine's events reach the window through the application's TMainThreadPump (the main
// window's), which must live as long as a run does.
class TRunStatus;

class TfrmJoiner : public TRunDialog {
  Q_OBJECT

 public:
  explicit TfrmJoiner(QWidget* parent = nullptr);
  ~TfrmJoiner() override;

  // Whether a join or mix is running.
  bool Running() const override { return FRun.Running(); }
  // The item of rgMode: 0 "Joiner", 1 "Mixer".
  QRadioButton* ModeItem(int index) const;

  QLineEdit* eFile1;
  QLineEdit* eFile2;
  QPushButton* bOpen1;
  QPushButton* bOpen2;
  QGroupBox* rgMode;
  QPushButton* bStart;
  QPushButton* bClose;

 protected:
  QString StopQuestion() const override;
  // Stopping removes the temporary file; a file the user had under the chosen name stays.
  void StopRun() override;

 private:
  void BuildControls();
  void OpenInto(QLineEdit* edit);
  void bOpen1Click();
  void bOpen2Click();
  void bStartClick();
  void SinkProgress(TAuOutput& sink);
  void WaveOut1Done();

  // Asks for the output's name; empty when the user cancelled or the name was refused.
  QString ChooseTarget(const TKind& kind, bool& replace);
  // Opens the two files, makes the join or mix of `mode` and starts it into the safe save of
  // `target`. Raises with the text to show when it cannot start.
  void StartRun(TAudioMixerMode mode, const QString& target, bool replace);
  // Back to idle: caption, Start, cursor.
  void EndRun();
  void ShowMessage(const QString& text);

  // The run last started, with its sources, mixer and sink; before the run, so that the run
  // has stopped its sink before the sink goes.
  std::unique_ptr<TJoinRun> FJoin;

  QButtonGroup* FModes = nullptr;
  QString FCaption;  // as it was when the window was made
  // Not in the design, below the designed rows: the run's progress and what it wrote.
  TRunStatus* FStatus;
  // Not in the design: keep the frames away from the join, below the designed rows.
  QCheckBox* cbKeepFrames;
  void UpdateKeepFrames();
  QString FDoneText;
  TOutputRun FRun;
  bool FWaitCursor = false;
};
