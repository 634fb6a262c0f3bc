#pragma once

#include <QString>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "app/main_thread_pump.h"
#include "controls/tracker2.h"
#include "formats/media/mp3_in.h"
#include "formats/media/wm_in.h"
#include "formats/media/wma_out.h"
#include "formats/mp3out/mp3_out.h"
#include "formats/wave/wave_in.h"
#include "formats/wave/wave_out.h"
#include "platform/media_player.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class TBanner;
class TLinkLabel;
class TSafeOutput;

// The main window: open one sound file, choose a stretch of it on the track bar (half a
// second a unit) or by typing times, and save that stretch as a new file of the same format.
// The window owns one ready-wired pipeline per format; a cut writes through the safe save,
// so a failed or stopped cut never touches an older file of the chosen name.
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
  bool Cutting() const { return FRunning != nullptr; }

  QLineEdit* eOpenFile;
  QPushButton* bOpen;
  TTrackBar2* tbAudio;
  QLineEdit* eStart;
  QLineEdit* eEnd;
  QLabel* Label1;
  QLabel* lFileTime;
  QPushButton* bPlay;
  QPushButton* bPause;
  QPushButton* bStop;
  QPushButton* bMarkStart;
  QPushButton* bMarkEnd;
  QPushButton* bPlaySelection;
  QPushButton* bStartCut;
  QPushButton* bEasyCut;
  QPushButton* bJoiner;
  QPushButton* bAbout;
  QMenu* pmAbout;
  TBanner* imgTitle;
  TLinkLabel* Image1;
  TLinkLabel* lTitle;
  TLinkLabel* lUpdate;
  QLabel* iUpdate;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildControls();
  void BuildAboutMenu();
  void WirePipelines();
  void FormCreate();
  void FormShow();
  void UpdateFileControls();

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
  void SinkException(TAuOutput& sink);

  // The format step: sets up and starts the pipeline of the source's kind, writing through
  // the safe save into `target`. Raises with the text to show when it cannot start.
  void StartFormatStep(const std::filesystem::path& source, const std::filesystem::path& target,
                       bool replace);
  void SetRange(TAuFileIn& source);
  void StopCut();
  void ShowMessage(const QString& text);
  QString LastFolder(const char* key) const;
  void RememberFolder(const char* key, const QString& file);

  // Declared first: the engine's events reach the window until its sinks are gone.
  TMainThreadPump Pump;
  trimora::media::TMediaPlayer MediaPlayer1;
  // Sources before sinks, so that every sink is gone before the source it reads.
  TWaveIn WaveIn1;
  TMP3In MP3In1;
  TWMIn WMIn1;
  TWaveOut WaveOut1;
  TMP3Out MP3Out1;
  TWMAOut WMAOut1;

  TAuFileOut* FRunning = nullptr;  // the sink of the cut in progress
  std::unique_ptr<TSafeOutput> FOutput;
  std::string FRunError;
  bool FCheckingExit = false;  // a check's message box is up: focus changes are its own
};
