// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3copy/mp3_pieces_copy_out.h"

#include <algorithm>

#include "formats/media/audio_stream.h"
#include "formats/mp3copy/mp3_bridge.h"
#include "formats/mp3copy/mp3_copy_plan.h"
#include "formats/mp3copy/mp3_pieces_plan.h"
#include "formats/mp3out/id3v1_record.h"
#include "formats/mp3out/info_tag_frame.h"
#include "formats/mp3out/mp3_tag_writer.h"
#include "pipeline/au_exception.h"
#include "pipeline/au_file_stream.h"
#include "pipeline/file_input.h"

using namespace trimora::media;

namespace {

// Bytes copied in one step: the disk's pace, and a stop heard at once.
constexpr int64_t kStepBytes = 1 << 20;

const char* const kRefusal = "Only the frames of an MP3 file can be kept as they are";

// One source file read for its frames.
struct TOpenedMp3 {
  std::unique_ptr<TAuFileStream> Stream;
  std::unique_ptr<TAudioStream> Adapter;
  std::unique_ptr<TMediaByteReader> Reader;
  std::unique_ptr<TMp3FrameIndex> Index;
  TMp3Start Start;
};

// The seek table of a variable-bit-rate output: entry i is where the frame at i percent of
// the frames starts, in 256ths of the bytes.
std::vector<uint8_t> SeekTable(const std::vector<uint32_t>& frameBytes, uint64_t tagBytes) {
  std::vector<uint64_t> starts;
  starts.reserve(frameBytes.size());
  uint64_t at = tagBytes;
  for (const uint32_t bytes : frameBytes) {
    starts.push_back(at);
    at += bytes;
  }
  std::vector<uint8_t> table(100);
  for (size_t i = 0; i < table.size() && !starts.empty(); ++i)
    table[i] =
        static_cast<uint8_t>(std::min<uint64_t>(255, starts[i * starts.size() / 100] * 256 / at));
  return table;
}

}  // namespace

struct TMP3PiecesCopyOut::TRunState {
  std::vector<TOpenedMp3> Files;
  std::vector<TMp3PieceSource> Sources;
  TMp3PiecesPlan Plan;
  TMp3JoinFades Fades;
  size_t NextRun = 0;
  int64_t NextFrame = 0;  // within a copied run
  int64_t TagOffset = 0;
  size_t TagBytes = 0;
  uint64_t AudioBytes = 0;
  uint16_t MusicCrc = 0;
  std::vector<uint32_t> FrameBytes;  // of every audio frame written, for the seek table
  std::vector<uint8_t> Buffer;
  bool CreatedFile = false;
  bool Completed = false;
};

TMP3PiecesCopyOut::TMP3PiecesCopyOut() = default;

TMP3PiecesCopyOut::~TMP3PiecesCopyOut() {
  Shutdown();
}

std::vector<TPiecesCopyOut::TJoin> TMP3PiecesCopyOut::PlannedJoins() {
  const std::unique_ptr<TRunState> run = Plan();
  std::vector<TJoin> joins;
  for (size_t k = 0; k < run->Plan.Joins.size(); ++k)
    joins.push_back({run->Plan.Joins[k] - run->Plan.JoinRaw0, run->Plan.Shifts[k]});
  return joins;
}

std::unique_ptr<TMP3PiecesCopyOut::TRunState> TMP3PiecesCopyOut::Plan() {
  auto* first = dynamic_cast<TAuFileIn*>(Input());
  if (first == nullptr) throw EAuException(kRefusal);
  auto run = std::make_unique<TRunState>();
  std::vector<TAuFileIn*> inputs{first};
  if (FFollowing != nullptr) inputs.push_back(FFollowing);
  for (TAuFileIn* input : inputs) {
    TOpenedMp3 file;
    file.Stream = OpenCopiedFile(*input);
    file.Adapter = std::make_unique<TAudioStream>(*file.Stream);
    file.Reader = std::make_unique<TMediaByteReader>(*file.Adapter);
    file.Start = LocateCopyableAudio(*file.Reader);
    file.Index = std::make_unique<TMp3FrameIndex>(*file.Reader, file.Start);
    run->Files.push_back(std::move(file));
  }
  for (TOpenedMp3& file : run->Files)
    run->Sources.push_back({file.Reader.get(), file.Start, file.Index.get()});
  std::vector<TMp3Piece> pieces;
  for (const TPiece& piece : FPieces) pieces.push_back({0, piece.StartSample, piece.EndSample});
  if (pieces.empty()) pieces.push_back({0, 0, -1});
  if (FFollowing != nullptr) pieces.push_back({1, 0, -1});
  run->Fades = {FFadeOut, FFadeIn};
  run->Plan = PlanMp3Pieces(run->Sources, pieces, run->Fades);
  return run;
}

void TMP3PiecesCopyOut::PrepareOutput() {
  CopiedSource(kRefusal);
  std::unique_ptr<TRunState> run = Plan();
  // The ranges are good for one read, as for a source read through.
  for (TAuInput* input : {Input(), static_cast<TAuInput*>(FFollowing)}) {
    if (auto* file = dynamic_cast<TAuFileIn*>(input)) {
      file->StartSample = 0;
      file->EndSample = -1;
    }
  }
  run->TagBytes = static_cast<size_t>(InfoTagFrameBytes(run->Plan.AudioHeader));
  if (run->TagBytes == 0) throw EAuException("No MP3 tag frame fits this stream");
  int64_t total = 0;
  for (const TMp3PiecesRun& part : run->Plan.Runs) {
    if (part.Bridge) {
      total += int64_t{part.Request.Frames} * run->Files[0].Start.Header.FrameBytes;
      continue;
    }
    TMp3FrameIndex& index = *run->Files[static_cast<size_t>(part.Source)].Index;
    for (int64_t k = part.From; k <= part.To; ++k) total += index.Frame(k).Bytes;
  }
  FBytesToCopy = total;
  if (!run->Plan.Runs.empty() && !run->Plan.Runs[0].Bridge) run->NextFrame = run->Plan.Runs[0].From;

  FRun = std::move(run);
  TRunState& state = *FRun;
  try {
    CreateStream();
    state.CreatedFile = !StreamAssigned;
    state.TagOffset = Stream->Position();
    WriteCopied(std::vector<uint8_t>(state.TagBytes, 0).data(), state.TagBytes, "mp3");
    WriteCopied(state.Plan.LeadIn.data(), state.Plan.LeadIn.size(), "mp3");
    state.MusicCrc = TagCrc16(state.Plan.LeadIn);
    state.AudioBytes = state.Plan.LeadIn.size();
    state.FrameBytes.push_back(static_cast<uint32_t>(state.Plan.LeadIn.size()));
  } catch (...) {
    RemoveCreatedFile(state.CreatedFile);
    FRun.reset();
    throw;
  }
}

bool TMP3PiecesCopyOut::WriteBlock(bool Abort) {
  if (!Active) return true;
  if (Abort || !FRun || FRun->Completed) return false;
  return Step(*FRun);
}

bool TMP3PiecesCopyOut::Step(TRunState& run) {
  if (run.NextRun >= run.Plan.Runs.size()) {
    CompleteFile(run);
    return false;
  }
  if (run.Plan.Runs[run.NextRun].Bridge)
    WriteBridge(run);
  else
    CopyFrames(run);
  return true;
}

void TMP3PiecesCopyOut::CopyFrames(TRunState& run) {
  const TMp3PiecesRun& part = run.Plan.Runs[run.NextRun];
  TOpenedMp3& file = run.Files[static_cast<size_t>(part.Source)];
  // Neighbouring frames are read and written together; a damaged stretch between frames is
  // left out, as a decoder passes over it.
  const int64_t next = ReadAdjoiningFrames(*file.Index, *file.Stream, run.NextFrame, part.To,
                                           kStepBytes, run.Buffer);
  for (int64_t k = run.NextFrame; k < next; ++k)
    run.FrameBytes.push_back(file.Index->Frame(k).Bytes);
  WriteCopied(run.Buffer.data(), run.Buffer.size(), "mp3");
  run.MusicCrc = TagCrc16(run.Buffer, run.MusicCrc);
  run.AudioBytes += run.Buffer.size();
  FBytesCopied += static_cast<int64_t>(run.Buffer.size());
  run.NextFrame = next;
  if (next > part.To) {
    ++run.NextRun;
    if (run.NextRun < run.Plan.Runs.size() && !run.Plan.Runs[run.NextRun].Bridge)
      run.NextFrame = run.Plan.Runs[run.NextRun].From;
  }
}

void TMP3PiecesCopyOut::WriteBridge(TRunState& run) {
  const TMp3PiecesRun& part = run.Plan.Runs[run.NextRun];
  const int perFrame = run.Files[0].Start.Header.SamplesPerFrame;
  const TMp3BridgeInput input = Mp3BridgeInput(part.Request, perFrame);
  const std::vector<int16_t> sound =
      Mp3JoinedSound(run.Sources, run.Plan, input.From, input.To, run.Fades);
  for (const std::vector<uint8_t>& frame : EncodeMp3Bridge(part.Request, sound)) {
    WriteCopied(frame.data(), frame.size(), "mp3");
    run.MusicCrc = TagCrc16(frame, run.MusicCrc);
    run.AudioBytes += frame.size();
    run.FrameBytes.push_back(static_cast<uint32_t>(frame.size()));
    FBytesCopied += static_cast<int64_t>(frame.size());
  }
  ++run.NextRun;
  if (run.NextRun < run.Plan.Runs.size() && !run.Plan.Runs[run.NextRun].Bridge)
    run.NextFrame = run.Plan.Runs[run.NextRun].From;
}

void TMP3PiecesCopyOut::CompleteFile(TRunState& run) {
  const auto record = MakeId3v1Record(Id3v1Tags());
  WriteCopied(record.data(), record.size(), "mp3");
  const TMp3PiecesPlan& plan = run.Plan;
  TInfoTagFacts facts;
  facts.AudioHeader = plan.AudioHeader;
  facts.Frames = static_cast<uint32_t>(run.FrameBytes.size());
  facts.AudioBytes = run.AudioBytes;
  facts.MusicCrc = run.MusicCrc;
  facts.Delay = plan.Delay;
  facts.Padding = plan.Padding;
  facts.Vbr = plan.Vbr;
  if (plan.Vbr)
    facts.Toc = SeekTable(run.FrameBytes, run.TagBytes);
  else if (const auto header = ParseMpegHeader(plan.AudioHeader))
    facts.Kbps = header->Bitrate / 1000;
  facts.Encoder = run.Files[0].Start.Tag.Encoder.empty() ? "LAME" : run.Files[0].Start.Tag.Encoder;
  const std::vector<uint8_t> frame = MakeInfoTagFrame(facts);
  RewriteCopiedAt(run.TagOffset, frame, "mp3");
  CloseStream();
  run.Completed = true;
  if (!StreamAssigned && !WideFileName.empty()) WriteMP3Tags(WideFileName, Id3v2Tags());
  FSamplesKept = plan.Samples;
}

void TMP3PiecesCopyOut::FinishOutput() {
  std::unique_ptr<TRunState> run = std::move(FRun);
  if (!run) return;
  if (!run->Completed) RemoveCreatedFile(run->CreatedFile);
}
