#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/output_run.h"
#include "app/run_dialog.h"
#include "cutting/segment_plan.h"
#include "formats/media/mp3_in.h"
#include "formats/media/wm_in.h"
#include "formats/media/wma_out.h"
#include "formats/mp3out/mp3_out.h"
#include "formats/wave/wave_in.h"
#include "formats/wave/wave_out.h"
#include "mix/audio_mixer.h"
#include "platform/media_player.h"

class QAction;
class QActionGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The segment cut: removes a list of stretches from one WAV, MP3 or WMA file and writes the
// rest, joined, into a new file of the same format. A batch cuts each kept piece into a PCM
// WAV work file, then joins them two at a time (the intermediate joins are WAV work files
// too); only the last run writes the output's format, with the source's tags and encoder
// settings, so every kept sample passes through a lossy encoder once. A batch of one piece
// writes the output directly. Each run is started from the previous run's OnDone.
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
  // Whether a batch is running.
  bool Running() const override { return FBatch; }
  // The folder the batches' work folders are made in.
  const std::filesystem::path& WorkFolder() const { return FWorkFolder; }

  QGroupBox* GroupBox2;
  QPushButton* bOpen;
  QLineEdit* eOpenFile;
  QTableWidget* lvMain;
  QGroupBox* GroupBox1;
  QLabel* Label3;
  QLineEdit* eStart;
  QLabel* Label2;
  QLabel* Label4;
  QLineEdit* eEnd;
  QLabel* Label1;
  QLabel* lFileTime;
  QPushButton* bAdd;
  QPushButton* bUP;
  QPushButton* bDown;
  QPushButton* bRemove;
  QPushButton* bRemoveAll;
  QPushButton* bStart;
  QPushButton* bClose;
  QActionGroup* ActionList1;
  QAction* aStartCut;
  QAction* aMoveUp;
  QAction* aMoveDown;
  QAction* aRemove;
  QAction* aAddList;

 protected:
  QString StopQuestion() const override;
  void StopRun() override { StopBatch(); }
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  QLayout* BuildTimeBox();
  void BuildActions();
  void WirePipelines();
  void FormCreate();

  void bOpenClick();
  bool eStartExit();
  bool eEndExit();
  bool CheckTimeEdit(QLineEdit* edit);
  void bAddClick();
  void aMoveUpExecute();
  void aMoveDownExecute();
  void MoveSelected(int by);
  void aRemoveExecute();
  void bRemoveAllClick();
  // The update rules of the four actions, run after anything they look at has changed.
  void UpdateActions();
  void aStartCutExecute();
  void WaveOut1Done();

  std::vector<TSegmentRow> Rows() const;
  int SelectedIndex() const;
  void SelectRow(int row);
  // Asks for the output's name; empty when cancelled or refused.
  QString ChooseTarget(const QString& extension, bool& replace);
  // The runs of the batch: each sets up its pipeline and starts it (raising when it cannot).
  void CutPiece(int k);
  void JoinPair(int k);
  TAuFileIn& Source();
  // Ends the batch: work files gone, caption, Start and cursor back; `error` shown if any.
  void EndBatch(const std::string& error);
  void StopBatch();
  void ShowMessage(const QString& text);

  // Sources before the mixer, and those before the sinks, so that every reader is gone
  // before what it reads.
  trimora::media::TMediaPlayer MediaPlayer1;
  TWaveIn WaveIn1;
  TMP3In MP3In1;
  TWMIn WMIn1;
  TWaveIn WaveIn2;
  // The joins read the WAV work files; these two stay unused.
  TMP3In MP3In2;
  TWMIn WMIn2;
  TAudioMixer AudioMixer1;
  TWaveOut WaveOut1;
  TMP3Out MP3Out1;
  TWMAOut WMAOut1;

  QString BaseCaption;
  std::filesystem::path FWorkFolder;
  QString OutputFileName;
  int PieceCount = 0;
  QStringList CutPoints;
  bool Cutting = false;
  int StepsDone = 0;
  int32_t FileLengthMs = 0;

  // The running batch: its input, kept pieces, work files and the frames each work file
  // holds (a WAV sink fed by a compressed source may write past the sound it was given).
  std::filesystem::path FInput;
  std::string FKind;  // ".wav", ".mp3" or ".wma"
  std::vector<TKeptPiece> FPieces;
  std::vector<TJoinStep> FJoins;
  std::unique_ptr<TSegmentWorkFolder> FWork;
  std::filesystem::path FOutputTemp;  // the safe save's file, written by the last run
  std::map<std::string, int64_t> FHeld;
  TOutputRun FRun;
  bool FBatch = false;
  bool FWaitCursor = false;
  bool FCheckingExit = false;  // a check's message box is up: focus changes are its own
};
