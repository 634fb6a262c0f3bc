#include "mp3_test_support.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <numeric>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

#include "pipeline_test_support.h"

namespace mp3_test {

std::vector<int16_t> MakePcm(int rate, int channels, int64_t frames, TSignal signal) {
  std::vector<int16_t> pcm;
  pcm.reserve(static_cast<size_t>(frames * channels));
  uint32_t seed = 12345;
  const double pi = std::acos(-1.0);
  for (int64_t i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      if (signal == TSignal::Noise) {
        seed = seed * 1664525u + 1013904223u;
        pcm.push_back(static_cast<int16_t>(static_cast<int32_t>(seed >> 16) - 32768) / 2);
      } else {
        // A rising tone on the left, so that any shift in time shows, and a steady one right.
        const double t = static_cast<double>(i) / rate, span = static_cast<double>(frames) / rate;
        const double phase = c == 0 ? 2 * pi * (200 * t + 600 * t * t / span) : 2 * pi * 660 * t;
        pcm.push_back(static_cast<int16_t>(10000.0 * std::sin(phase)));
      }
    }
  }
  return pcm;
}

namespace {

std::vector<uint8_t> AsBytes(const std::vector<int16_t>& pcm) {
  std::vector<uint8_t> bytes(pcm.size() * 2);
  std::memcpy(bytes.data(), pcm.data(), bytes.size());
  return bytes;
}

}  // namespace

TPcmIn::TPcmIn(int rate, int channels, int64_t frames, TSignal signal)
    : Rate(rate),
      ChannelCount(channels),
      Pcm(MakePcm(rate, channels, frames, signal)),
      Memory(AsBytes(Pcm)) {
  SetStream(&Memory);
}

TPcmIn::~TPcmIn() { CloseFile(); }

void TPcmIn::OpenFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount > 0) return;
  OpenStream();
  FValid = true;
  FBitsPerSample = ReportedBits;
  FChannels = ChannelCount;
  FSampleRate = Rate;
  FSize = Stream->Size();
  Stream->SetPosition(0);
  ++OpenCount;
}

void TPcmIn::CloseFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount == 0) return;
  CloseStream();
  OpenCount = 0;
}

void TPcmIn::ReadBlock(uint8_t*& buffer, uint32_t& bytes) {
  // An odd block size makes the sink's buffer fill from several reads.
  Block.resize(std::min<uint32_t>(bytes, 3001));
  bytes = static_cast<uint32_t>(Stream->Read(Block.data(), static_cast<int64_t>(Block.size())));
  buffer = Block.data();
}

bool TPcmIn::DoSeek(int64_t& sampleNum) {
  Stream->SetPosition(sampleNum * 2 * ChannelCount);
  return true;
}

namespace {

struct TFormatCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct TCodecCloser {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct TPacketCloser {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct TFrameCloser {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};

void Collect(const AVFrame& frame, TDecoded& out) {
  out.Frames += frame.nb_samples;
  for (int i = 0; i < frame.nb_samples; ++i) {
    if (frame.format == AV_SAMPLE_FMT_FLTP)
      out.FirstChannel.push_back(reinterpret_cast<const float*>(frame.data[0])[i]);
    else if (frame.format == AV_SAMPLE_FMT_S16P)
      out.FirstChannel.push_back(reinterpret_cast<const int16_t*>(frame.data[0])[i] / 32768.0f);
  }
}

void Drain(AVCodecContext* codec, AVFrame* frame, TDecoded& out) {
  while (avcodec_receive_frame(codec, frame) == 0) {
    Collect(*frame, out);
    av_frame_unref(frame);
  }
}

}  // namespace

TDecoded DecodeWithFFmpeg(const std::filesystem::path& file) {
  av_log_set_level(AV_LOG_ERROR);
  TDecoded out;
  AVFormatContext* rawFormat = nullptr;
  if (avformat_open_input(&rawFormat, file.c_str(), nullptr, nullptr) < 0) return out;
  const std::unique_ptr<AVFormatContext, TFormatCloser> format(rawFormat);
  if (avformat_find_stream_info(format.get(), nullptr) < 0) return out;
  const AVCodec* decoder = nullptr;
  const int index = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
  if (index < 0) return out;
  const AVCodecParameters* params = format->streams[index]->codecpar;
  const std::unique_ptr<AVCodecContext, TCodecCloser> codec(avcodec_alloc_context3(decoder));
  if (avcodec_parameters_to_context(codec.get(), params) < 0 ||
      avcodec_open2(codec.get(), decoder, nullptr) < 0)
    return out;
  out.Channels = params->ch_layout.nb_channels;
  out.SampleRate = params->sample_rate;
  out.BitRate = params->bit_rate;
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = av_dict_get(format->metadata, "", entry, AV_DICT_IGNORE_SUFFIX)))
    out.Tags[entry->key] = entry->value;

  const std::unique_ptr<AVPacket, TPacketCloser> packet(av_packet_alloc());
  const std::unique_ptr<AVFrame, TFrameCloser> frame(av_frame_alloc());
  while (av_read_frame(format.get(), packet.get()) >= 0) {
    if (packet->stream_index == index && avcodec_send_packet(codec.get(), packet.get()) == 0)
      Drain(codec.get(), frame.get(), out);
    av_packet_unref(packet.get());
  }
  avcodec_send_packet(codec.get(), nullptr);
  Drain(codec.get(), frame.get(), out);
  out.Opened = true;
  return out;
}

double TFrameWalk::AverageKbps() const {
  if (Kbps.empty()) return 0;
  return std::accumulate(Kbps.begin(), Kbps.end(), 0.0) / static_cast<double>(Kbps.size());
}

TFrameWalk WalkFrames(const std::vector<uint8_t>& file) {
  static const int kV1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static const int kV2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static const int kRates[3][3] = {{11025, 12000, 8000}, {22050, 24000, 16000},
                                   {44100, 48000, 32000}};
  TFrameWalk walk;
  size_t pos = 0;
  if (file.size() >= 10 && std::memcmp(file.data(), "ID3", 3) == 0)
    pos = 10 + ((file[6] << 21) | (file[7] << 14) | (file[8] << 7) | file[9]);
  bool first = true;
  while (pos + 4 <= file.size() && file[pos] == 0xFF && (file[pos + 1] & 0xE0) == 0xE0) {
    const int version = (file[pos + 1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int rateIndex = (file[pos + 2] >> 2) & 3;
    const int bitIndex = file[pos + 2] >> 4;
    if (version == 1 || rateIndex == 3 || bitIndex == 0 || bitIndex == 15) break;
    const bool mpeg1 = version == 3;
    const int kbps = mpeg1 ? kV1[bitIndex] : kV2[bitIndex];
    const int rate = kRates[mpeg1 ? 2 : version == 2 ? 1 : 0][rateIndex];
    const size_t length =
        static_cast<size_t>((mpeg1 ? 144000 : 72000) * kbps / rate + ((file[pos + 2] >> 1) & 1));
    if (first) {
      first = false;
      const std::string head(file.begin() + static_cast<long>(pos),
                             file.begin() + static_cast<long>(std::min(pos + 64, file.size())));
      if (head.find("Info") != std::string::npos) walk.TagFrame = "Info";
      if (head.find("Xing") != std::string::npos) walk.TagFrame = "Xing";
      if (!walk.TagFrame.empty()) {
        pos += length;
        continue;
      }
    }
    ++walk.Frames;
    walk.Kbps.push_back(kbps);
    if (walk.Mode < 0) walk.Mode = file[pos + 3] >> 6;
    pos += length;
  }
  return walk;
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string RunToEnd(TAuOutput& sink) {
  bool done = false;
  sink.OnDone = [&done](TComponent*) { done = true; };
  sink.Run();
  if (!pipeline_test::PumpUntil([&] { return done; })) return "hung";
  sink.OnDone = nullptr;
  return sink.ExceptionMessage();
}

}  // namespace mp3_test
