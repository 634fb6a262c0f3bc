// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/kinds/coded_kind.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "cutting/kinds/tag_copy.h"
#include "formats/coded/coded_in.h"
#include "formats/coded/coded_out.h"
#include "formats/flac/flac_frame_copy_out.h"
#include "formats/mp4/mp4_in.h"
#include "formats/mp4/mp4_packet_copy_out.h"
#include "formats/ogg/ogg_packet_copy_out.h"
#include "tags/xiph_tags.h"

namespace {

// What a frame-keeping sink of type `TSink` kept, read as it runs; nothing for other sinks.
template <typename TSink>
std::function<int64_t()> SamplesKeptBy(TAuFileOut& sink) {
  auto* copy = dynamic_cast<TSink*>(&sink);
  if (copy == nullptr) return nullptr;
  return [copy] { return copy->SamplesKept(); };
}

}  // namespace

std::unique_ptr<TAuFileIn> TCodedKind::MakeSource() const {
  auto source = std::make_unique<TCodedIn>();
  source->SetCodec(CodecName());
  return source;
}

std::unique_ptr<TAuFileOut> TCodedKind::MakeSink() const {
  auto sink = std::make_unique<TCodedOut>();
  sink->Format = Format();
  return sink;
}

bool TCodedKind::CopiesFrames(const TAuFileOut& sink) const {
  return dynamic_cast<const TCodedOut*>(&sink) == nullptr &&
         dynamic_cast<const TAuTaggedFileOut*>(&sink) != nullptr;
}

void TCodedKind::PrepareCut(TAuFileIn& source, TAuFileOut& sink) const {
  auto* tagged = dynamic_cast<TAuTaggedFileOut*>(&sink);
  auto* coded = dynamic_cast<TCodedIn*>(&source);
  if (tagged == nullptr || coded == nullptr) return;
  CarryOwnTags(source, *tagged);
  CopyId3v2Tags(coded->Id3v2Tags(), tagged->Id3v2Tags());
  if (auto* out = dynamic_cast<TCodedOut*>(&sink)) {
    out->Format = Format();
    SetUpFormat(*coded, out->Format);
  }
}

void TCodedKind::CarryOwnTags(TAuFileIn& source, TAuTaggedFileOut& sink) const {
  TXiphTags tags;
  if (ReadXiphTags(TagFileOf(source), tags)) sink.XiphTags() = std::move(tags);
  // A sheet of the whole file's tracks would place them wrongly in a cut of it.
  sink.XiphTags().Set("CUESHEET", "");
}

std::function<int64_t()> TCodedKind::FramesFed(TAuFileOut& sink, TAuInput& input) const {
  if (auto kept = FramesKept(sink)) return kept;
  return FramesDelivered(input);
}

TPcmShape TCodedKind::WrittenShape(TAuFileOut& sink, TPcmShape input) const {
  if (auto* out = dynamic_cast<TCodedOut*>(&sink)) input.Rate = out->WrittenRate(input.Rate);
  return input;
}

uint32_t TCodedKind::Bitrate(TAuFileIn& source) const {
  auto& coded = dynamic_cast<TCodedIn&>(source);
  return static_cast<uint32_t>(std::clamp<int64_t>(coded.Bitrate(), 0, UINT32_MAX));
}

std::string TCodedKind::Refusal(TAuFileIn& source) const {
  const std::string codec = dynamic_cast<TCodedIn&>(source).CodecName();
  if (codec.empty()) return "not a " + Name() + " file this program can read";
  if (codec == "opus" || codec == "vorbis" || codec == "flac")
    return "holds " + codec + " sound, not " + Name() + ": give it the extension of its kind";
  if (codec != CodecName()) return "not a " + Name() + " file (it holds " + codec + ")";
  return "holds no sound";
}

void TCodedKind::ReadTags(const std::filesystem::path&, TAuFileIn& source, TId3v2Tags& tags) const {
  tags.Assign(dynamic_cast<TCodedIn&>(source).Id3v2Tags());
}

std::string TCodedKind::Kbps(uint32_t bitrate) {
  return std::to_string((bitrate + 500) / 1000) + " kbps";
}

// FLAC

TCodedFormat TFlacKind::Format() const {
  TCodedFormat format;
  format.Encoder = "flac";
  format.Muxer = "flac";
  return format;
}

void TFlacKind::SetUpFormat(TCodedIn& source, TCodedFormat& format) const {
  // FFmpeg writes 16, 24 and 32 bits; an 8-bit source is written at 16.
  format.BitsPerSample = std::max(source.BitsPerSample(), 16);
  format.CompressionLevel = 5;
}

std::string TFlacKind::Describe(TAuFileIn& source) const {
  return "FLAC, " + std::to_string(dynamic_cast<TCodedIn&>(source).CodedBits()) + "-bit";
}

std::string TFlacKind::DescribeCut(TAuFileIn& source) const {
  const int bits = dynamic_cast<TCodedIn&>(source).CodedBits();
  if (bits >= 16) return {};
  return "FLAC, 16-bit (the encoder writes no " + std::to_string(bits) + "-bit FLAC)";
}

// Ogg Vorbis

double TVorbisKind::QualityFor(uint32_t bitrate, int channels) {
  // The encoder's nominal rates for stereo 44.1 kHz at qualities 0 to 10; other channel
  // counts scale them.
  static constexpr std::array<double, 11> kStereoKbps = {64,  80,  96,  112, 128, 160,
                                                         192, 224, 256, 320, 500};
  const double kbps = bitrate / 1000.0 * 2.0 / std::max(channels, 1);
  int best = 0;
  for (int q = 1; q < static_cast<int>(kStereoKbps.size()); ++q)
    if (std::abs(kStereoKbps[q] - kbps) < std::abs(kStereoKbps[best] - kbps)) best = q;
  return best;
}

TCodedFormat TVorbisKind::Format() const {
  TCodedFormat format;
  format.Encoder = "libvorbis";
  format.Muxer = "ogg";
  return format;
}

void TVorbisKind::SetUpFormat(TCodedIn& source, TCodedFormat& format) const {
  format.Quality = QualityFor(Bitrate(source), source.Channels());
}

std::string TVorbisKind::Describe(TAuFileIn& source) const {
  return "Ogg Vorbis, about " + Kbps(Bitrate(source));
}

// Opus

TCodedFormat TOpusKind::Format() const {
  TCodedFormat format;
  format.Encoder = "libopus";
  format.Muxer = "opus";
  return format;
}

void TOpusKind::SetUpFormat(TCodedIn& source, TCodedFormat& format) const {
  // The file's average less the container's share, to the nearest kbps the encoder takes.
  const int64_t kbps = std::clamp<int64_t>((Bitrate(source) * 97 / 100 + 500) / 1000, 6, 510);
  format.BitRate = kbps * 1000;
  format.InputRate = source.InputRate();
  const std::string head = source.Extradata();
  if (head.size() >= 19) format.MappingFamily = static_cast<uint8_t>(head[18]);
}

std::string TOpusKind::Describe(TAuFileIn& source) const {
  const int input = dynamic_cast<TCodedIn&>(source).InputRate();
  std::string text = "Opus, " + Kbps(Bitrate(source));
  if (input > 0 && input != 48000) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%g", input / 1000.0);
    text += " (input " + std::string(rate) + " kHz)";
  }
  return text;
}

// The sinks that keep the frames.

std::unique_ptr<TAuFileOut> TFlacKind::MakeFrameKeepingSink() const {
  return std::make_unique<TFlacFrameCopyOut>();
}

std::unique_ptr<TPiecesCopyOut> TFlacKind::MakePieceKeepingSink() const {
  return std::make_unique<TFlacFrameCopyOut>();
}

std::string TFlacKind::JoinKeepingRefusal(TAuFileIn& first, TAuFileIn& second) const {
  if (first.SampleRate() == second.SampleRate() && first.Channels() == second.Channels() &&
      first.BitsPerSample() == second.BitsPerSample())
    return {};
  return "the two FLAC files differ in sample rate, channels or sample size, so their frames "
         "cannot be joined as they are; re-encode instead";
}

std::function<int64_t()> TFlacKind::FramesKept(TAuFileOut& sink) const {
  return SamplesKeptBy<TFlacFrameCopyOut>(sink);
}

std::unique_ptr<TAuFileOut> TVorbisKind::MakeFrameKeepingSink() const {
  return std::make_unique<TOggPacketCopyOut>();
}

std::function<int64_t()> TVorbisKind::FramesKept(TAuFileOut& sink) const {
  return SamplesKeptBy<TOggPacketCopyOut>(sink);
}

std::unique_ptr<TAuFileOut> TOpusKind::MakeFrameKeepingSink() const {
  return std::make_unique<TOggPacketCopyOut>();
}

std::function<int64_t()> TOpusKind::FramesKept(TAuFileOut& sink) const {
  return SamplesKeptBy<TOggPacketCopyOut>(sink);
}

// M4A

std::unique_ptr<TAuFileIn> TM4AKind::MakeSource() const {
  return std::make_unique<TMp4In>();
}

std::unique_ptr<TAuFileOut> TM4AKind::MakeFrameKeepingSink() const {
  return std::make_unique<TMp4PacketCopyOut>();
}

std::function<int64_t()> TM4AKind::FramesKept(TAuFileOut& sink) const {
  return SamplesKeptBy<TMp4PacketCopyOut>(sink);
}

void TM4AKind::CarryOwnTags(TAuFileIn& source, TAuTaggedFileOut& sink) const {
  TMp4Tags tags;
  if (ReadMp4Tags(TagFileOf(source), tags)) sink.Mp4Tags() = std::move(tags);
}

TCodedFormat TM4AKind::Format() const {
  TCodedFormat format;
  format.Encoder = "aac";
  format.Muxer = "ipod";
  return format;
}

void TM4AKind::SetUpFormat(TCodedIn& source, TCodedFormat& format) const {
  if (source.CodecName() == "alac") {
    // Lossless to lossless, at the source's depth.
    format.Encoder = "alac";
    format.BitsPerSample = source.CodedBits() > 16 ? 24 : 16;
    return;
  }
  // The source's bit rate, within what the encoder codes well.
  const int channels = std::max(source.Channels(), 1);
  format.BitRate = std::clamp<int64_t>((Bitrate(source) + 500) / 1000 * 1000, 24000 * channels,
                                       160000 * channels);
}

std::string TM4AKind::Describe(TAuFileIn& source) const {
  auto& coded = dynamic_cast<TCodedIn&>(source);
  if (coded.CodecName() == "alac")
    return "M4A, Apple Lossless, " + std::to_string(coded.CodedBits()) + "-bit";
  // The audio object type that opens the codec's header (AudioSpecificConfig).
  const std::string head = coded.Extradata();
  int object = head.empty() ? 0 : uint8_t(head[0]) >> 3;
  if (object == 31 && head.size() >= 2)
    object = 32 + ((uint8_t(head[0]) & 7) << 3 | uint8_t(head[1]) >> 5);
  const std::string codec = object == 2    ? "AAC-LC"
                            : object == 5  ? "HE-AAC"
                            : object == 29 ? "HE-AAC v2"
                            : object == 1  ? "AAC Main"
                                           : "AAC";
  return "M4A, " + codec + ", " + Kbps(Bitrate(source));
}

std::string TM4AKind::Refusal(TAuFileIn& source) const {
  if (auto* mp4 = dynamic_cast<TMp4In*>(&source)) {
    const std::string reason = mp4->Refusal();
    if (!reason.empty()) return "cannot be read: " + reason;
    const std::string codec = mp4->CodecName();
    if (!codec.empty() && codec != "aac" && codec != "alac")
      return "not an M4A file of AAC or Apple Lossless (it holds " + codec + ")";
  }
  return TCodedKind::Refusal(source);
}
