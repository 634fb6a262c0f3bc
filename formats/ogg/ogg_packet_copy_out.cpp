// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/ogg/ogg_packet_copy_out.h"

#include <cmath>
#include <string>
#include <system_error>

#include "formats/ogg/ogg_packet_reader.h"
#include "formats/ogg/ogg_page_writer.h"
#include "formats/ogg/ogg_stream_index.h"
#include "pipeline/au_exception.h"
#include "pipeline/au_file_stream.h"
#include "pipeline/file_input.h"

namespace {

// Bytes of packets copied in one step: a stop is heard at once, and the copy still runs at
// the disk's pace.
constexpr int64_t kStepBytes = 1 << 20;

using TPageEnd = TOggPageWriter::TPageEnd;

}  // namespace

struct TOggPacketCopyOut::TRunState {
  std::unique_ptr<TAuFileStream> Source;
  TOggStreamIndex Index;
  TOggCopyPlan Plan;
  std::unique_ptr<TOggPacketReader> Reader;
  std::unique_ptr<TOggPageWriter> Writer;
  size_t Next = 0;  // the next packet to copy
  TOggPacket Packet;
  bool CreatedFile = false;
  bool Completed = false;
};

TOggPacketCopyOut::TOggPacketCopyOut() = default;

TOggPacketCopyOut::~TOggPacketCopyOut() {
  Shutdown();
}

void TOggPacketCopyOut::PrepareOutput() {
  // A source reading a file its caller holds open is copied from that file.
  TAuFileIn* source =
      &CopiedSource("Only the packets of an Ogg Opus or Vorbis file can be kept as they are");
  FLeadIn = 0;
  auto run = std::make_unique<TRunState>();
  run->Source = OpenCopiedFile(*source);
  run->Index = IndexOggStream(*run->Source);
  const int64_t start = source->StartSample, end = source->EndSample;
  // The range is good for one read, as for a source read through.
  source->StartSample = 0;
  source->EndSample = -1;
  run->Plan = PlanOggCopy(run->Index, start, end);
  int64_t total = 0;
  for (size_t k = run->Plan.First; k <= run->Plan.Last; ++k) total += run->Index.Packets[k].Bytes;
  FBytesToCopy = total;

  const TOggAudioPacket& first = run->Index.Packets[run->Plan.First];
  run->Reader = std::make_unique<TOggPacketReader>(*run->Source);
  run->Reader->SeekToPage(first.PageOffset);
  for (int k = 0; k < first.IndexOnPage; ++k)
    if (!run->Reader->Next(run->Packet)) throw EAuException("The Ogg file changed while read");
  run->Next = run->Plan.First;

  FRun = std::move(run);
  TRunState& state = *FRun;
  try {
    CreateStream();
    state.CreatedFile = !StreamAssigned;
    state.Writer = std::make_unique<TOggPageWriter>(
        TOggPageWriter::NewSerial(),
        [this](const uint8_t* data, size_t size) { WriteCopied(data, size, "ogg"); });
    WriteHeaders(state);
  } catch (...) {
    // FinishOutput does not follow a failed start.
    DiscardFile(state);
    FRun.reset();
    throw;
  }
}

void TOggPacketCopyOut::WriteHeaders(TRunState& run) {
  const TOggStreamIndex& index = run.Index;
  std::vector<uint8_t> id = index.IdHeader, comment;
  if (index.Codec == TOggCodec::Opus) {
    TOpusHead head = index.Opus;
    head.PreSkip = static_cast<uint16_t>(run.Plan.Start - run.Plan.Base);
    id = MakeOpusHead(head);
    comment = MakeOpusTags(index.Vendor, XiphTags());
  } else {
    comment = MakeVorbisComment(index.Vendor, XiphTags());
  }
  // Each header stands on its own pages, and the audio begins a fresh one.
  run.Writer->Add(id.data(), id.size(), 0, TPageEnd::Page);
  run.Writer->Add(comment.data(), comment.size(), 0, TPageEnd::Page);
  if (index.Codec == TOggCodec::Vorbis)
    run.Writer->Add(index.SetupHeader.data(), index.SetupHeader.size(), 0, TPageEnd::Page);
}

bool TOggPacketCopyOut::WriteBlock(bool Abort) {
  if (!Active) return true;
  if (Abort || !FRun || FRun->Completed) return false;
  return CopyStep(*FRun);
}

bool TOggPacketCopyOut::CopyStep(TRunState& run) {
  const TOggCopyPlan& plan = run.Plan;
  const std::vector<TOggAudioPacket>& packets = run.Index.Packets;
  int64_t stepBytes = 0;
  while (run.Next <= plan.Last && stepBytes < kStepBytes) {
    if (!run.Reader->Next(run.Packet) ||
        run.Packet.Data.size() != static_cast<size_t>(packets[run.Next].Bytes))
      throw EAuException("The Ogg file changed while read");
    const size_t k = run.Next++;
    // The last packet stands alone on the last page, and a Vorbis stream's first page holds
    // at least the first two packets: FFmpeg reads the start and the end from such pages.
    TPageEnd end = TPageEnd::WhenFull;
    int64_t granule = packets[k].Start + packets[k].Samples - plan.Base;
    if (k == plan.Last) {
      end = TPageEnd::Stream;
      granule = plan.End - plan.Base;
    } else if (k + 1 == plan.Last) {
      end = TPageEnd::Page;
    }
    if (k == plan.First && run.Index.Codec == TOggCodec::Vorbis && granule < 0)
      end = TPageEnd::Never;
    run.Writer->Add(run.Packet.Data.data(), run.Packet.Data.size(), granule, end);
    stepBytes += static_cast<int64_t>(run.Packet.Data.size());
    FBytesCopied += static_cast<int64_t>(run.Packet.Data.size());
  }
  if (run.Next <= plan.Last) return true;
  CompleteFile(run);
  return false;
}

void TOggPacketCopyOut::CompleteFile(TRunState& run) {
  CloseStream();
  run.Completed = true;
  FLeadIn = run.Plan.LeadIn;
  FSamplesKept = run.Plan.End - run.Plan.Start;
}

void TOggPacketCopyOut::DiscardFile(TRunState& run) {
  RemoveCreatedFile(run.CreatedFile);
}

void TOggPacketCopyOut::FinishOutput() {
  std::unique_ptr<TRunState> run = std::move(FRun);
  if (!run) return;
  // A stopped or failed copy leaves nothing: part of the packets without the last granule
  // would not play as what was asked for.
  if (!run->Completed) DiscardFile(*run);
}
