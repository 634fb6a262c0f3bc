// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <filesystem>
#include <memory>
#include <string>

#include "app/run_dialog.h"
#include "cutting/file_kinds.h"
#include "cutting/output_run.h"
#include "formats/media/mp3_in.h"
#include "formats/media/wm_in.h"
#include "formats/media/wma_out.h"
#include "formats/mp3out/mp3_out.h"
#include "formats/wave/wave_in.h"
#include "formats/wave/wave_out.h"
#include "mix/audio_mixer.h"
#include "mix/converting_input.h"

class QButtonGroup;
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
  void WirePipelines();
  void OpenInto(QLineEdit* edit, int side);
  void bOpen1Click();
  void bOpen2Click();
  void bStartClick();
  void SinkProgress(TAuOutput& sink);
  void WaveOut1Done();

  // Asks for the output's name; empty when the user cancelled or the name was refused.
  QString ChooseTarget(TFileKind kind, bool& replace);
  // The two sources and the sink the window holds for a kind.
  struct TKindPipeline {
    TAuFileIn& Input1;
    TAuFileIn& Input2;
    TAuFileOut& Output;
  };
  TKindPipeline PipelineOf(TFileKind kind);
  // Wires the pipeline of `kind` and starts it into the safe save of `target`. Raises with
  // the text to show when it cannot start.
  void StartRun(TFileKind kind, const QString& target, bool replace);
  // Back to idle: caption, Start, cursor.
  void EndRun();
  void ShowMessage(const QString& text);

  // Sources before the converter and the mixer, and those before the sinks, so that every
  // reader is gone before what it reads.
  TWaveIn WaveIn1;
  TWaveIn WaveIn2;
  TMP3In MP3In1;
  TMP3In MP3In2;
  TWMIn WMIn1;
  TWMIn WMIn2;
  TConvertingInput Converter2;  // the second input in the first one's format
  TAudioMixer AudioMixer1;
  TWaveOut WaveOut1;
  TMP3Out MP3Out1;
  TWMAOut WMAOut1;

  QButtonGroup* FModes = nullptr;
  QString FCaption;  // as it was when the window was made
  TOutputRun FRun;
  bool FWaitCursor = false;
};
