// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_play_decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/media_player.h"

namespace trimora::media {

TPlayBuffer::TPlayBuffer(size_t capacity) : FRing(std::max<size_t>(capacity, 1)) {}

bool TPlayBuffer::Write(const uint8_t* data, size_t size) {
  std::unique_lock lock(FLock);
  while (size > 0) {
    FRoom.wait(lock, [this] { return FCancelled || FSize < FRing.size(); });
    if (FCancelled) return false;
    const size_t tail = (FHead + FSize) % FRing.size();
    const size_t run = std::min({size, FRing.size() - FSize, FRing.size() - tail});
    std::memcpy(FRing.data() + tail, data, run);
    FSize += run;
    data += run;
    size -= run;
    FData.notify_all();
  }
  return true;
}

void TPlayBuffer::Finish() {
  {
    std::lock_guard lock(FLock);
    FFinished = true;
  }
  FData.notify_all();
}

void TPlayBuffer::WaitForData(size_t size, std::chrono::milliseconds limit) {
  std::unique_lock lock(FLock);
  size = std::min(size, FRing.size());
  FData.wait_for(lock, limit, [&] { return FFinished || FCancelled || FSize >= size; });
}

void TPlayBuffer::Cancel() {
  {
    std::lock_guard lock(FLock);
    FCancelled = true;
  }
  FRoom.notify_all();
}

size_t TPlayBuffer::Read(uint8_t* data, size_t size) {
  size_t done = 0;
  {
    std::lock_guard lock(FLock);
    while (done < size && FSize > 0) {
      const size_t run = std::min({size - done, FSize, FRing.size() - FHead});
      if (data != nullptr) std::memcpy(data + done, FRing.data() + FHead, run);
      FHead = (FHead + run) % FRing.size();
      FSize -= run;
      done += run;
    }
  }
  if (done > 0) FRoom.notify_all();
  return done;
}

bool TPlayBuffer::Drained() const {
  std::lock_guard lock(FLock);
  return FFinished && FSize == 0;
}

namespace {

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

class TFileStream final : public IMediaStream {
 public:
  explicit TFileStream(std::FILE* file) : FFile(file) {}
  TMediaResult Read(void* buffer, uint32_t count, uint32_t& read) override {
    read = static_cast<uint32_t>(std::fread(buffer, 1, count, FFile.get()));
    return read > 0 ? TMediaResult::Ok : TMediaResult::Fail;
  }
  TMediaResult Seek(int64_t offset, TMediaSeekOrigin origin, uint64_t& newPosition) override {
    const int whence = origin == TMediaSeekOrigin::Begin     ? SEEK_SET
                       : origin == TMediaSeekOrigin::Current ? SEEK_CUR
                                                             : SEEK_END;
    if (::fseeko(FFile.get(), offset, whence) != 0) return TMediaResult::Fail;
    const off_t position = ::ftello(FFile.get());
    if (position < 0) return TMediaResult::Fail;
    newPosition = static_cast<uint64_t>(position);
    return TMediaResult::Ok;
  }
  TMediaResult Stat(uint64_t& size) override {
    const off_t here = ::ftello(FFile.get());
    if (here < 0 || ::fseeko(FFile.get(), 0, SEEK_END) != 0) return TMediaResult::Fail;
    const off_t end = ::ftello(FFile.get());
    if (end < 0 || ::fseeko(FFile.get(), here, SEEK_SET) != 0) return TMediaResult::Fail;
    size = static_cast<uint64_t>(end);
    return TMediaResult::Ok;
  }

 private:
  std::unique_ptr<std::FILE, TFileCloser> FFile;
};

AVChannelLayout LayoutOf(const AVChannelLayout& layout) {
  AVChannelLayout result{};
  if (layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&result, layout.nb_channels);
  else
    av_channel_layout_copy(&result, &layout);
  return result;
}

}  // namespace

std::shared_ptr<IMediaStream> OpenFileStream(const std::filesystem::path& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  return std::make_shared<TFileStream>(file);
}

TPlayDecoder::TPlayDecoder(const std::filesystem::path& path) {
  if (!OpenRuntime(path)) OpenDemuxer(path);
}

// MP3 and ASF files, as 16-bit PCM at the file's rate (more than two channels mixed to two).
bool TPlayDecoder::OpenRuntime(const std::filesystem::path& path) {
  auto stream = OpenFileStream(path);
  if (!stream) throw EMediaPlayerError("the file cannot be read");
  auto reader = std::make_unique<TMediaSyncReader>();
  if (!Succeeded(reader->OpenStream(std::move(stream)))) return false;
  TMediaType type;
  if (!Succeeded(reader->GetOutputProps(0, type)))
    throw EMediaPlayerError("the file holds no sound this player can decode");
  type.Format.BitsPerSample = 16;
  const TMediaResult readable = Succeeded(reader->SetOutputProps(0, type))
                                    ? reader->GetStreamNumberForOutput(0, FReaderStream)
                                    : TMediaResult::Fail;
  if (Succeeded(readable)) {
    const TMediaResult samples = reader->SetReadStreamSamples(FReaderStream, false);
    if (samples == TMediaResult::ProtectedContent)
      throw EMediaPlayerError("the file's sound is protected");
    if (!Succeeded(samples) || type.Format.SamplesPerSec == 0 || type.Format.Channels == 0 ||
        type.Format.Channels > 2)
      throw EMediaPlayerError("the file's sound cannot be decoded");
  } else {
    throw EMediaPlayerError("the file's sound cannot be decoded");
  }
  FSource = {static_cast<int>(type.Format.SamplesPerSec), type.Format.Channels};
  FReader = std::move(reader);
  return true;
}

void TPlayDecoder::OpenDemuxer(const std::filesystem::path& path) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
    throw EMediaPlayerError("the file cannot be opened for playing");
  FFormat.reset(raw);
  if (avformat_find_stream_info(FFormat.get(), nullptr) < 0)
    throw EMediaPlayerError("the file's streams cannot be read");
  const AVCodec* codec = nullptr;
  FStream = av_find_best_stream(FFormat.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (FStream < 0 || codec == nullptr)
    throw EMediaPlayerError("the file holds no sound this player can decode");
  FCodec.reset(avcodec_alloc_context3(codec));
  const AVCodecParameters& parameters = *FFormat->streams[FStream]->codecpar;
  if (!FCodec || avcodec_parameters_to_context(FCodec.get(), &parameters) < 0 ||
      avcodec_open2(FCodec.get(), codec, nullptr) < 0)
    throw EMediaPlayerError("the file's sound cannot be decoded");
  const int channels = parameters.ch_layout.nb_channels;
  if (parameters.sample_rate <= 0 || channels <= 0)
    throw EMediaPlayerError("the file's sound format is unknown");
  FSource = {parameters.sample_rate, std::min(channels, 2)};
}

TPlayDecoder::~TPlayDecoder() {
  Stop();
}

void TPlayDecoder::Start(TPlayFormat format, int64_t fromMs, int64_t toMs, TPlayBuffer& buffer) {
  Stop();
  FStopping = false;
  FBuffer = &buffer;
  FThread = std::thread([=, this, &buffer] { Run(format, fromMs, toMs, buffer); });
}

void TPlayDecoder::Stop() {
  FStopping = true;
  if (FBuffer != nullptr) FBuffer->Cancel();
  if (FThread.joinable()) FThread.join();
  FBuffer = nullptr;
}

void TPlayDecoder::Run(TPlayFormat format, int64_t fromMs, int64_t toMs, TPlayBuffer& buffer) {
  FFirst = av_rescale(fromMs, format.Rate, 1000);
  FLast = toMs < 0 ? -1 : av_rescale(toMs, format.Rate, 1000);
  FNext = -1;
  FConverter.reset();
  const bool more =
      FReader ? RunRuntime(format, fromMs, toMs, buffer) : RunDemuxer(format, fromMs, buffer);
  // What the converter still holds (a resampler's tail).
  if (more && !FStopping && FConverter) Deliver(nullptr, 0, format, buffer);
  buffer.Finish();
}

// The reader starts a range on its exact frame; its samples are placed by count from there.
bool TPlayDecoder::RunRuntime(TPlayFormat format, int64_t fromMs, int64_t toMs,
                              TPlayBuffer& buffer) {
  const int64_t duration = toMs < 0 ? 0 : std::max<int64_t>(toMs - fromMs, 1) * 10000;
  if (!Succeeded(FReader->SetRange(static_cast<uint64_t>(fromMs) * 10000, duration))) return false;
  AVChannelLayout layout{};
  av_channel_layout_default(&layout, FSource.Channels);
  const bool made = MakeConverter(layout, AV_SAMPLE_FMT_S16, FSource.Rate, format);
  av_channel_layout_uninit(&layout);
  if (!made) return false;
  FNext = FFirst;
  TMediaSample sample;
  while (!FStopping && Succeeded(FReader->GetNextSample(FReaderStream, sample))) {
    const uint8_t* data[] = {sample.Bytes.data()};
    const int frames = static_cast<int>(sample.Bytes.size() / FSource.FrameBytes());
    if (frames > 0 && !Deliver(data, frames, format, buffer)) return false;
  }
  return true;
}

// Seeks to just before the start (to the beginning for a play from 0, as an earlier run may
// have moved on); the frames' time stamps place what is decoded, and what lies before the
// start is dropped.
bool TPlayDecoder::RunDemuxer(TPlayFormat format, int64_t fromMs, TPlayBuffer& buffer) {
  AVStream& stream = *FFormat->streams[FStream];
  const int64_t target = av_rescale_q(fromMs, {1, 1000}, stream.time_base) +
                         (stream.start_time != AV_NOPTS_VALUE ? stream.start_time : 0);
  if (av_seek_frame(FFormat.get(), FStream, target, AVSEEK_FLAG_BACKWARD) < 0)
    av_seek_frame(FFormat.get(), -1, 0, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_BYTE);
  avcodec_flush_buffers(FCodec.get());
  TAvPacketPtr packet(av_packet_alloc());
  TAvFramePtr frame(av_frame_alloc());
  bool more = packet && frame;
  auto receive = [&] {
    while (more && avcodec_receive_frame(FCodec.get(), frame.get()) == 0) {
      if (!FConverter) {
        int64_t pts = frame->best_effort_timestamp;
        if (pts != AV_NOPTS_VALUE && stream.start_time != AV_NOPTS_VALUE) pts -= stream.start_time;
        FNext = pts == AV_NOPTS_VALUE ? 0 : av_rescale_q(pts, stream.time_base, {1, format.Rate});
        more = MakeConverter(frame->ch_layout, static_cast<AVSampleFormat>(frame->format),
                             frame->sample_rate, format);
      }
      if (more)
        more = Deliver(const_cast<const uint8_t* const*>(frame->extended_data), frame->nb_samples,
                       format, buffer);
      av_frame_unref(frame.get());
    }
  };
  while (more && !FStopping) {
    if (av_read_frame(FFormat.get(), packet.get()) < 0) break;
    // A damaged packet is skipped, as a player skips a glitch.
    if (packet->stream_index == FStream && avcodec_send_packet(FCodec.get(), packet.get()) >= 0)
      receive();
    av_packet_unref(packet.get());
  }
  if (more && !FStopping && avcodec_send_packet(FCodec.get(), nullptr) >= 0) receive();
  return more;
}

bool TPlayDecoder::MakeConverter(const AVChannelLayout& layout, AVSampleFormat sampleFormat,
                                 int rate, TPlayFormat format) {
  SwrContext* raw = nullptr;
  AVChannelLayout in = LayoutOf(layout);
  AVChannelLayout out{};
  av_channel_layout_default(&out, format.Channels);
  const int made = swr_alloc_set_opts2(&raw, &out, AV_SAMPLE_FMT_S16, format.Rate, &in,
                                       sampleFormat, rate, 0, nullptr);
  av_channel_layout_uninit(&in);
  av_channel_layout_uninit(&out);
  FConverter.reset(raw);
  return made >= 0 && swr_init(raw) >= 0;
}

bool TPlayDecoder::Deliver(const uint8_t* const* data, int frames, TPlayFormat format,
                           TPlayBuffer& buffer) {
  SwrContext* converter = FConverter.get();
  const int room = swr_get_out_samples(converter, frames);
  if (room <= 0) return true;
  FScratch.resize(static_cast<size_t>(room) * format.FrameBytes());
  uint8_t* out[] = {FScratch.data()};
  const int made = swr_convert(converter, out, room, const_cast<const uint8_t**>(data), frames);
  if (made <= 0) return made == 0;
  const int64_t first = FNext;
  FNext += made;
  const int64_t begin = std::max(first, FFirst);
  const int64_t end = FLast < 0 ? FNext : std::min(FNext, FLast);
  if (end > begin &&
      !buffer.Write(FScratch.data() + static_cast<size_t>(begin - first) * format.FrameBytes(),
                    static_cast<size_t>(end - begin) * format.FrameBytes()))
    return false;
  return FLast < 0 || FNext < FLast;
}

}  // namespace trimora::media
