// The batch of the segment cut: pieces cut to work files, the joins, and the end of a batch
// however it ends.
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <stdexcept>

#include "app/easy_cut_window.h"
#include "app/message_box.h"
#include "app/window_parts.h"
#include "cutting/mp3_cut_settings.h"
#include "cutting/safe_output.h"
#include "cutting/selection_frames.h"
#include "cutting/time_text.h"
#include "cutting/wma_cut_settings.h"

namespace {

using window_parts::KindExtension;

namespace fs = std::filesystem;

const char kWork[] = ".wav";  // the work files are PCM WAV whatever the input's kind

// The frames of one kept piece; "to the end" and an end past the data are asked for as the
// last frame the source reports (an open range from a later start would read one too many).
TFrameRange PieceFrames(const TKeptPiece& piece, TAuFileIn& source) {
  const int64_t total = source.TotalSamples();
  TFrameRange range =
      SelectionToFrames(piece.StartMs, piece.EndMs, piece.ToEnd, source.SampleRate());
  if (range.EndSample < 0 || range.EndSample >= total) range.EndSample = total - 1;
  if (range.StartSample >= total)
    throw std::runtime_error("a piece starts after the end of the sound");
  return range;
}

// The frames a source handed over in the run just ended.
int64_t FramesDelivered(TAuFileIn& source) {
  const int width = source.BitsPerSample() / 8 * std::max(source.Channels(), 1);
  return width > 0 ? source.Position() / width : 0;
}

}  // namespace

std::vector<TSegmentRow> TfrmEasyCut::Rows() const {
  std::vector<TSegmentRow> rows;
  for (int row = 0; row < lvMain->rowCount(); ++row)
    rows.push_back(
        {lvMain->item(row, 0)->text().toStdString(), lvMain->item(row, 1)->text().toStdString()});
  return rows;
}

QString TfrmEasyCut::ChooseTarget(const QString& extension, bool& replace) {
  const QString target =
      window_parts::ChooseSaveName(this, QFileInfo(eOpenFile->text()).path(), extension);
  if (target.isEmpty()) return {};

  // The writers choose their container by the name; another kind's name would mislabel it.
  if (QString::fromStdString(KindExtension(target)) != extension) {
    ShowMessage(tr("Please save the file as a %1 file like the input file.").arg(extension));
    return {};
  }
  if (SameFile(eOpenFile->text().toStdString(), target.toStdString())) {
    ShowMessage(
        tr("The result cannot be saved over the file it is cut from. "
           "Please choose another name."));
    return {};
  }
  if (!window_parts::MayWriteTo(this, target, replace)) return {};
  return target;
}

void TfrmEasyCut::aStartCutExecute() {
  if (Running()) return;
  const QString input = eOpenFile->text();
  if (input.isEmpty() || !QFileInfo(input).isFile())
    return ShowMessage(tr("Please open a sound file fristly."));
  const std::vector<TSegmentRow> rows = Rows();
  if (!RowsInSequence(rows))
    return ShowMessage(tr("Please make sure that the list of data in sequence!"));
  const TSegmentPlan plan = PlanSegmentCut(rows, FileLengthMs);
  // Refused before the name is asked for: there would be nothing to write.
  if (plan.Pieces.empty())
    return ShowMessage(
        tr("The list removes the whole file: nothing would be left to save. "
           "Please shorten or remove a row."));

  const std::string kind = KindExtension(input);
  OutputFileName.clear();
  bool replace = false;
  const QString target = ChooseTarget(QString::fromStdString(kind), replace);
  if (target.isEmpty()) return;
  OutputFileName = target;

  FInput = input.toStdString();
  FKind = kind;
  FPieces = plan.Pieces;
  CutPoints.clear();
  for (const std::string& point : plan.CutPoints) CutPoints << QString::fromStdString(point);
  PieceCount = static_cast<int>(FPieces.size());
  FJoins = JoinChain(PieceCount, kWork);
  FHeld.clear();
  FBatch = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  FWaitCursor = true;
  UpdateActions();
  Cutting = true;
  StepsDone = 0;
  setWindowTitle(BaseCaption + QStringLiteral(" - Cutting ... 1/%1").arg(PieceCount));
  try {
    FOutputTemp = FRun.OpenTarget(target.toStdString(), replace, {FInput});
    if (PieceCount > 1) FWork = std::make_unique<TSegmentWorkFolder>(FWorkFolder);
    CutPiece(1);
  } catch (const std::exception& e) {
    EndBatch(e.what());
  }
}

TAuFileIn& TfrmEasyCut::Source() {
  if (FKind == ".mp3") return MP3In1;
  if (FKind == ".wma") return WMIn1;
  return WaveIn1;
}

// Piece k (from 1) of the input; into the output when it is the only one, else into a work
// file.
void TfrmEasyCut::CutPiece(int k) {
  TAuFileIn& source = Source();
  source.SetFileName(FInput);
  if (!source.Valid()) throw std::runtime_error("the file holds no sound this program can read");
  const TFrameRange range = PieceFrames(FPieces[static_cast<size_t>(k) - 1], source);
  source.StartSample = range.StartSample;
  source.EndSample = range.EndSample;
  TAuFileOut* sink = &WaveOut1;
  if (PieceCount > 1) {
    WaveOut1.SetFileName(*FWork / PieceFileName(k, kWork));
  } else {
    if (FKind == ".mp3") sink = &MP3Out1, SetUpMP3Cut(MP3In1, MP3Out1);
    if (FKind == ".wma") sink = &WMAOut1, SetUpWMACut(WMIn1, WMAOut1);
    sink->SetFileName(FOutputTemp);
  }
  sink->SetInput(&source);
  FRun.Start(*sink);
}

// Join k (from 1) of the chain; the last writes the output in the input's format, its tags
// and encoder settings taken from the input file.
void TfrmEasyCut::JoinPair(int k) {
  const TJoinStep& step = FJoins[static_cast<size_t>(k) - 1];
  WaveIn1.SetFileName(*FWork / step.First);
  WaveIn2.SetFileName(*FWork / step.Second);
  WaveIn1.StartSample = 0;
  WaveIn2.StartSample = 0;
  WaveIn1.EndSample = FHeld[step.First] - 1;
  WaveIn2.EndSample = FHeld[step.Second] - 1;
  AudioMixer1.SetInput1(&WaveIn1);
  AudioMixer1.SetInput2(&WaveIn2);
  TAuFileOut* sink = &WaveOut1;
  if (!step.Output.empty()) {
    WaveOut1.SetFileName(*FWork / step.Output);
  } else {
    if (FKind == ".mp3") {
      MP3In1.SetFileName(FInput);
      sink = &MP3Out1, SetUpMP3Cut(MP3In1, MP3Out1);
    }
    if (FKind == ".wma") {
      WMIn1.SetFileName(FInput);
      sink = &WMAOut1, SetUpWMACut(WMIn1, WMAOut1);
    }
    sink->SetFileName(FOutputTemp);
  }
  sink->SetInput(&AudioMixer1);
  FRun.Start(*sink);
}

// The end of every run: the next run of the batch starts, or the batch ends; a failed run
// ends it at once.
void TfrmEasyCut::WaveOut1Done() {
  if (!FRun.Running()) return;
  const bool last = Cutting ? PieceCount == 1 : StepsDone == PieceCount - 1;
  const std::string error = FRun.Finish(last);
  if (!error.empty()) return EndBatch(error);
  try {
    if (Cutting) {
      if (PieceCount > 1) FHeld[PieceFileName(StepsDone + 1, kWork)] = FramesDelivered(Source());
      StepsDone += 1;
      if (StepsDone == PieceCount) {
        if (PieceCount == 1) return EndBatch({});
        Cutting = false;
        StepsDone = 1;
        setWindowTitle(BaseCaption + QStringLiteral(" - Joining ... 1/%1").arg(PieceCount));
        return JoinPair(1);
      }
      const int k = StepsDone + 1;
      setWindowTitle(BaseCaption + QStringLiteral(" - Cutting ... %1/%2").arg(k).arg(PieceCount));
      return CutPiece(k);
    }
    const TJoinStep& done = FJoins[static_cast<size_t>(StepsDone) - 1];
    if (!done.Output.empty()) FHeld[done.Output] = FHeld[done.First] + FHeld[done.Second];
    StepsDone += 1;
    const int k = StepsDone;
    if (k == PieceCount) return EndBatch({});
    setWindowTitle(BaseCaption + QStringLiteral(" - Joining ... %1/%2").arg(k).arg(PieceCount));
    JoinPair(k);
  } catch (const std::exception& e) {
    EndBatch(e.what());
  }
}

// However the batch ends, its work files go, and so does the output's temporary file unless
// the last run moved it into place.
void TfrmEasyCut::EndBatch(const std::string& error) {
  FRun.Stop();
  FWork.reset();
  FBatch = false;
  Cutting = false;
  setWindowTitle(BaseCaption);
  if (FWaitCursor) QApplication::restoreOverrideCursor();
  FWaitCursor = false;
  UpdateActions();
  if (error.empty()) return;
  // Shown once the engine's call has returned, so that its dispatcher is not held up.
  const QString text = tr("The segment cut failed: %1").arg(QString::fromStdString(error));
  QTimer::singleShot(0, this, [this, text] { ShowMessage(text); });
}

void TfrmEasyCut::StopBatch() {
  EndBatch({});
}
