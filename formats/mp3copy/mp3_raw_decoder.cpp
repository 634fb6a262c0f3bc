// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3copy/mp3_raw_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "formats/mp3copy/mp3_copy_plan.h"
#include "pipeline/au_exception.h"
#include "platform/media_av.h"

using namespace trimora::media;

namespace {

// Frames decoded before the stretch and dropped: the deepest reservoir (511 bytes) spans
// about five frames at the lowest bit rates, and the overlap two more.
constexpr int64_t kWarmUpFrames = 12;

int16_t ToPcm16(float value) {
  const float scaled = std::nearbyint(value * 32768.0f);
  return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

// Appends one decoded frame, interleaved; false when its shape is not the stream's.
bool AppendFrame(const AVFrame& frame, int channels, int perFrame, std::vector<int16_t>& out) {
  if (frame.nb_samples != perFrame || frame.ch_layout.nb_channels != channels) return false;
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(perFrame * channels));
  const auto format = static_cast<AVSampleFormat>(frame.format);
  for (int c = 0; c < channels; ++c) {
    for (int i = 0; i < perFrame; ++i) {
      int16_t value = 0;
      if (format == AV_SAMPLE_FMT_FLTP)
        value = ToPcm16(reinterpret_cast<const float*>(frame.extended_data[c])[i]);
      else if (format == AV_SAMPLE_FMT_S16P)
        value = reinterpret_cast<const int16_t*>(frame.extended_data[c])[i];
      else
        return false;
      out[at + static_cast<size_t>(i * channels + c)] = value;
    }
  }
  return true;
}

}  // namespace

std::vector<int16_t> DecodeMp3Raw(TMediaByteReader& reader, TMp3FrameIndex& index, int channels,
                                  int64_t from, int64_t to) {
  const int perFrame = index.FirstAudioHeader().SamplesPerFrame;
  std::vector<int16_t> result(static_cast<size_t>(std::max<int64_t>(0, to - from) * channels), 0);
  if (to <= from || to <= 0 || perFrame <= 0) return result;
  const int64_t first = std::max<int64_t>(0, from / perFrame - kWarmUpFrames);
  int64_t last = (to - 1) / perFrame;
  while (last >= first && !index.Reach(last)) --last;
  if (last < first) return result;

  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MP3);
  if (codec == nullptr) throw EAuException("No MP3 decoder is available");
  TAvCodecPtr context(avcodec_alloc_context3(codec));
  TAvPacketPtr packet(av_packet_alloc());
  TAvFramePtr frame(av_frame_alloc());
  if (!context || !packet || !frame || avcodec_open2(context.get(), codec, nullptr) < 0)
    throw EAuException("The MP3 decoder could not be set up");

  std::vector<int16_t> decoded;
  decoded.reserve(static_cast<size_t>((last - first + 1) * perFrame * channels));
  for (int64_t k = first; k <= last; ++k) {
    const std::vector<uint8_t> bytes = ReadMp3Frame(reader, index.Frame(k));
    const size_t before = decoded.size();
    if (av_new_packet(packet.get(), static_cast<int>(bytes.size())) == 0) {
      std::memcpy(packet->data, bytes.data(), bytes.size());
      if (avcodec_send_packet(context.get(), packet.get()) == 0 &&
          avcodec_receive_frame(context.get(), frame.get()) == 0) {
        if (!AppendFrame(*frame, channels, perFrame, decoded)) decoded.resize(before);
        av_frame_unref(frame.get());
      }
      av_packet_unref(packet.get());
    }
    decoded.resize(before + static_cast<size_t>(perFrame * channels), 0);
  }
  // decoded[0] is raw sample first * perFrame.
  const int64_t base = first * perFrame;
  for (int64_t s = std::max(from, base); s < std::min(to, base + (last - first + 1) * perFrame);
       ++s)
    for (int c = 0; c < channels; ++c)
      result[static_cast<size_t>((s - from) * channels + c)] =
          decoded[static_cast<size_t>((s - base) * channels + c)];
  return result;
}
