// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/flac/flac_frame_copy_out.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>
#include <utility>

#include "formats/flac/flac_audio_hasher.h"
#include "formats/flac/flac_frame_decoder.h"
#include "formats/flac/flac_frame_index.h"
#include "formats/flac/flac_frame_writer.h"
#include "pipeline/au_exception.h"
#include "pipeline/au_file_stream.h"
#include "pipeline/file_input.h"

namespace {

// Bytes written in one step: large enough that the copy runs at the disk's pace, small
// enough that a stop is heard at once.
constexpr size_t kStepBytes = 1 << 20;
// The format's smallest block but for the last one: a first frame that the range leaves
// shorter is coded together with the frame after it.
constexpr uint32_t kMinBlock = 16;
constexpr uint32_t kMaxBlock = 65535;
constexpr uint32_t kPaddingBytes = 8192;
constexpr char kVendor[] = "Trimora";
const char* const kRefusal = "Only the frames of a FLAC file can be kept as they are";

void AppendBlockHeader(std::vector<uint8_t>& out, uint8_t type, bool last, size_t length) {
  out.insert(out.end(),
             {static_cast<uint8_t>(type | (last ? 0x80 : 0)), static_cast<uint8_t>(length >> 16),
              static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
}

void AppendLe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The stream marker, STREAMINFO (filled in at the end), a comment block holding only our
// vendor string, and padding that the tags written afterwards take their room from.
std::vector<uint8_t> CutMetadata(const std::array<uint8_t, kFlacStreamInfoBytes>& info) {
  std::vector<uint8_t> out = {'f', 'L', 'a', 'C'};
  AppendBlockHeader(out, 0, false, info.size());
  out.insert(out.end(), info.begin(), info.end());
  const size_t vendor = sizeof kVendor - 1;
  AppendBlockHeader(out, 4, false, 4 + vendor + 4);
  AppendLe32(out, static_cast<uint32_t>(vendor));
  out.insert(out.end(), kVendor, kVendor + vendor);
  AppendLe32(out, 0);
  AppendBlockHeader(out, 1, true, kPaddingBytes);
  out.resize(out.size() + kPaddingBytes, 0);
  return out;
}

}  // namespace

struct TFlacFrameCopyOut::TRunState {
  // The files read, the first one's start giving the output's format.
  struct TFile {
    std::unique_ptr<TAuFileStream> Source;
    TFlacStart Start;
    std::unique_ptr<TFlacFrameIndex> Index;
  };
  // A stretch of a file written: samples First to End (exclusive; the largest number for the
  // stream's end).
  struct TRange {
    size_t File = 0;
    int64_t First = 0;
    int64_t End = 0;
  };
  std::vector<TFile> Files;
  std::vector<TRange> Ranges;
  size_t Range = 0;  // the one being written
  TFlacStart Start;
  TFlacFrameIndex* Index = nullptr;  // of the range's file
  std::unique_ptr<TFlacFrameDecoder> Decoder;
  std::unique_ptr<TFlacAudioHasher> Hasher;
  int64_t First = 0;             // the range's first sample
  int64_t EndSample = 0;         // after its last, or the largest number for the stream's end
  int64_t Next = 0;              // the next source frame
  uint64_t Written = 0;          // samples written so far: the next frame's number
  std::vector<int32_t> Pending;  // kept samples of cut frames, waiting to be coded
  std::vector<int32_t> Check;
  std::vector<uint8_t> Out, Coded;
  // Copied frames as the source has them, not yet handed to the hasher.
  std::vector<uint8_t> HashBytes;
  std::vector<std::pair<uint32_t, uint32_t>> HashFrames;
  int64_t HashParts = 0;
  int64_t InfoOffset = 0;  // where STREAMINFO's body lies in the output
  // Block sizes of every frame but the last so far (which is LastBlock) and frame sizes.
  uint32_t MinBlock = kMaxBlock, MaxBlock = 0, LastBlock = 0;
  uint32_t MinFrame = std::numeric_limits<uint32_t>::max(), MaxFrame = 0;
  bool CreatedFile = false;
  bool Completed = false;

  void Count(uint32_t block, size_t frameBytes) {
    if (LastBlock != 0) MinBlock = std::min(MinBlock, LastBlock);
    LastBlock = block;
    MaxBlock = std::max(MaxBlock, block);
    MinFrame = std::min(MinFrame, static_cast<uint32_t>(frameBytes));
    MaxFrame = std::max(MaxFrame, static_cast<uint32_t>(frameBytes));
    Written += block;
  }
};

TFlacFrameCopyOut::TFlacFrameCopyOut() = default;

TFlacFrameCopyOut::~TFlacFrameCopyOut() {
  Shutdown();
}

std::unique_ptr<TFlacFrameCopyOut::TRunState> TFlacFrameCopyOut::OpenRun() {
  auto* source = dynamic_cast<TAuFileIn*>(Input());
  if (source == nullptr) throw EAuException(kRefusal);
  auto run = std::make_unique<TRunState>();
  std::vector<TAuFileIn*> inputs{source};
  if (FFollowing != nullptr) inputs.push_back(FFollowing);
  for (TAuFileIn* input : inputs) {
    // A source reading a file its caller holds open is copied from that file.
    TRunState::TFile file;
    file.Source = OpenCopiedFile(*input);
    file.Start = ReadFlacStart(*file.Source);
    file.Index = std::make_unique<TFlacFrameIndex>(*file.Source, file.Start);
    run->Files.push_back(std::move(file));
  }
  run->Start = run->Files[0].Start;
  const TFlacStreamInfo& info = run->Start.Info;
  for (const TRunState::TFile& file : run->Files)
    if (file.Start.Info.SampleRate != info.SampleRate ||
        file.Start.Info.Channels != info.Channels ||
        file.Start.Info.BitsPerSample != info.BitsPerSample)
      throw EAuException(
          "The FLAC files differ in sample rate, channels or sample size, so their frames cannot "
          "be joined as they are; re-encode instead");
  const auto range = [](size_t file, int64_t start, int64_t end) {
    if (start < 0 || (end >= 0 && end < start))
      throw EAuException("The range holds no sound to keep");
    return TRunState::TRange{file, start, end < 0 ? std::numeric_limits<int64_t>::max() : end + 1};
  };
  if (FPieces.empty()) run->Ranges.push_back(range(0, source->StartSample, source->EndSample));
  for (const TPiece& piece : FPieces)
    run->Ranges.push_back(range(0, piece.StartSample, piece.EndSample));
  if (FFollowing != nullptr) run->Ranges.push_back(range(1, 0, -1));
  return run;
}

void TFlacFrameCopyOut::SelectRange(TRunState& run, size_t range) {
  const TRunState::TRange& stretch = run.Ranges[range];
  run.Range = range;
  run.Index = run.Files[stretch.File].Index.get();
  run.First = stretch.First;
  run.EndSample = stretch.End;
  run.Next = run.Index->FrameAt(stretch.First);
  if (run.Next < 0) {
    if (!run.Index->Problem().empty()) throw EAuException(run.Index->Problem());
    throw EAuException("The range holds no sound to keep");
  }
}

std::vector<TPiecesCopyOut::TJoin> TFlacFrameCopyOut::PlannedJoins() {
  const std::unique_ptr<TRunState> run = OpenRun();
  std::vector<TJoin> joins;
  int64_t at = 0;
  for (size_t k = 0; k + 1 < run->Ranges.size(); ++k) {
    const TRunState::TRange& range = run->Ranges[k];
    TFlacFrameIndex& index = *run->Files[range.File].Index;
    int64_t end = range.End;
    if (index.FrameAt(range.End - 1) < 0) {
      index.ReachEnd();
      end = index.Samples();
    }
    at += std::max<int64_t>(0, end - range.First);
    joins.push_back({at, 0});
  }
  return joins;
}

void TFlacFrameCopyOut::PrepareOutput() {
  TAuFileIn* source = &CopiedSource(kRefusal);
  std::unique_ptr<TRunState> run = OpenRun();
  // The ranges are good for one read, as for a source read through.
  for (TAuFileIn* input : {source, FFollowing}) {
    if (input == nullptr) continue;
    input->StartSample = 0;
    input->EndSample = -1;
  }
  const TFlacStreamInfo& info = run->Start.Info;
  run->Decoder = std::make_unique<TFlacFrameDecoder>(info);
  run->Hasher = std::make_unique<TFlacAudioHasher>(info);

  // The bytes to pass, as far as STREAMINFO's length tells before the frames are walked.
  int64_t toCopy = 0;
  for (size_t k = run->Ranges.size(); k-- > 0;) {
    SelectRange(*run, k);
    const TRunState::TFile& file = run->Files[run->Ranges[k].File];
    const int64_t audioBytes = file.Source->Size() - run->Index->Frame(run->Next).Offset;
    int64_t estimate = audioBytes;
    const auto total = static_cast<int64_t>(file.Start.Info.TotalSamples);
    if (run->EndSample != std::numeric_limits<int64_t>::max() && total > run->First)
      estimate =
          static_cast<int64_t>(static_cast<double>(file.Source->Size() - file.Start.AudioOffset) *
                               static_cast<double>(std::min(total, run->EndSample) - run->First) /
                               static_cast<double>(total));
    toCopy += std::max<int64_t>(1, std::min(estimate, audioBytes));
  }
  FBytesToCopy = toCopy;

  FRun = std::move(run);
  TRunState& state = *FRun;
  try {
    CreateStream();
    state.CreatedFile = !StreamAssigned;
    state.InfoOffset = Stream->Position() + 8;
    const std::vector<uint8_t> metadata = CutMetadata(state.Start.InfoBytes);
    WriteCopied(metadata.data(), metadata.size(), "flac");
  } catch (...) {
    // FinishOutput does not follow a failed start.
    DiscardFile(state);
    FRun.reset();
    throw;
  }
}

bool TFlacFrameCopyOut::WriteBlock(bool Abort) {
  if (!Active) return true;
  if (Abort || !FRun || FRun->Completed) return false;
  return CopyStep(*FRun);
}

bool TFlacFrameCopyOut::CopyStep(TRunState& run) {
  run.Out.clear();
  bool last = false;
  while (!last && run.Out.size() < kStepBytes) last = CopyFrame(run, run.Out);
  HandOverFrames(run);
  run.Hasher->Check();
  WriteCopied(run.Out.data(), run.Out.size(), "flac");
  if (last) CompleteFile(run);
  return !last;
}

// Copies source frame Next, or takes the samples the range keeps of it for coding; true
// when it was the range's last frame.
bool TFlacFrameCopyOut::CopyFrame(TRunState& run, std::vector<uint8_t>& out) {
  const TFlacFrameIndex::TFrame frame = run.Index->Frame(run.Next);
  const uint32_t channels = run.Start.Info.Channels;
  const int64_t frameEnd = frame.FirstSample + frame.BlockSize;
  const int64_t from = std::max(run.First, frame.FirstSample);
  const int64_t to = std::min(run.EndSample, frameEnd);
  const uint8_t* bytes = run.Index->FrameBytes(run.Next);
  const auto skip = static_cast<uint32_t>(from - frame.FirstSample);
  const auto keep = static_cast<uint32_t>(to - from);
  if (keep == frame.BlockSize && run.Pending.empty()) {
    const size_t at = out.size();
    RenumberFlacFrame(bytes, frame.Bytes, frame.HeaderBytes, run.Written, out);
    run.Count(frame.BlockSize, out.size() - at);
    run.HashBytes.insert(run.HashBytes.end(), bytes, bytes + frame.Bytes);
    run.HashFrames.emplace_back(frame.Bytes, frame.BlockSize);
  } else {
    // The copied frames before go to the hasher first: handing them over may decode some of
    // them on this thread, which would overwrite this frame's decoded samples.
    HandOverFrames(run);
    const auto decoded = run.Decoder->Decode(bytes, frame.Bytes, frame.BlockSize);
    AppendSamples(decoded, channels, skip, keep, run.Pending);
    std::vector<uint8_t> packed;
    TFlacAudioHasher::PackSamples(decoded, channels, run.Start.Info.BitsPerSample, skip, keep,
                                  packed);
    run.Hasher->AddPacked(std::move(packed));
  }
  FBytesCopied += frame.Bytes;

  bool ended = frameEnd >= run.EndSample;
  if (!ended && !run.Index->Reach(run.Next + 1)) {
    // The stream ends before the range: the range ends with it, unless frames are lost.
    if (!run.Index->Problem().empty()) throw EAuException(run.Index->Problem());
    ended = true;
  }
  // The samples a range keeps of its last frame wait for those of the next one's first.
  const bool last = ended && run.Range + 1 == run.Ranges.size();
  const size_t pending = run.Pending.size() / channels;
  if (pending > 0 && (last || pending >= kMinBlock)) FlushPending(run, out);
  ++run.Next;
  if (ended && !last) SelectRange(run, run.Range + 1);
  return last;
}

// Hands the copied frames gathered so far to the hasher: every other part whole, for its
// thread to decode, and the others decoded here, so that both threads decode.
void TFlacFrameCopyOut::HandOverFrames(TRunState& run) {
  if (run.HashFrames.empty()) return;
  if (run.HashParts++ % 2 == 0) {
    run.Hasher->AddFrames(std::exchange(run.HashBytes, {}), std::exchange(run.HashFrames, {}));
    return;
  }
  const TFlacStreamInfo& info = run.Start.Info;
  std::vector<uint8_t> packed;
  size_t at = 0;
  for (const auto& [bytes, samples] : run.HashFrames) {
    const auto decoded = run.Decoder->Decode(run.HashBytes.data() + at, bytes, samples);
    TFlacAudioHasher::PackSamples(decoded, info.Channels, info.BitsPerSample, 0, samples, packed);
    at += bytes;
  }
  run.HashBytes.clear();
  run.HashFrames.clear();
  run.Hasher->AddPacked(std::move(packed));
}

// Codes the pending samples as frames of at most the format's largest block, checking that
// each decodes back to them.
void TFlacFrameCopyOut::FlushPending(TRunState& run, std::vector<uint8_t>& out) {
  const TFlacStreamInfo& info = run.Start.Info;
  const uint32_t channels = info.Channels;
  size_t left = run.Pending.size() / channels;
  const int32_t* samples = run.Pending.data();
  while (left > 0) {
    // Halves, so that no frame but the last is shorter than the smallest block.
    const auto count = static_cast<uint32_t>(left > kMaxBlock ? left / 2 : left);
    run.Coded.clear();
    EncodeFlacFrame(samples, count, info, run.Written, run.Coded);
    run.Check.clear();
    AppendSamples(run.Decoder->Decode(run.Coded.data(), run.Coded.size(), count), channels, 0,
                  count, run.Check);
    if (!std::equal(run.Check.begin(), run.Check.end(), samples))
      throw EAuException("A re-encoded FLAC frame does not decode to its samples");
    out.insert(out.end(), run.Coded.begin(), run.Coded.end());
    run.Count(count, run.Coded.size());
    samples += static_cast<size_t>(count) * channels;
    left -= count;
  }
  run.Pending.clear();
}

void TFlacFrameCopyOut::CompleteFile(TRunState& run) {
  TFlacStreamInfo info = run.Start.Info;
  // The smallest block leaves out the last one; both are at least what the format allows,
  // which a cut of fewer samples than that falls short of.
  const uint32_t minBlock = run.MinBlock <= run.MaxBlock ? run.MinBlock : run.LastBlock;
  info.MinBlockSize = std::max(kMinBlock, minBlock);
  info.MaxBlockSize = std::max(info.MinBlockSize, run.MaxBlock);
  info.MinFrameSize = run.MinFrame;
  info.MaxFrameSize = run.MaxFrame;
  info.TotalSamples = run.Written;
  info.Md5 = run.Hasher->Finish();
  const auto body = FlacStreamInfoBytes(info);
  RewriteCopiedAt(run.InfoOffset, body, "flac");
  CloseStream();
  run.Completed = true;
  if (!StreamAssigned && !WideFileName.empty()) WriteXiphTags(WideFileName, XiphTags());
  FSamplesKept = static_cast<int64_t>(run.Written);
  FBytesCopied = FBytesToCopy.load();
}

void TFlacFrameCopyOut::DiscardFile(TRunState& run) {
  RemoveCreatedFile(run.CreatedFile);
}

void TFlacFrameCopyOut::FinishOutput() {
  std::unique_ptr<TRunState> run = std::move(FRun);
  if (!run) return;
  // A stopped or failed copy leaves nothing: frames without their STREAMINFO's length and
  // check sum are not the cut that was asked for.
  if (!run->Completed) DiscardFile(*run);
}
