// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/acm_mp3.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/media_av.h"

namespace trimora::acm {
namespace {

constexpr std::array<uint32_t, 9> kMp3Rates = {8000,  11025, 12000, 16000, 22050,
                                               24000, 32000, 44100, 48000};

// Float to 16-bit as FFmpeg's own sample conversion does it, so that our PCM is the PCM
// FFmpeg's command line gives for the same file.
int16_t FloatToS16(float v) {
  const long r = std::lrintf(v * 32768.0f);
  return static_cast<int16_t>(std::clamp<long>(r, -32768, 32767));
}

// Sample `i` of channel `c` of a decoded frame as a float in -1 .. 1.
float SampleAt(const AVFrame& f, int c, int i) {
  const int channels = f.ch_layout.nb_channels;
  switch (f.format) {
    case AV_SAMPLE_FMT_FLTP:
      return reinterpret_cast<const float*>(f.extended_data[c])[i];
    case AV_SAMPLE_FMT_FLT:
      return reinterpret_cast<const float*>(f.data[0])[i * channels + c];
    case AV_SAMPLE_FMT_S16P:
      return reinterpret_cast<const int16_t*>(f.extended_data[c])[i] / 32768.0f;
    case AV_SAMPLE_FMT_S16:
      return reinterpret_cast<const int16_t*>(f.data[0])[i * channels + c] / 32768.0f;
    default:
      return 0.0f;
  }
}

bool KnownFormat(int format) {
  return format == AV_SAMPLE_FMT_FLTP || format == AV_SAMPLE_FMT_FLT ||
         format == AV_SAMPLE_FMT_S16P || format == AV_SAMPLE_FMT_S16;
}

class TPcmWriter {
 public:
  TPcmWriter(std::span<uint8_t> out, uint32_t rate, uint16_t channels)
      : FOut(out), FRate(rate), FChannels(channels) {}

  bool Full() const { return FOut.size() - Used < 2u * FChannels; }
  uint32_t Used = 0;
  uint64_t Frames = 0;

  void Add(const AVFrame& f) {
    const int have = f.ch_layout.nb_channels;
    if (static_cast<uint32_t>(f.sample_rate) != FRate || have < 1 || !KnownFormat(f.format)) {
      return;
    }
    ++Frames;
    for (int i = 0; i < f.nb_samples && !Full(); ++i) {
      const float first = SampleAt(f, 0, i);
      const float second = have > 1 ? SampleAt(f, 1, i) : first;
      if (FChannels == 1) {
        Put(have > 1 ? FloatToS16((first + second) * 0.5f) : PcmOf(f, 0, i));
      } else {
        Put(PcmOf(f, 0, i));
        Put(have > 1 ? PcmOf(f, 1, i) : PcmOf(f, 0, i));
      }
    }
  }

 private:
  // Integer decoders' samples pass unchanged; float ones go through the float rule.
  static int16_t PcmOf(const AVFrame& f, int c, int i) {
    if (f.format == AV_SAMPLE_FMT_S16P) {
      return reinterpret_cast<const int16_t*>(f.extended_data[c])[i];
    }
    if (f.format == AV_SAMPLE_FMT_S16) {
      return reinterpret_cast<const int16_t*>(f.data[0])[i * f.ch_layout.nb_channels + c];
    }
    return FloatToS16(SampleAt(f, c, i));
  }
  void Put(int16_t s) {
    FOut[Used] = static_cast<uint8_t>(s);
    FOut[Used + 1] = static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8);
    Used += 2;
  }

  std::span<uint8_t> FOut;
  uint32_t FRate;
  uint16_t FChannels;
};

class TMp3Decoder {
 public:
  bool Open() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MP3);
    if (codec == nullptr) return false;
    Context.reset(avcodec_alloc_context3(codec));
    Parser.reset(av_parser_init(AV_CODEC_ID_MP3));
    return Context && Parser && Packet && Frame &&
           avcodec_open2(Context.get(), codec, nullptr) >= 0;
  }

  // Sends one packet (nullptr: the end) and takes every frame it gives. False only when
  // FFmpeg runs out of memory; a damaged frame is passed over.
  bool Decode(const uint8_t* data, int size, TPcmWriter& out) {
    AVPacket* packet = nullptr;
    if (data != nullptr) {
      Packet->data = const_cast<uint8_t*>(data);
      Packet->size = size;
      packet = Packet.get();
    }
    if (avcodec_send_packet(Context.get(), packet) == AVERROR(ENOMEM)) return false;
    for (;;) {
      const int r = avcodec_receive_frame(Context.get(), Frame.get());
      if (r == AVERROR(ENOMEM)) return false;
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
      if (r < 0) continue;
      out.Add(*Frame);
      av_frame_unref(Frame.get());
    }
  }

  media::TAvCodecPtr Context;
  media::TAvParserPtr Parser;
  media::TAvPacketPtr Packet{av_packet_alloc()};
  media::TAvFramePtr Frame{av_frame_alloc()};
};

}  // namespace

bool IsMp3SampleRate(uint32_t sampleRate) {
  return std::find(kMp3Rates.begin(), kMp3Rates.end(), sampleRate) != kMp3Rates.end();
}

uint64_t Mp3PcmBound(uint64_t sourceBytes, uint32_t sampleRate, uint16_t channels) {
  if (!IsMp3SampleRate(sampleRate)) return 0;
  // MPEG-1 (32 kHz and up): 1152 samples in at least 144 x 32 kbit/s / rate bytes; MPEG-2
  // and 2.5: 576 samples in at least 72 x 8 kbit/s / rate bytes.
  const bool mpeg1 = sampleRate >= 32000;
  const uint64_t samples = mpeg1 ? 1152 : 576;
  const uint64_t smallestFrame = mpeg1 ? 144ull * 32000 / sampleRate : 72ull * 8000 / sampleRate;
  const uint64_t frames = sourceBytes / smallestFrame + 1;
  return frames * samples * channels * 2;
}

TMp3DecodeResult DecodeMp3(std::span<const uint8_t> source, std::span<uint8_t> destination,
                           uint32_t sampleRate, uint16_t channels) {
  TMp3DecodeResult result;
  TMp3Decoder decoder;
  if (!decoder.Open()) {
    result.Failed = true;
    return result;
  }
  // FFmpeg's readers may look a little past the end of what they are given.
  std::vector<uint8_t> input(source.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  std::copy(source.begin(), source.end(), input.begin());
  TPcmWriter out(destination, sampleRate, channels);
  size_t offset = 0;
  bool ok = true;
  while (ok && !out.Full()) {
    const int left = static_cast<int>(std::min<size_t>(source.size() - offset, 1 << 20));
    uint8_t* frame = nullptr;
    int frameSize = 0;
    const int used =
        av_parser_parse2(decoder.Parser.get(), decoder.Context.get(), &frame, &frameSize,
                         input.data() + offset, left, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (used < 0) break;
    offset += static_cast<size_t>(used);
    if (frameSize > 0) ok = decoder.Decode(frame, frameSize, out);
    // An empty call is the parser's flush: after it, or when nothing moved, the data is done.
    if (left == 0 || (used == 0 && frameSize == 0)) break;
  }
  if (ok && !out.Full()) ok = decoder.Decode(nullptr, 0, out);
  result.Failed = !ok;
  result.SourceUsed = static_cast<uint32_t>(offset);
  result.PcmBytes = out.Used;
  result.FramesDecoded = out.Frames;
  return result;
}

}  // namespace trimora::acm
