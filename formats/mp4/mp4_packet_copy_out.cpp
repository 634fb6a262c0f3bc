// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp4/mp4_packet_copy_out.h"

#include <algorithm>
#include <string>
#include <vector>

#include "formats/mp4/alac_edge_coder.h"
#include "formats/mp4/mp4_copy_plan.h"
#include "formats/mp4/mp4_head_writer.h"
#include "formats/mp4/mp4_track.h"
#include "pipeline/au_exception.h"
#include "pipeline/au_file_stream.h"
#include "pipeline/file_input.h"
#include "tags/mp4_tags.h"

namespace {

// Bytes of packets copied in one step: a stop is heard at once, and the copy still runs at
// the disk's pace.
constexpr int64_t kStepBytes = 1 << 20;

}  // namespace

struct TMp4PacketCopyOut::TRunState {
  std::unique_ptr<TAuFileStream> Source;
  TMp4Track Track;
  TMp4CopyPlan Plan;
  bool Aac = false;
  std::string Head;
  std::string HeadPacket, TailPacket;  // ALAC's edges coded anew; empty where kept
  int64_t MediaSamples = 0;            // of the packets kept
  size_t Next = 0;                     // the next packet to copy
  std::vector<uint8_t> Buffer;
  double RateRatio = 1;  // samples the source hands out per sample of the media's clock
  bool TagsInHead = false;
  bool CreatedFile = false;
  bool Completed = false;
};

TMp4PacketCopyOut::TMp4PacketCopyOut() = default;

TMp4PacketCopyOut::~TMp4PacketCopyOut() {
  Shutdown();
}

namespace {

std::string ReadPacket(TAuFileStream& file, const TMp4Track& track, size_t k) {
  std::string bytes(track.Sizes[k], '\0');
  if (file.Seek(static_cast<int64_t>(track.Offsets[k]), soBeginning) !=
          static_cast<int64_t>(track.Offsets[k]) ||
      file.Read(bytes.data(), static_cast<int64_t>(bytes.size())) !=
          static_cast<int64_t>(bytes.size()))
    throw EAuException("The M4A file changed while read");
  return bytes;
}

}  // namespace

void TMp4PacketCopyOut::Plan(TRunState& run, TAuFileIn& source) {
  TAuFileStream& file = *run.Source;
  const auto read = [&file](uint64_t offset, uint8_t* data, size_t count) {
    return file.Seek(static_cast<int64_t>(offset), soBeginning) == static_cast<int64_t>(offset) &&
           file.Read(data, static_cast<int64_t>(count)) == static_cast<int64_t>(count);
  };
  TMp4Reading reading =
      ReadMp4Track(read, static_cast<uint64_t>(std::max<int64_t>(file.Size(), 0)));
  if (!reading.Refusal.empty())
    throw EAuException("The packets of this M4A file cannot be kept: " + reading.Refusal);
  run.Track = std::move(reading.Track);
  const TMp4Track& track = run.Track;
  run.Aac = track.Format == Fourcc("mp4a");
  if (!run.Aac && track.Format != Fourcc("alac"))
    throw EAuException("Only the packets of AAC and ALAC can be kept as they are");

  // The source counts samples at its decoder's rate, which HE-AAC doubles over the media's.
  const int rate = source.SampleRate();
  run.RateRatio = rate > 0 ? static_cast<double>(rate) / track.MediaTimescale : 1.0;
  const int64_t length = PlayedSpan(track).Length;
  const auto media = [&](int64_t samples) {
    return std::min<int64_t>(static_cast<int64_t>(samples / run.RateRatio + 0.5), length);
  };
  const int64_t start = media(source.StartSample);
  const int64_t end = source.EndSample < 0 ? length : media(source.EndSample + 1);
  // The range is good for one read, as for a source read through.
  source.StartSample = 0;
  source.EndSample = -1;
  run.Plan = PlanMp4Copy(track, start, end, run.Aac);
  const TMp4CopyPlan& plan = run.Plan;

  TMp4Layout layout;
  layout.Timescale = track.MediaTimescale;
  layout.SampleDescription = track.SampleDescription;
  layout.EditMediaTime = plan.MediaTime;
  layout.EditDuration = plan.Length;
  if (!run.Aac) {
    TAlacEdgeCoder coder(track.SampleDescription);
    const int64_t firstLength = track.Durations[plan.First];
    const int64_t headEnd = plan.First == plan.Last ? plan.TailKeep : firstLength;
    if (plan.HeadDrop > 0 || headEnd < firstLength)
      run.HeadPacket = coder.Recode(ReadPacket(file, track, plan.First), plan.HeadDrop, headEnd);
    if (plan.Last > plan.First && plan.TailKeep < track.Durations[plan.Last])
      run.TailPacket = coder.Recode(ReadPacket(file, track, plan.Last), 0, plan.TailKeep);
  }
  int64_t bytes = 0;
  for (size_t k = plan.First; k <= plan.Last; ++k) {
    uint32_t size = track.Sizes[k], duration = track.Durations[k];
    if (k == plan.First && !run.HeadPacket.empty()) {
      size = static_cast<uint32_t>(run.HeadPacket.size());
      duration = static_cast<uint32_t>((plan.First == plan.Last ? plan.TailKeep : duration) -
                                       plan.HeadDrop);
    } else if (k == plan.Last && !run.TailPacket.empty()) {
      size = static_cast<uint32_t>(run.TailPacket.size());
      duration = static_cast<uint32_t>(plan.TailKeep);
    }
    layout.Sizes.push_back(size);
    layout.Durations.push_back(duration);
    bytes += size;
    run.MediaSamples += duration;
  }
  if (run.Aac) {
    // Apple's players take the gapless figures from the tag rather than the edit list.
    Mp4Tags().SetGapless(plan.MediaTime, run.MediaSamples - plan.MediaTime - plan.Length,
                         plan.Length);
  }
  // The tags go into the moov box before the data; TagLib writing them into the finished
  // file would move all of it.
  TMp4Layout bare = layout;
  bare.Sizes.clear();
  bare.Durations.clear();
  layout.UserData = RenderMp4UserData(Mp4Tags(), MakeMp4Head(bare));
  run.TagsInHead = !layout.UserData.empty() || Mp4Tags().Empty();
  run.Head = MakeMp4Head(layout);
  FBytesToCopy = bytes;
  run.Next = plan.First;
}

void TMp4PacketCopyOut::PrepareOutput() {
  // A source reading a file its caller holds open is copied from that file.
  TAuFileIn* source = &CopiedSource("Only the packets of an M4A file can be kept as they are");
  FLeadIn = 0;
  auto run = std::make_unique<TRunState>();
  run->Source = OpenCopiedFile(*source);
  Plan(*run, *source);
  FRun = std::move(run);
  TRunState& state = *FRun;
  try {
    CreateStream();
    state.CreatedFile = !StreamAssigned;
    WriteCopied(reinterpret_cast<const uint8_t*>(state.Head.data()), state.Head.size(), "m4a");
  } catch (...) {
    // FinishOutput does not follow a failed start.
    RemoveCreatedFile(state.CreatedFile);
    FRun.reset();
    throw;
  }
}

bool TMp4PacketCopyOut::WriteBlock(bool Abort) {
  if (!Active) return true;
  if (Abort || !FRun || FRun->Completed) return false;
  return CopyStep(*FRun);
}

bool TMp4PacketCopyOut::CopyStep(TRunState& run) {
  const TMp4Track& track = run.Track;
  const TMp4CopyPlan& plan = run.Plan;
  int64_t stepBytes = 0;
  while (run.Next <= plan.Last && stepBytes < kStepBytes) {
    const size_t k = run.Next;
    const std::string* edge = k == plan.First && !run.HeadPacket.empty()  ? &run.HeadPacket
                              : k == plan.Last && !run.TailPacket.empty() ? &run.TailPacket
                                                                          : nullptr;
    if (edge != nullptr) {
      WriteCopied(reinterpret_cast<const uint8_t*>(edge->data()), edge->size(), "m4a");
      FBytesCopied += static_cast<int64_t>(edge->size());
      stepBytes += static_cast<int64_t>(edge->size());
      ++run.Next;
      continue;
    }
    // The packets that lie one after another in the source go in one read.
    size_t m = k;
    uint64_t bytes = track.Sizes[k];
    while (m + 1 <= plan.Last && bytes < static_cast<uint64_t>(kStepBytes) &&
           !(m + 1 == plan.Last && !run.TailPacket.empty()) &&
           track.Offsets[m + 1] == track.Offsets[m] + track.Sizes[m])
      bytes += track.Sizes[++m];
    run.Buffer.resize(static_cast<size_t>(bytes));
    if (run.Source->Seek(static_cast<int64_t>(track.Offsets[k]), soBeginning) !=
            static_cast<int64_t>(track.Offsets[k]) ||
        run.Source->Read(run.Buffer.data(), static_cast<int64_t>(bytes)) !=
            static_cast<int64_t>(bytes))
      throw EAuException("The M4A file changed while read");
    WriteCopied(run.Buffer.data(), run.Buffer.size(), "m4a");
    FBytesCopied += static_cast<int64_t>(bytes);
    stepBytes += static_cast<int64_t>(bytes);
    run.Next = m + 1;
  }
  if (run.Next <= plan.Last) return true;
  CompleteFile(run);
  return false;
}

void TMp4PacketCopyOut::CompleteFile(TRunState& run) {
  CloseStream();
  const TMp4CopyPlan& plan = run.Plan;
  if (!run.TagsInHead && !StreamAssigned && !WideFileName.empty() &&
      !WriteMp4Tags(WideFileName, Mp4Tags()))
    throw EAuException("The tags could not be written into '" + WideFileName.string() + "'");
  run.Completed = true;
  FLeadIn = static_cast<int64_t>(plan.MediaTime * run.RateRatio + 0.5);
  FSamplesKept = static_cast<int64_t>(plan.Length * run.RateRatio + 0.5);
}

void TMp4PacketCopyOut::FinishOutput() {
  std::unique_ptr<TRunState> run = std::move(FRun);
  if (!run) return;
  // A stopped or failed copy leaves nothing: packets without the moov's promise kept would
  // not play as what was asked for.
  if (!run->Completed) RemoveCreatedFile(run->CreatedFile);
}
