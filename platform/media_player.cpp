#include "platform/media_player.h"

#include <cstdio>
#include <optional>

#include "platform/media_av.h"
#include "platform/media_runtime.h"

namespace trimora::media {
namespace {

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// The reader's byte stream over a plain file.
class TFileStream final : public IMediaStream {
 public:
  explicit TFileStream(std::FILE* file) : File(file) {}
  TMediaResult Read(void* buffer, uint32_t count, uint32_t& read) override {
    read = static_cast<uint32_t>(std::fread(buffer, 1, count, File.get()));
    return read > 0 ? TMediaResult::Ok : TMediaResult::Fail;
  }
  TMediaResult Seek(int64_t offset, TMediaSeekOrigin origin, uint64_t& newPosition) override {
    const int whence = origin == TMediaSeekOrigin::Begin     ? SEEK_SET
                       : origin == TMediaSeekOrigin::Current ? SEEK_CUR
                                                             : SEEK_END;
    if (::fseeko(File.get(), offset, whence) != 0) return TMediaResult::Fail;
    const off_t position = ::ftello(File.get());
    if (position < 0) return TMediaResult::Fail;
    newPosition = static_cast<uint64_t>(position);
    return TMediaResult::Ok;
  }
  TMediaResult Stat(uint64_t& size) override {
    const off_t here = ::ftello(File.get());
    if (here < 0 || ::fseeko(File.get(), 0, SEEK_END) != 0) return TMediaResult::Fail;
    const off_t end = ::ftello(File.get());
    if (end < 0 || ::fseeko(File.get(), here, SEEK_SET) != 0) return TMediaResult::Fail;
    size = static_cast<uint64_t>(end);
    return TMediaResult::Ok;
  }

 private:
  std::unique_ptr<std::FILE, TFileCloser> File;
};

// The runtime's length of an MP3 or ASF file in 100-ns units; nothing for other files.
std::optional<uint64_t> RuntimeDuration(const std::filesystem::path& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw EMediaPlayerError("the file cannot be read");
  TMediaSyncReader reader;
  if (!Succeeded(reader.OpenStream(std::make_shared<TFileStream>(file)))) return std::nullopt;
  uint32_t outputs = 0;
  TMediaValue duration;
  const bool known = Succeeded(reader.GetOutputCount(outputs)) && outputs > 0 &&
                     Succeeded(reader.GetAttributeByName(0, "Duration", duration)) &&
                     std::holds_alternative<uint64_t>(duration);
  reader.Close();
  if (!known) throw EMediaPlayerError("the file holds no sound of known length");
  return std::get<uint64_t>(duration);
}

// The length FFmpeg's demuxer gives the first decodable audio stream, in milliseconds.
int64_t DemuxerLengthMs(const std::filesystem::path& path) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
    throw EMediaPlayerError("the file is not a sound file");
  TAvFormatPtr format(raw);
  if (avformat_find_stream_info(format.get(), nullptr) < 0)
    throw EMediaPlayerError("the file's streams cannot be read");
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVStream& stream = *format->streams[i];
    if (stream.codecpar->codec_type != AVMEDIA_TYPE_AUDIO ||
        avcodec_find_decoder(stream.codecpar->codec_id) == nullptr)
      continue;
    if (stream.duration != AV_NOPTS_VALUE && stream.duration > 0)
      return av_rescale_q_rnd(stream.duration, stream.time_base, {1, 1000},
                              static_cast<AVRounding>(AV_ROUND_DOWN));
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
      return format->duration / (AV_TIME_BASE / 1000);
    throw EMediaPlayerError("the file's length is unknown");
  }
  throw EMediaPlayerError("the file holds no sound this player can decode");
}

}  // namespace

TMediaPlayer::TMediaPlayer() = default;

TMediaPlayer::~TMediaPlayer() {
  Close();
}

void TMediaPlayer::Open() {
  Close();
  std::error_code error;
  if (!std::filesystem::is_regular_file(FFileName, error))
    throw EMediaPlayerError("the file does not exist");
  if (const auto duration = RuntimeDuration(FFileName))
    FLengthMs = static_cast<int64_t>(*duration / 10000);
  else
    FLengthMs = DemuxerLengthMs(FFileName);
  FOpen = true;
}

void TMediaPlayer::Close() {
  FOpen = false;
  FLengthMs = 0;
}

}  // namespace trimora::media
