// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_player.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/media_av.h"
#include "platform/media_play_decoder.h"
#include "platform/media_play_output.h"
#include "platform/media_runtime.h"

namespace trimora::media {
namespace {

// The runtime's length of an MP3 or ASF file in 100-ns units; nothing for other files.
std::optional<uint64_t> RuntimeDuration(const std::filesystem::path& path) {
  auto stream = OpenFileStream(path);
  if (!stream) throw EMediaPlayerError("the file cannot be read");
  TMediaSyncReader reader;
  if (!Succeeded(reader.OpenStream(std::move(stream)))) return std::nullopt;
  uint32_t outputs = 0;
  TMediaValue duration;
  const bool known = Succeeded(reader.GetOutputCount(outputs)) && outputs > 0 &&
                     Succeeded(reader.GetAttributeByName(0, "Duration", duration)) &&
                     std::holds_alternative<uint64_t>(duration);
  static_cast<void>(reader.Close());  // only lets go of the file; cannot fail
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

// About a second of CD sound: enough to ride out a busy moment, little to decode ahead.
constexpr size_t kBufferBytes = 192 * 1024;

// Said once a process, the first time a play cannot be heard.
void SaySilent(const std::string& why) {
  static std::atomic<bool> said{false};
  if (!said.exchange(true)) std::fprintf(stderr, "trimora: playback is silent: %s\n", why.c_str());
}

}  // namespace

TMediaPlayer::TMediaPlayer(bool silent) : FSilent(silent) {}

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
  StopPlaying();
  FOpen = false;
  FLengthMs = 0;
  FPosition = 0;
}

TPlayerMode TMediaPlayer::Mode() const {
  if (!FOpen) return TPlayerMode::NotReady;
  if (!FOutput || FOutput->Finished()) return TPlayerMode::Stopped;
  return FPaused ? TPlayerMode::Paused : TPlayerMode::Playing;
}

std::unique_ptr<IPlayOutput> TMediaPlayer::ChooseOutput() {
  FSilentReason.clear();
  std::unique_ptr<IPlayOutput> device;
  if (FSilent)
    FSilentReason = "the player was made silent";
  else
    device = MakeDeviceOutput(FSilentReason);
  if (device) return device;
  SaySilent(FSilentReason);
  return std::make_unique<TSilentOutput>();
}

void TMediaPlayer::Play(std::optional<int64_t> fromMs, std::optional<int64_t> toMs) {
  if (!FOpen) Open();
  const int64_t from = std::clamp<int64_t>(fromMs.value_or(Position()), 0, FLengthMs);
  const int64_t to = toMs ? std::clamp<int64_t>(*toMs, from, FLengthMs) : -1;
  StopPlaying();
  FPosition = from;
  auto decoder = std::make_unique<TPlayDecoder>(FFileName);
  std::unique_ptr<IPlayOutput> output = ChooseOutput();
  TPlayFormat format = output->Accept(decoder->SourceFormat());
  auto buffer = std::make_unique<TPlayBuffer>(kBufferBytes);
  decoder->Start(format, from, to, *buffer);
  // A device that starts dry may idle for a while before it asks again.
  buffer->WaitForData(kBufferBytes / 2, std::chrono::seconds(1));
  try {
    output->Start(*buffer, format);
  } catch (const EMediaPlayerError& e) {
    // A device that will not start still leaves the cursor something to follow.
    FSilentReason = e.what();
    SaySilent(FSilentReason);
    decoder->Stop();
    output = std::make_unique<TSilentOutput>();
    format = decoder->SourceFormat();
    buffer = std::make_unique<TPlayBuffer>(kBufferBytes);
    decoder->Start(format, from, to, *buffer);
    output->Start(*buffer, format);
  }
  FBuffer = std::move(buffer);
  FDecoder = std::move(decoder);
  FOutput = std::move(output);
  FFrom = from;
  FTo = to;
  FRate = format.Rate;
  FPaused = false;
}

void TMediaPlayer::Pause() {
  if (Mode() != TPlayerMode::Playing) return;
  FOutput->Pause();
  FPaused = true;
}

void TMediaPlayer::Resume() {
  if (Mode() != TPlayerMode::Paused) {
    Play();
    return;
  }
  FOutput->Resume();
  FPaused = false;
}

void TMediaPlayer::Stop() {
  StopPlaying();
}

int64_t TMediaPlayer::Position() const {
  if (!FOutput) return FPosition;
  // A device that has taken everything plays it out within its buffer.
  if (FOutput->Finished()) return FTo >= 0 ? FTo : FLengthMs;
  // Counted in frames from the range's first frame, as the decoder places it, so that a play
  // to the end ends on the length to the millisecond.
  const int64_t first = av_rescale(FFrom, FRate, 1000);
  const int64_t played = av_rescale(first + FOutput->FramesPlayed(), 1000, FRate);
  return std::min(played, FTo >= 0 ? FTo : FLengthMs);
}

void TMediaPlayer::StopPlaying() {
  if (!FOutput) return;
  FPosition = Position();
  FOutput->Stop();
  FDecoder.reset();
  FOutput.reset();
  FBuffer.reset();
  FPaused = false;
}

}  // namespace trimora::media
