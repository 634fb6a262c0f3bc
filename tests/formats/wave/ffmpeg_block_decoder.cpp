// SPDX-License-Identifier: GPL-3.0-or-later
#include "ffmpeg_block_decoder.h"

#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
}

FfmpegBlockDecoder::FfmpegBlockDecoder(int formatTag, int channels, int sampleRate,
                                       int blockAlign) {
  const AVCodec* codec =
      avcodec_find_decoder(formatTag == 0x11 ? AV_CODEC_ID_ADPCM_IMA_WAV : AV_CODEC_ID_ADPCM_MS);
  if (codec == nullptr || !Packet || !Frame) return;
  trimora::media::TAvCodecPtr context(avcodec_alloc_context3(codec));
  if (!context) return;
  av_channel_layout_default(&context->ch_layout, channels);
  context->sample_rate = sampleRate;
  context->block_align = blockAlign;
  context->bits_per_coded_sample = 4;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return;
  Context = std::move(context);
}

std::optional<std::vector<int16_t>> FfmpegBlockDecoder::Decode(std::span<const uint8_t> block) {
  if (!Context || av_new_packet(Packet.get(), static_cast<int>(block.size())) < 0) {
    return std::nullopt;
  }
  std::memcpy(Packet->data, block.data(), block.size());
  const int sent = avcodec_send_packet(Context.get(), Packet.get());
  av_packet_unref(Packet.get());
  if (sent < 0) return std::nullopt;

  std::vector<int16_t> out;
  bool failed = false;
  for (;;) {
    const int got = avcodec_receive_frame(Context.get(), Frame.get());
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) break;
    if (got < 0) {
      failed = true;
      break;
    }
    const int channels = Frame->ch_layout.nb_channels;
    const auto format = static_cast<AVSampleFormat>(Frame->format);
    for (int i = 0; i < Frame->nb_samples; ++i) {
      for (int c = 0; c < channels; ++c) {
        const auto* plane = reinterpret_cast<const int16_t*>(
            Frame->extended_data[format == AV_SAMPLE_FMT_S16P ? c : 0]);
        out.push_back(format == AV_SAMPLE_FMT_S16P ? plane[i] : plane[i * channels + c]);
      }
    }
    av_frame_unref(Frame.get());
  }
  // FFmpeg reports a rejected block from receive_frame or by producing no frame at all.
  if (failed || out.empty()) return std::nullopt;
  return out;
}
