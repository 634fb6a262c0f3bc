// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/flac/flac_frame_decoder.h"

#include <cstring>
#include <mutex>

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include "pipeline/au_exception.h"

using namespace trimora::media;

TFlacFrameDecoder::TFlacFrameDecoder(const TFlacStreamInfo& info)
    : FChannels(info.Channels), FBits(info.BitsPerSample) {
  // FFmpeg 5.1 decodes up to 24 bits per sample.
  if (info.BitsPerSample > 24)
    throw EAuException("FLAC frames of " + std::to_string(info.BitsPerSample) +
                       "-bit samples cannot be decoded here");
  // A damaged frame makes FFmpeg talk on stderr; the failure comes back as our exception.
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_FLAC);
  if (codec == nullptr) throw EAuException("No FLAC decoder is available");
  FCodec.reset(avcodec_alloc_context3(codec));
  FPacket.reset(av_packet_alloc());
  FFrame.reset(av_frame_alloc());
  if (!FCodec || !FPacket || !FFrame) throw EAuException("Out of memory for the FLAC decoder");
  // The decoder sizes its buffers by the STREAMINFO's largest block, which a file may state
  // wrongly: it is told the format's largest instead.
  TFlacStreamInfo told = info;
  told.MinBlockSize = 16;
  told.MaxBlockSize = 65535;
  told.MinFrameSize = told.MaxFrameSize = 0;
  told.TotalSamples = 0;
  const auto body = FlacStreamInfoBytes(told);
  FCodec->extradata = static_cast<uint8_t*>(av_mallocz(body.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (FCodec->extradata == nullptr) throw EAuException("Out of memory for the FLAC decoder");
  std::memcpy(FCodec->extradata, body.data(), body.size());
  FCodec->extradata_size = static_cast<int>(body.size());
  FCodec->sample_rate = static_cast<int>(info.SampleRate);
  av_channel_layout_default(&FCodec->ch_layout, static_cast<int>(info.Channels));
  if (avcodec_open2(FCodec.get(), codec, nullptr) < 0)
    throw EAuException("The FLAC decoder could not be opened");
}

TFlacFrameDecoder::TDecoded TFlacFrameDecoder::Decode(const uint8_t* frame, size_t bytes,
                                                      uint32_t samples) {
  // The packet's own buffer carries the padding FFmpeg's bit reader may look into.
  if (av_new_packet(FPacket.get(), static_cast<int>(bytes)) < 0)
    throw EAuException("Out of memory for the FLAC decoder");
  std::memcpy(FPacket->data, frame, bytes);
  const int sent = avcodec_send_packet(FCodec.get(), FPacket.get());
  av_packet_unref(FPacket.get());
  const int got = sent < 0 ? sent : avcodec_receive_frame(FCodec.get(), FFrame.get());
  if (got < 0 || FFrame->nb_samples != static_cast<int>(samples) ||
      FFrame->ch_layout.nb_channels != static_cast<int>(FChannels) ||
      av_sample_fmt_is_planar(static_cast<AVSampleFormat>(FFrame->format))) {
    avcodec_flush_buffers(FCodec.get());
    throw EAuException("A FLAC frame does not decode");
  }
  TDecoded decoded;
  decoded.Data = FFrame->data[0];
  decoded.Samples = samples;
  decoded.Wide = FFrame->format == AV_SAMPLE_FMT_S32;
  decoded.Shift = (decoded.Wide ? 32 : 16) - static_cast<int>(FBits);
  return decoded;
}

void AppendSamples(const TFlacFrameDecoder::TDecoded& decoded, uint32_t channels, uint32_t first,
                   uint32_t count, std::vector<int32_t>& out) {
  const size_t from = static_cast<size_t>(first) * channels;
  const size_t n = static_cast<size_t>(count) * channels;
  const size_t at = out.size();
  out.resize(at + n);
  if (decoded.Wide) {
    const auto* words = reinterpret_cast<const int32_t*>(decoded.Data) + from;
    for (size_t i = 0; i < n; ++i) out[at + i] = words[i] >> decoded.Shift;
  } else {
    const auto* words = reinterpret_cast<const int16_t*>(decoded.Data) + from;
    for (size_t i = 0; i < n; ++i) out[at + i] = words[i] >> decoded.Shift;
  }
}
