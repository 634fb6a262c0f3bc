// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3copy/mp3_frame_copy_out.h"

#include <cmath>
#include <string>
#include <system_error>
#include <vector>

#include "formats/media/audio_stream.h"
#include "formats/mp3copy/mp3_copy_plan.h"
#include "formats/mp3out/id3v1_record.h"
#include "formats/mp3out/info_tag_frame.h"
#include "formats/mp3out/mp3_tag_writer.h"
#include "pipeline/au_exception.h"
#include "pipeline/au_file_stream.h"
#include "pipeline/file_input.h"

using namespace trimora::media;

namespace {

// Bytes read and written in one step: large enough that the copy runs at the disk's pace,
// small enough that a stop is heard at once.
constexpr int64_t kStepBytes = 1 << 20;

}  // namespace

struct TMP3FrameCopyOut::TRunState {
  std::unique_ptr<TAuFileStream> Source;
  std::unique_ptr<TAudioStream> SourceAdapter;
  std::unique_ptr<TMediaByteReader> Reader;
  TMp3Start Start;
  std::unique_ptr<TMp3FrameIndex> Index;
  TMp3CopyPlan Plan;
  int64_t Next = 0;       // the next source frame to copy
  int64_t TagOffset = 0;  // where the tag frame goes in the output
  size_t TagBytes = 0;
  uint64_t AudioBytes = 0;  // of the lead-in and the copied frames
  uint16_t MusicCrc = 0;
  std::vector<uint8_t> Buffer;
  bool CreatedFile = false;
  bool Completed = false;
};

TMP3FrameCopyOut::TMP3FrameCopyOut() = default;

TMP3FrameCopyOut::~TMP3FrameCopyOut() {
  Shutdown();
}

void TMP3FrameCopyOut::PrepareOutput() {
  // A source reading a file its caller holds open is copied from that file.
  TAuFileIn* source = &CopiedSource("Only the frames of an MP3 file can be kept as they are");
  auto run = std::make_unique<TRunState>();
  run->Source = OpenCopiedFile(*source);
  run->SourceAdapter = std::make_unique<TAudioStream>(*run->Source);
  run->Reader = std::make_unique<TMediaByteReader>(*run->SourceAdapter);
  run->Start = LocateCopyableAudio(*run->Reader);
  run->Index = std::make_unique<TMp3FrameIndex>(*run->Reader, run->Start);
  run->Plan =
      PlanMp3Copy(*run->Reader, run->Start, *run->Index, source->StartSample, source->EndSample);
  // The range is good for one read, as for a source read through.
  source->StartSample = 0;
  source->EndSample = -1;
  run->TagBytes = static_cast<size_t>(InfoTagFrameBytes(run->Plan.AudioHeader));
  if (run->TagBytes == 0) throw EAuException("No MP3 tag frame fits this stream");
  run->Next = run->Plan.First;
  int64_t total = 0;
  for (int64_t k = run->Plan.First; k <= run->Plan.Last; ++k) total += run->Index->Frame(k).Bytes;
  FBytesToCopy = total;

  FRun = std::move(run);
  TRunState& state = *FRun;
  try {
    CreateStream();
    state.CreatedFile = !StreamAssigned;
    state.TagOffset = Stream->Position();
    WriteCopied(std::vector<uint8_t>(state.TagBytes, 0).data(), state.TagBytes,
                "mp3");  // filled in at the end
    WriteCopied(state.Plan.LeadIn.data(), state.Plan.LeadIn.size(), "mp3");
    state.MusicCrc = TagCrc16(state.Plan.LeadIn);
    state.AudioBytes = state.Plan.LeadIn.size();
  } catch (...) {
    // FinishOutput does not follow a failed start.
    DiscardFile(state);
    FRun.reset();
    throw;
  }
}

bool TMP3FrameCopyOut::WriteBlock(bool Abort) {
  if (!Active) return true;
  if (Abort || !FRun || FRun->Completed) return false;
  return CopyStep(*FRun);
}

bool TMP3FrameCopyOut::CopyStep(TRunState& run) {
  if (run.Next > run.Plan.Last) {
    CompleteFile(run);
    return false;
  }
  // Neighbouring frames are read and written together.
  const int64_t next =
      ReadAdjoiningFrames(*run.Index, *run.Source, run.Next, run.Plan.Last, kStepBytes, run.Buffer);
  WriteCopied(run.Buffer.data(), run.Buffer.size(), "mp3");
  run.MusicCrc = TagCrc16(run.Buffer, run.MusicCrc);
  run.AudioBytes += run.Buffer.size();
  FBytesCopied += static_cast<int64_t>(run.Buffer.size());
  run.Next = next;
  return true;
}

void TMP3FrameCopyOut::CompleteFile(TRunState& run) {
  const auto record = MakeId3v1Record(Id3v1Tags());
  WriteCopied(record.data(), record.size(), "mp3");

  // The tag frame, now that the bytes and their CRC are known.
  const TMp3CopyPlan& plan = run.Plan;
  TInfoTagFacts facts;
  facts.AudioHeader = plan.AudioHeader;
  facts.Frames = static_cast<uint32_t>(plan.Last - plan.First + 2);  // with the lead-in
  facts.AudioBytes = run.AudioBytes;
  facts.MusicCrc = run.MusicCrc;
  facts.Delay = plan.Delay;
  facts.Padding = plan.Padding;
  facts.Vbr = plan.Vbr;
  if (plan.Vbr)
    facts.Toc = CopySeekTable(plan, *run.Index, run.TagBytes);
  else if (const auto header = ParseMpegHeader(plan.AudioHeader))
    facts.Kbps = header->Bitrate / 1000;
  // Decoders believe the delays only in a tag of the encoders they know; the source's own
  // name is kept when it had one.
  facts.Encoder = run.Start.Tag.Encoder.empty() ? "LAME" : run.Start.Tag.Encoder;
  const std::vector<uint8_t> frame = MakeInfoTagFrame(facts);
  RewriteCopiedAt(run.TagOffset, frame, "mp3");
  CloseStream();
  run.Completed = true;
  if (!StreamAssigned && !WideFileName.empty()) WriteMP3Tags(WideFileName, Id3v2Tags());
  FSamplesKept = plan.Samples;
}

void TMP3FrameCopyOut::DiscardFile(TRunState& run) {
  RemoveCreatedFile(run.CreatedFile);
}

void TMP3FrameCopyOut::FinishOutput() {
  std::unique_ptr<TRunState> run = std::move(FRun);
  if (!run) return;
  // A stopped or failed copy leaves nothing: a part of the frames without its tag frame
  // would not play as what was asked for.
  if (!run->Completed) DiscardFile(*run);
}
