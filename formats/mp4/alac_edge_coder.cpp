// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp4/alac_edge_coder.h"

#include <cstring>

#include "pipeline/au_exception.h"
#include "platform/media_av.h"
#include "platform/media_avio.h"

using namespace trimora::media;

namespace {

// The cookie: its box header, version and flags, then the configuration.
constexpr size_t kCookieBytes = 36;

uint32_t BigEndian32(const std::string& bytes, size_t at) {
  return uint32_t{uint8_t(bytes[at])} << 24 | uint32_t{uint8_t(bytes[at + 1])} << 16 |
         uint32_t{uint8_t(bytes[at + 2])} << 8 | uint32_t{uint8_t(bytes[at + 3])};
}

EAuException EdgeError(const std::string& reason) {
  return EAuException("The ALAC packet at an end of the range could not be coded anew: " + reason);
}

TAvCodecPtr OpenCodec(const AVCodec* codec, const std::string& cookie, bool decode,
                      const AVFrame* like) {
  if (codec == nullptr) throw EdgeError("FFmpeg has no ALAC codec");
  TAvCodecPtr context(avcodec_alloc_context3(codec));
  if (!context) throw EdgeError("out of memory");
  const int bits = uint8_t(cookie[17]);
  const int channels = uint8_t(cookie[21]);
  context->sample_rate = static_cast<int>(BigEndian32(cookie, 32));
  av_channel_layout_default(&context->ch_layout, channels);
  if (decode) {
    context->extradata =
        static_cast<uint8_t*>(av_mallocz(kCookieBytes + AV_INPUT_BUFFER_PADDING_SIZE));
    if (context->extradata == nullptr) throw EdgeError("out of memory");
    std::memcpy(context->extradata, cookie.data(), kCookieBytes);
    context->extradata_size = kCookieBytes;
  } else {
    context->sample_fmt = static_cast<AVSampleFormat>(like->format);
    context->bits_per_raw_sample = bits;
    context->time_base = {1, context->sample_rate};
    // FFmpeg's encoder codes its residues with the usual Rice settings; a cookie stating
    // others gets samples it stores uncompressed.
    const bool usual =
        uint8_t(cookie[18]) == 40 && uint8_t(cookie[19]) == 10 && uint8_t(cookie[20]) == 14;
    if (!usual) context->compression_level = 0;
  }
  if (avcodec_open2(context.get(), codec, nullptr) < 0) throw EdgeError("the codec did not open");
  return context;
}

}  // namespace

TAlacEdgeCoder::TAlacEdgeCoder(const std::string& sampleDescription) {
  // stsd (16 bytes), the 'alac' sample entry (36), then its 'alac' cookie box.
  const size_t at = sampleDescription.find("alac", 16 + 8);
  if (at == std::string::npos || at < 4 || sampleDescription.size() - (at - 4) < kCookieBytes ||
      BigEndian32(sampleDescription, at - 4) < kCookieBytes)
    throw EdgeError("its sample description holds no ALAC configuration");
  FCookie = sampleDescription.substr(at - 4, kCookieBytes);
}

std::string TAlacEdgeCoder::Recode(const std::string& packet, int64_t from, int64_t to) {
  QuietFfmpeg();
  TAvCodecPtr decoder = OpenCodec(avcodec_find_decoder(AV_CODEC_ID_ALAC), FCookie, true, nullptr);
  TAvPacketPtr coded(av_packet_alloc());
  TAvFramePtr frame(av_frame_alloc());
  if (!coded || !frame || av_new_packet(coded.get(), static_cast<int>(packet.size())) < 0)
    throw EdgeError("out of memory");
  std::memcpy(coded->data, packet.data(), packet.size());
  if (avcodec_send_packet(decoder.get(), coded.get()) < 0 ||
      avcodec_receive_frame(decoder.get(), frame.get()) < 0)
    throw EdgeError("the source's packet does not decode");
  if (from < 0 || to > frame->nb_samples || from >= to)
    throw EdgeError("the packet holds fewer samples than its table says");

  TAvFramePtr part(av_frame_alloc());
  if (!part) throw EdgeError("out of memory");
  part->format = frame->format;
  part->sample_rate = frame->sample_rate;
  part->nb_samples = static_cast<int>(to - from);
  if (av_channel_layout_copy(&part->ch_layout, &frame->ch_layout) < 0 ||
      av_frame_get_buffer(part.get(), 0) < 0)
    throw EdgeError("out of memory");
  const int width = av_get_bytes_per_sample(static_cast<AVSampleFormat>(frame->format));
  const int planes = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format))
                         ? frame->ch_layout.nb_channels
                         : 1;
  const int perPlane = planes == 1 ? frame->ch_layout.nb_channels : 1;
  for (int p = 0; p < planes; ++p)
    std::memcpy(part->extended_data[p], frame->extended_data[p] + from * width * perPlane,
                static_cast<size_t>(part->nb_samples) * width * perPlane);

  TAvCodecPtr encoder =
      OpenCodec(avcodec_find_encoder(AV_CODEC_ID_ALAC), FCookie, false, part.get());
  if (part->nb_samples > encoder->frame_size)
    throw EdgeError("the packet is longer than the encoder's");
  std::string result;
  int made = 0;
  const auto drain = [&] {
    for (;;) {
      const int got = avcodec_receive_packet(encoder.get(), coded.get());
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
      if (got < 0) throw EdgeError("the encoder failed");
      result.assign(reinterpret_cast<const char*>(coded->data), static_cast<size_t>(coded->size));
      ++made;
      av_packet_unref(coded.get());
    }
  };
  if (avcodec_send_frame(encoder.get(), part.get()) < 0) throw EdgeError("the encoder failed");
  drain();
  if (avcodec_send_frame(encoder.get(), nullptr) < 0) throw EdgeError("the encoder failed");
  drain();
  if (made != 1) throw EdgeError("the encoder made " + std::to_string(made) + " packets");
  return result;
}
