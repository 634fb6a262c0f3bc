// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_file.h"

#include <algorithm>
#include <limits>
#include <string_view>

#include "platform/media_asf_packets.h"
#include "platform/media_avio.h"
#include "platform/media_mp3_packets.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace trimora::media {
namespace {

// The highest sample rate a sound card plays; a header claiming more is damaged.
constexpr int kMaxSampleRate = 768000;

TAvCodecPtr OpenCodec(const AVCodecParameters& parameters, AVRational timeBase) {
  const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
  if (codec == nullptr) return nullptr;
  TAvCodecPtr context(avcodec_alloc_context3(codec));
  if (!context || avcodec_parameters_to_context(context.get(), &parameters) < 0) return nullptr;
  context->pkt_timebase = timeBase;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
  return context;
}

// Whether the decoder gives integer samples of more than 16 bits (WMA Lossless at 24 bits).
bool DecodesWide(const AVCodecContext& context) {
  const auto format = context.sample_fmt;
  const bool integer = format == AV_SAMPLE_FMT_S32 || format == AV_SAMPLE_FMT_S32P;
  return integer && (context.bits_per_raw_sample == 0 || context.bits_per_raw_sample > 16);
}

// The frame length of FFmpeg's WMA version 1 and 2 decoders, on whose multiples their
// packets start; 1 for codecs whose frame length we do not know.
int WmaFrameLength(AVCodecID id, int rate) {
  if (id != AV_CODEC_ID_WMAV1 && id != AV_CODEC_ID_WMAV2) return 1;
  if (rate <= 16000) return 512;
  if (rate <= 22050 || (rate <= 32000 && id == AV_CODEC_ID_WMAV1)) return 1024;
  return 2048;
}

// FFmpeg's WMA version 1 and 2 decoder fills the upper bands of low-bit-rate streams with
// noise from a generator whose state runs on from the first frame, so after a seek those
// bands differ from a straight decode. Whether a stream uses it follows from its rate,
// channels and bit rate (computed in single precision, as the decoder does).
bool WmaUsesNoise(const AVCodecParameters& p) {
  if (p.codec_id != AV_CODEC_ID_WMAV1 && p.codec_id != AV_CODEC_ID_WMAV2) return false;
  const int channels = p.ch_layout.nb_channels;
  if (channels <= 0 || p.sample_rate <= 0 || p.bit_rate <= 0) return true;
  int rate = p.sample_rate;
  if (p.codec_id == AV_CODEC_ID_WMAV2) {
    for (int normal : {44100, 22050, 16000, 11025, 8000})
      if (rate >= normal) {
        rate = normal;
        break;
      }
  }
  const float bps = static_cast<float>(p.bit_rate) / static_cast<float>(channels * p.sample_rate);
  const float bps1 = channels == 2 ? static_cast<float>(bps * 1.6) : bps;
  if (rate == 44100) return !(bps1 >= 0.61);
  if (rate == 22050) return !(bps1 >= 1.16);
  if (rate == 8000) return !(bps > 0.75);
  return true;
}

void CopyMetadata(const AVDictionary* from, TMediaMetadata& to) {
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = av_dict_get(from, "", entry, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
    bool known = false;
    for (const auto& [key, value] : to) known = known || key == entry->key;
    if (!known) to.emplace_back(entry->key, entry->value);
  }
}

bool IsTrue(const std::optional<std::string>& text) {
  return text && (*text == "1" || *text == "true" || *text == "True" || *text == "TRUE");
}

std::optional<std::string> FindText(const TMediaMetadata& metadata, std::string_view key) {
  for (const auto& [k, v] : metadata)
    if (k == key) return v;
  return std::nullopt;
}

}  // namespace

TMediaFile::~TMediaFile() = default;

std::unique_ptr<TMediaFile> TMediaFile::Open(std::shared_ptr<IMediaStream> stream) {
  if (!stream) return nullptr;
  auto file = std::make_unique<TMediaFile>();
  file->FStream = stream;
  file->FBytes = std::make_unique<TMediaByteReader>(*stream);
  const auto asf = ReadAsfHeader(*file->FBytes);

  uint64_t position = 0;
  if (!Succeeded(stream->Seek(0, TMediaSeekOrigin::Begin, position))) return nullptr;
  file->FAvio = MakeMediaAvio(*stream);
  AVFormatContext* format = avformat_alloc_context();
  if (!file->FAvio || format == nullptr) {
    avformat_free_context(format);
    return nullptr;
  }
  format->pb = file->FAvio.get();
  format->flags |= AVFMT_FLAG_CUSTOM_IO;
  // The format is recognised by content alone; a failed open frees the context.
  if (avformat_open_input(&format, nullptr, nullptr, nullptr) < 0) return nullptr;
  file->FFormat.reset(format);

  CopyMetadata(format->metadata, file->FTexts);
  // Only audio streams: FFmpeg turns attached pictures into streams whose "title" and
  // "comment" are the picture's description and kind, not the file's.
  for (unsigned i = 0; i < format->nb_streams; ++i)
    if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
      CopyMetadata(format->streams[i]->metadata, file->FTexts);

  const std::string_view name = format->iformat->name;
  if (name == "mp3") {
    // Our frame index reads the frames from here on; FFmpeg gave us the tags.
    file->FFormat.reset();
    file->FAvio.reset();
    if (!file->OpenMp3()) return nullptr;
    return file;
  }
  if (name == "asf" && file->OpenAsf(asf)) return file;
  return nullptr;
}

bool TMediaFile::OpenMp3() {
  FMp3 = LocateMp3Audio(*FBytes);
  if (!FMp3) return false;
  FMp3Frames = std::make_unique<TMp3FrameIndex>(*FBytes, *FMp3);
  if (!FMp3Frames->Reach(0)) return false;

  const TMpegHeader& header = FMp3->Header;
  const TMpegVbrTag& tag = FMp3->Tag;
  const int64_t perFrame = header.SamplesPerFrame;
  // Every frame is counted, as FFmpeg and mpg123 read on to the end: the tag's count may be
  // that of the first of two files joined, or plain wrong.
  const TMp3Measure measure = MeasureMp3(*FMp3Frames, *FMp3);
  FMp3Timeline = measure.Timeline;
  const bool tagHolds = measure.TagAgrees;
  const int64_t frames = measure.Frames;
  FSampleCount = measure.Samples;
  FLength = static_cast<uint64_t>(av_rescale(measure.Samples, 10000000, header.SampleRate));
  for (const TMp3FormatChange& change : FMp3Frames->FormatChanges())
    FFormatChanges.push_back({Mp3FrameSample(measure, *FMp3Frames, change.Frame),
                              change.Header.SampleRate, change.Header.Channels});

  FVbr = tag.Kind == TMpegVbrTag::TKind::Xing || tag.Kind == TMpegVbrTag::TKind::Vbri ||
         (!tagHolds && FMp3Frames->MixedBitrates());
  if (FVbr && frames > 0) {
    uint64_t bytes = FMp3Frames->AudioBytes();
    if (tagHolds && tag.Bytes && *tag.Bytes > 0)
      bytes = *tag.Bytes;
    else if (tagHolds && FBytes->Size() > FMp3->AudioOffset)
      bytes = static_cast<uint64_t>(FBytes->Size() - FMp3->AudioOffset);
    const int64_t average =
        av_rescale(static_cast<int64_t>(bytes) * 8, header.SampleRate, frames * perFrame);
    FBitsPerSecond =
        static_cast<uint32_t>(std::min<int64_t>(average, std::numeric_limits<uint32_t>::max()));
  } else {
    FBitsPerSecond = static_cast<uint32_t>(FMp3Frames->FirstAudioHeader().Bitrate);
  }

  FMp3Codec.reset(avcodec_parameters_alloc());
  if (!FMp3Codec) return false;
  FMp3Codec->codec_type = AVMEDIA_TYPE_AUDIO;
  FMp3Codec->codec_id = header.Layer == 1   ? AV_CODEC_ID_MP1
                        : header.Layer == 2 ? AV_CODEC_ID_MP2
                                            : AV_CODEC_ID_MP3;
  FMp3Codec->sample_rate = header.SampleRate;
  av_channel_layout_default(&FMp3Codec->ch_layout, header.Channels);

  TMediaStreamInfo info;
  info.MajorType = TMediaMajorType::Audio;
  info.SampleRate = header.SampleRate;
  info.Channels = header.Channels;
  info.Decodable = OpenCodec(*FMp3Codec, {1, header.SampleRate}) != nullptr;
  FStreamInfo.push_back(info);
  return true;
}

bool TMediaFile::OpenAsf(const std::optional<TAsfHeader>& header) {
  FIsProtected = header && header->Protected;
  if (header && header->HasFileProperties && !header->Broadcast)
    FLength = header->DurationPresent(FBytes->Size());
  FVbr = IsTrue(FindText(FTexts, "IsVBR"));

  for (unsigned i = 0; i < FFormat->nb_streams; ++i) {
    const AVStream& stream = *FFormat->streams[i];
    const AVCodecParameters& parameters = *stream.codecpar;
    TMediaStreamInfo info;
    if (parameters.codec_type == AVMEDIA_TYPE_VIDEO) info.MajorType = TMediaMajorType::Video;
    if (parameters.codec_type == AVMEDIA_TYPE_AUDIO) {
      info.MajorType = TMediaMajorType::Audio;
      info.SampleRate = parameters.sample_rate;
      info.Channels = parameters.ch_layout.nb_channels;
      if (const auto codec = OpenCodec(parameters, stream.time_base)) {
        // A rate outside what any sound card plays is a damaged header, not a sound.
        info.Decodable = info.SampleRate > 0 && info.SampleRate <= kMaxSampleRate &&
                         info.Channels > 0;
        info.Wide = DecodesWide(*codec);
      }
      if (FBitsPerSecond == 0 && parameters.bit_rate > 0)
        FBitsPerSecond = static_cast<uint32_t>(
            std::min<int64_t>(parameters.bit_rate, std::numeric_limits<uint32_t>::max()));
    }
    FStreamInfo.push_back(info);
  }
  BoundLengthByBytes(header ? header->PacketsStart : -1);
  return !FStreamInfo.empty();
}

// A damaged header may claim any play duration, hours for a file of seconds. The bytes
// present bound it: the content's bit rate carries no more time than they hold (packet
// overhead only loosens the bound), and half as much again allows for a VBR stream whose
// stated rate is above what it spends.
void TMediaFile::BoundLengthByBytes(int64_t dataStart) {
  const int64_t size = FBytes->Size();
  if (!FLength || FBitsPerSecond == 0 || size < 0) return;
  const double bytes = static_cast<double>(size - std::clamp<int64_t>(dataStart, 0, size));
  const double bound = (bytes * 8.0 / FBitsPerSecond * 1.5 + 1.0) * 1e7;  // 100 ns
  if (static_cast<double>(*FLength) > bound) FLength = static_cast<uint64_t>(bound);
}

std::unique_ptr<TMediaDecoder> TMediaFile::MakeDecoder(int stream, int channels, int bits) {
  if (stream < 0 || stream >= static_cast<int>(FStreamInfo.size())) return nullptr;
  const TMediaStreamInfo& info = FStreamInfo[static_cast<size_t>(stream)];
  if (!info.Decodable) return nullptr;
  if (FMp3) {
    const AVCodecParameters* parameters = FMp3Codec.get();
    const int rate = info.SampleRate;
    return std::make_unique<TMediaDecoder>(
        [parameters, rate] {
          return OpenCodec(*parameters, {1, rate});
        },
        std::make_unique<TMp3PacketSource>(*FBytes, *FMp3Frames, FMp3->Header.SamplesPerFrame,
                                           rate),
        FMp3Timeline, rate, channels, bits);
  }
  // A decoder made before left the demuxer somewhere in the file.
  if (FDecoderMade && av_seek_frame(FFormat.get(), -1, 0, AVSEEK_FLAG_BACKWARD) < 0) return nullptr;
  FDecoderMade = true;
  const AVStream* avStream = FFormat->streams[stream];
  const AVCodecParameters* parameters = avStream->codecpar;
  const AVRational timeBase = avStream->time_base;
  return std::make_unique<TMediaDecoder>(
      [parameters, timeBase] { return OpenCodec(*parameters, timeBase); },
      std::make_unique<TAsfPacketSource>(*FFormat, stream, info.SampleRate,
                                         WmaFrameLength(parameters->codec_id, info.SampleRate),
                                         !WmaUsesNoise(*parameters)),
      TMediaTimeline{}, info.SampleRate, channels, bits);
}

}  // namespace trimora::media
