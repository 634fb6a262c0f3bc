// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3copy/mp3_copy_plan.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "pipeline/au_exception.h"
#include "pipeline/au_stream.h"

using namespace trimora::media;

namespace {

// The delay and padding fields of the tag hold 12 bits each.
constexpr int kMostTagSamples = 4095;

// A layer III frame of the stream's version, rate and channel mode that decodes to silence:
// its side information is all zero (no main data of its own, no scale factors), without CRC
// or stereo extension, at the stream's bit rate when that frame holds `reservoir` and else at
// the lowest that does. `reservoir` ends its data area, where the next frame's
// main_data_begin looks for it; the rest of the frame is zero.
std::vector<uint8_t> SilentLeadIn(const TMpegHeader& audio, const std::vector<uint8_t>& reservoir) {
  const uint32_t base = (audio.Word & ~((0xFu << 12) | (1u << 9) | (3u << 4))) | (1u << 16);
  const size_t needed = 4 + static_cast<size_t>(SideInfoBytes(audio)) + reservoir.size();
  const auto fitting = [&](uint32_t bitrateIndex) -> std::optional<TMpegHeader> {
    const auto header = ParseMpegHeader(base | (bitrateIndex << 12));
    if (header && static_cast<size_t>(header->FrameBytes) >= needed) return header;
    return std::nullopt;
  };
  std::optional<TMpegHeader> chosen = fitting((audio.Word >> 12) & 0xF);
  for (uint32_t index = 1; !chosen && index < 15; ++index) chosen = fitting(index);
  // The highest bit rate's frame holds the deepest reservoir at every sample rate.
  if (!chosen) throw EAuException("No MPEG frame holds the bytes the first frame needs");
  std::vector<uint8_t> frame(static_cast<size_t>(chosen->FrameBytes), 0);
  for (size_t i = 0; i < 4; ++i) frame[i] = static_cast<uint8_t>(chosen->Word >> (24 - 8 * i));
  std::copy(reservoir.begin(), reservoir.end(),
            frame.end() - static_cast<std::ptrdiff_t>(reservoir.size()));
  return frame;
}

// Refuses a copy across frames of another layer: the index walks one layer's frames and takes
// anything else for damage, which a copy would silently drop.
void RefuseMixedLayers(TMediaByteReader& reader, TMp3FrameIndex& index, int64_t first, int64_t last,
                       const TMpegHeader& stream) {
  for (int64_t k = first; k < last; ++k) {
    const TMp3FrameIndex::TFrame& frame = index.Frame(k);
    const int64_t after = frame.Offset + frame.Bytes;
    if (after == index.Frame(k + 1).Offset) continue;
    const auto other = ParseMpegHeader(reader.Peek(after, 4));
    if (other && other->Layer != stream.Layer)
      throw EAuException(
          "The file mixes MPEG audio layers, so its frames cannot be kept as they are");
  }
}

// Refuses a copy that would take frames of another format than the file's first: a read
// converts them to the first frames' format, which copied frames cannot be. The frames from
// `last` back are all of one format when the last one is of the first.
void RefuseFormatChange(const TMp3FrameIndex& index, const TMp3Measure& measure, int64_t last,
                        const TMpegHeader& stream) {
  if (index.InFirstFormat(last)) return;
  const TMp3FormatChange& change = index.FormatChanges().front();
  const int64_t sample = Mp3FrameSample(measure, index, change.Frame);
  const int64_t ms = sample * 1000 / stream.SampleRate;
  char at[32];
  std::snprintf(at, sizeof at, "%lld.%03lld s", static_cast<long long>(ms / 1000),
                static_cast<long long>(ms % 1000));
  throw EAuException(std::string("The file's format changes at ") + at + " (to " +
                     std::to_string(change.Header.SampleRate) + " Hz, " +
                     (change.Header.Channels == 1 ? "mono" : "stereo") +
                     "), so its frames cannot be kept as they are across it");
}

}  // namespace

// Frames that must decode before the first wanted one for it to come out exactly: MPEG-1
// frames hold two granules, so the one before gives both the overlap and the filter memory;
// MPEG-2 and 2.5 frames hold one, and the filter memory reaches into the one before that.
int64_t Mp3PrimingFrames(const TMpegHeader& header) {
  return header.Version == 0 ? 1 : 2;
}

std::vector<uint8_t> ReadMp3Frame(TMediaByteReader& reader, const TMp3FrameIndex::TFrame& frame) {
  std::vector<uint8_t> bytes(frame.Bytes);
  bytes.resize(reader.ReadAt(frame.Offset, bytes));
  return bytes;
}

// Where a layer III frame's data area starts: after the header, the CRC and the side
// information.
size_t Mp3DataStart(const TMpegHeader& header) {
  return (HasCrc(header) ? 6u : 4u) + static_cast<size_t>(SideInfoBytes(header));
}

// The `count` bytes that come before the main data of frame `frame` in the stream the frames'
// data areas make: what its main_data_begin reaches back into. Zeros where the frames before
// hold fewer, as in a stream some other tool cut without care; the decoder of the source
// lacked them too.
std::vector<uint8_t> Mp3ReservoirBefore(TMediaByteReader& reader, TMp3FrameIndex& index,
                                        int64_t frame, size_t count) {
  std::vector<uint8_t> bytes(count, 0);
  size_t missing = count;
  for (int64_t k = frame - 1; k >= 0 && missing > 0; --k) {
    const std::vector<uint8_t> data = ReadMp3Frame(reader, index.Frame(k));
    const auto header = ParseMpegHeader(data);
    if (!header) break;
    const size_t start = Mp3DataStart(*header);
    if (data.size() <= start) continue;
    const size_t take = std::min(missing, data.size() - start);
    std::copy(data.end() - static_cast<std::ptrdiff_t>(take), data.end(),
              bytes.begin() + static_cast<std::ptrdiff_t>(missing - take));
    missing -= take;
  }
  return bytes;
}

TMp3Start LocateCopyableAudio(TMediaByteReader& reader) {
  if (const auto start = LocateMp3Audio(reader)) return *start;
  int64_t offset = 0;
  for (int64_t length = 1; length > 0; offset += length)
    length = Id3v2TagLength(reader.Peek(offset, 10));
  const auto word = reader.Peek(offset, 4);
  if (word.size() == 4 && IsFreeFormatHeader((uint32_t{word[0]} << 24) | (uint32_t{word[1]} << 16) |
                                             (uint32_t{word[2]} << 8) | uint32_t{word[3]}))
    throw EAuException(
        "The file's MPEG frames are free-format, so they cannot be kept as they are");
  throw EAuException("The file holds no MPEG audio frames");
}

TMp3CopyPlan PlanMp3Copy(TMediaByteReader& reader, const TMp3Start& start, TMp3FrameIndex& index,
                         int64_t startSample, int64_t endSample) {
  const TMpegHeader& stream = start.Header;
  if (stream.Layer != 3)
    throw EAuException("The file holds MPEG layer " + std::to_string(stream.Layer) +
                       " audio; only layer III frames can be kept as they are");
  const int64_t perFrame = stream.SamplesPerFrame;

  // The samples a decode gives, as our source counts them: every frame, the tag's count
  // believed only where the frames agree with it.
  const TMpegVbrTag& tag = start.Tag;
  const TMp3Measure measure = MeasureMp3(index, start);
  const TMediaTimeline& timeline = measure.Timeline;
  const int64_t decoded = measure.Samples;
  if (startSample < 0 || startSample >= decoded || (endSample >= 0 && endSample < startSample))
    throw EAuException("The range holds no sound to keep");
  const int64_t lastSample = endSample < 0 ? decoded - 1 : std::min(endSample, decoded - 1);

  // The decoder's output from the first audio frame on, which is what frames are cut by.
  const int64_t rawStart = timeline.ToRaw(startSample);
  const int64_t rawEnd = timeline.ToRaw(lastSample) + 1;
  const int64_t last = index.FrameAt(rawEnd - 1);
  const int64_t first = std::max<int64_t>(0, rawStart / perFrame - Mp3PrimingFrames(stream));
  if (!index.Reach(last)) throw EAuException("The file ends before the range does");
  RefuseMixedLayers(reader, index, first, last, stream);
  RefuseFormatChange(index, measure, last, stream);

  TMp3CopyPlan plan;
  plan.First = first;
  plan.Last = last;
  const std::vector<uint8_t> firstFrame = ReadMp3Frame(reader, index.Frame(first));
  const auto firstHeader = ParseMpegHeader(firstFrame);
  if (!firstHeader) throw EAuException("The file could not be read");
  plan.AudioHeader = firstHeader->Word;
  // The file's first frame reaches back into nothing; a later one into the frames before.
  const int reach = first > 0 ? std::max(0, MainDataBegin(firstFrame, *firstHeader)) : 0;
  plan.LeadIn = SilentLeadIn(*firstHeader,
                             Mp3ReservoirBefore(reader, index, first, static_cast<size_t>(reach)));
  // The lead-in frame stands where frame first - 1 stood.
  const int64_t leadInStart = (first - 1) * perFrame;
  plan.Delay = static_cast<int>(rawStart - leadInStart - kMp3DecoderDelay);
  plan.Padding = static_cast<int>((last + 1) * perFrame - rawEnd + kMp3DecoderDelay);
  plan.Samples = rawEnd - rawStart;
  // Not reached: the lead-in keeps the delay within three frames and the padding within two.
  if (plan.Delay < 0 || plan.Delay > kMostTagSamples || plan.Padding > kMostTagSamples)
    throw EAuException("The cut's delay cannot be said in the MP3 header");
  plan.Vbr = tag.Kind == TMpegVbrTag::TKind::Xing || tag.Kind == TMpegVbrTag::TKind::Vbri ||
             index.MixedBitrates();
  return plan;
}

std::vector<uint8_t> CopySeekTable(const TMp3CopyPlan& plan, TMp3FrameIndex& index,
                                   uint64_t tagBytes) {
  // The output's frames: the lead-in, then the copied ones; entry i is where the frame at
  // i percent of them starts, in 256ths of the stream's bytes.
  std::vector<uint64_t> starts;
  starts.reserve(static_cast<size_t>(plan.Last - plan.First + 2));
  uint64_t at = tagBytes;
  starts.push_back(at);
  at += plan.LeadIn.size();
  for (int64_t k = plan.First; k <= plan.Last; ++k) {
    starts.push_back(at);
    at += index.Frame(k).Bytes;
  }
  std::vector<uint8_t> table(100);
  for (size_t i = 0; i < table.size(); ++i) {
    const uint64_t byte = starts[i * starts.size() / 100];
    table[i] = static_cast<uint8_t>(std::min<uint64_t>(255, byte * 256 / at));
  }
  return table;
}

int64_t ReadAdjoiningFrames(const TMp3FrameIndex& index, TAuStream& stream, int64_t from,
                            int64_t last, int64_t maxBytes, std::vector<uint8_t>& buffer) {
  const TMp3FrameIndex::TFrame& first = index.Frame(from);
  int64_t end = first.Offset + first.Bytes;
  int64_t next = from + 1;
  while (next <= last) {
    const TMp3FrameIndex::TFrame& frame = index.Frame(next);
    if (frame.Offset != end || end + frame.Bytes - first.Offset > maxBytes) break;
    end += frame.Bytes;
    ++next;
  }
  buffer.resize(static_cast<size_t>(end - first.Offset));
  stream.Seek(first.Offset, soBeginning);
  int64_t got = 0;
  while (got < static_cast<int64_t>(buffer.size())) {
    const int64_t read =
        stream.Read(buffer.data() + got, static_cast<int64_t>(buffer.size()) - got);
    if (read <= 0) throw EAuException("The source file ended before its frames did");
    got += read;
  }
  return next;
}
