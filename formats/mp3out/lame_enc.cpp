// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3out/lame_enc.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <span>
#include <string>

#include "formats/mp3out/info_tag_frame.h"
#include "formats/mp3out/lame_library.h"
#include "formats/mp3out/tag_frame_file.h"

namespace {

struct TLameCloser {
  const TLameApi* Api;
  void operator()(lame_global_flags* flags) const { Api->close(flags); }
};

using TLameFlags = std::unique_ptr<lame_global_flags, TLameCloser>;

constexpr std::array<uint32_t, 9> kMpegRates = {8000,  11025, 12000, 16000, 22050,
                                                24000, 32000, 44100, 48000};

// The tag frame of the stream this thread closed last (see beCloseStream).
thread_local std::vector<uint8_t> LastClosedTagFrame;

bool IsTrue(uint32_t value) {
  return value != 0;
}

void ApplyVbr(const TLameApi& api, lame_t flags, const BE_CONFIG& c) {
  switch (c.nVbrMethod) {
    case VBR_METHOD_ABR: {
      // The record is often filled with kilobits where bits per second belong; no encoder
      // runs below 8000 bps, so anything under 1000 can only mean kbps.
      const uint32_t kbps = c.dwVbrAbr_bps < 1000 ? c.dwVbrAbr_bps : c.dwVbrAbr_bps / 1000;
      api.set_VBR(flags, vbr_abr);
      api.set_VBR_mean_bitrate_kbps(flags, static_cast<int>(kbps));
      break;
    }
    case VBR_METHOD_OLD:
      api.set_VBR(flags, vbr_rh);
      break;
    default:
      api.set_VBR(flags, vbr_mtrh);
      break;
  }
  api.set_VBR_q(flags, std::clamp(c.nVBRQuality, 0, 9));
  // A minimum above the maximum trips an assertion in the encoder's average-bit-rate loop
  // (the process aborts); the maximum is the firmer promise, so the minimum gives way.
  const bool inverted = c.dwMaxBitrate != 0 && c.dwBitrate > c.dwMaxBitrate;
  if (!inverted) api.set_VBR_min_bitrate_kbps(flags, static_cast<int>(c.dwBitrate));
  api.set_VBR_max_bitrate_kbps(flags, static_cast<int>(c.dwMaxBitrate));
}

// Transfers the record into the encoder's flags; false when a value is out of range.
bool Configure(const TLameApi& api, lame_t flags, const BE_CONFIG& c) {
  if (c.nMode < BE_MP3_MODE_STEREO || c.nMode > BE_MP3_MODE_MONO || c.dwSampleRate == 0)
    return false;
  api.set_num_channels(flags, c.nMode == BE_MP3_MODE_MONO ? 1 : 2);
  api.set_mode(flags, static_cast<MPEG_mode>(c.nMode));
  api.set_in_samplerate(flags, static_cast<int>(c.dwSampleRate));
  // Left to itself the encoder resamples to suit low bit rates, and a cut would then no
  // longer hold the frames it was given; an MPEG rate is kept as it is.
  uint32_t outRate = c.dwReSampleRate;
  if (outRate == 0 && std::ranges::find(kMpegRates, c.dwSampleRate) != kMpegRates.end())
    outRate = c.dwSampleRate;
  api.set_out_samplerate(flags, static_cast<int>(outRate));
  api.set_brate(flags, static_cast<int>(c.dwBitrate));
  if (IsTrue(c.bEnableVBR)) ApplyVbr(api, flags, c);
  api.set_disable_reservoir(flags, IsTrue(c.bNoRes) ? 1 : 0);
  api.set_strict_ISO(flags, IsTrue(c.bStrictIso) ? 1 : 0);
  api.set_error_protection(flags, IsTrue(c.bCRC) ? 1 : 0);
  api.set_original(flags, IsTrue(c.bOriginal) ? 1 : 0);
  if (IsTrue(c.bCopyright)) api.set_copyright(flags, 1);
  // A quality counts only when its low byte is the complement of its high byte, so that a
  // zeroed record keeps the encoder's default.
  const unsigned low = c.nQuality & 0xFFu, high = (c.nQuality >> 8) & 0xFFu;
  if (low == (~high & 0xFFu)) api.set_quality(flags, static_cast<int>(low));
  // The tag frame is always written, not only under VBR: it carries the encoder delay and
  // padding, without which every decoder plays about 25 ms of silence at the start and
  // pads the end, so no cut would have the length it was given.
  api.set_bWriteVbrTag(flags, 1);
  api.set_write_id3tag_automatic(flags, 0);
  return true;
}

// Bytes of the encoder's tag (Xing header and its own extension) after the side information.
constexpr int kLameTagBytes = 156;

// Room for our own tag frame: the largest one needed (MPEG-1 stereo at 32 kHz, MPEG-2.5
// stereo at 8 kHz) has 216 bytes.
constexpr uint32_t kOwnTagFrameRoom = 512;

// Under constant bit rate the encoder puts its tag into a frame of the stream's bit rate and
// leaves the tag out when it does not fit (below about 64 kbps at 44.1 kHz).
bool TagFrameFits(const TLameApi& api, lame_t flags, bool crc) {
  const bool mpeg1 = api.get_version(flags) == 1;
  const bool mono = api.get_mode(flags) == MONO;
  const int sideInfo = 4 + (crc ? 2 : 0) + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
  const int rate = api.get_out_samplerate(flags);
  if (rate <= 0) return false;
  const int frameBytes = (mpeg1 ? 144000 : 72000) * api.get_brate(flags) / rate;
  return frameBytes >= sideInfo + kLameTagBytes;
}

// A configured encoder for `config`; with `ownTag` the encoder writes no tag frame of its own.
BE_ERR OpenEncoder(const TLameApi& api, const BE_CONFIG& config, bool ownTag, TLameFlags& result) {
  TLameFlags flags(api.init(), TLameCloser{&api});
  if (!flags) return BE_ERR_NO_MORE_HANDLES;
  if (!Configure(api, flags.get(), config)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  if (ownTag) api.set_bWriteVbrTag(flags.get(), 0);
  if (api.init_params(flags.get()) < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  result = std::move(flags);
  return BE_ERR_SUCCESSFUL;
}

uint32_t BigEndian32(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

}  // namespace

struct TBeStream {
  TLameFlags Flags;
  int Channels = 2;
  uint32_t BufferSize = 0;
  bool Flushed = false;
  // The tag frame is ours (see info_tag_frame.h): its placeholder goes before the first
  // audio frame, and the audio is counted for it.
  bool OwnTag = false;
  uint32_t AudioHeader = 0;  // of the first audio frame, once there is one
  uint64_t AudioBytes = 0;
  uint16_t MusicCrc = 0;
};

namespace {

// Size of the placeholder still owed before the first audio frame; 0 when none is.
uint32_t PlaceholderBytes(const TBeStream& stream) {
  return stream.OwnTag && stream.AudioHeader == 0 ? kOwnTagFrameRoom : 0;
}

TInfoTagFacts OwnTagFacts(const TBeStream& stream, bool finished) {
  const TLameApi& api = LameApi();
  TInfoTagFacts facts;
  facts.AudioHeader = stream.AudioHeader;
  facts.Kbps = api.get_brate(stream.Flags.get());
  facts.Delay = api.get_encoder_delay(stream.Flags.get());
  facts.Encoder = std::string("LAME") + api.short_version();
  if (finished) {
    facts.Frames = static_cast<uint32_t>(api.get_frameNum(stream.Flags.get()));
    facts.AudioBytes = stream.AudioBytes;
    facts.MusicCrc = stream.MusicCrc;
    facts.Padding = api.get_encoder_padding(stream.Flags.get());
  }
  return facts;
}

// Counts `count` bytes of encoder output at `data` into the stream. When the placeholder is
// owed, `data` lies `room` bytes into the caller's buffer: the placeholder frame goes to the
// buffer's start and the output right after it. Returns the bytes ready at the buffer's start.
uint32_t TakeOutput(TBeStream& stream, uint8_t* data, uint32_t count, uint32_t room) {
  if (!stream.OwnTag || count == 0) return count;
  stream.AudioBytes += count;
  stream.MusicCrc = TagCrc16({data, count}, stream.MusicCrc);
  if (room == 0) return count;
  stream.AudioHeader = BigEndian32(data);
  std::vector<uint8_t> placeholder = MakeInfoTagFrame(OwnTagFacts(stream, false));
  if (placeholder.size() > room) placeholder.clear();  // cannot happen: room is the largest
  uint8_t* start = data - room;
  std::memmove(start + placeholder.size(), data, count);
  std::copy(placeholder.begin(), placeholder.end(), start);
  return static_cast<uint32_t>(placeholder.size()) + count;
}

}  // namespace

namespace {

// Opening an encoder fills tables the encoder keeps for the whole process; streams opened on
// several threads at once take turns.
std::mutex OpenLock;

BE_ERR InitStream(const BE_CONFIG* config, bool untagged, uint32_t* samples, uint32_t* bufferSize,
                  HBE_STREAM* stream) {
  if (config == nullptr || samples == nullptr || bufferSize == nullptr || stream == nullptr)
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  if (config->dwConfig != BE_CONFIG_LAME || config->dwStructSize < sizeof(BE_CONFIG))
    return BE_ERR_INVALID_FORMAT;
  const TLameApi& api = LameApi();
  const std::lock_guard lock(OpenLock);
  auto result = std::make_unique<TBeStream>();
  BE_ERR error = OpenEncoder(api, *config, untagged, result->Flags);
  if (error != BE_ERR_SUCCESSFUL) return error;
  if (!untagged && !IsTrue(config->bEnableVBR) &&
      !TagFrameFits(api, result->Flags.get(), IsTrue(config->bCRC))) {
    // The bit rate stays as asked; the tag gets a frame of its own (see info_tag_frame.h).
    result->OwnTag = true;
    error = OpenEncoder(api, *config, true, result->Flags);
    if (error != BE_ERR_SUCCESSFUL) return error;
  }
  lame_t flags = result->Flags.get();
  result->Channels = config->nMode == BE_MP3_MODE_MONO ? 1 : 2;
  const auto frameSize = static_cast<uint32_t>(api.get_framesize(flags));
  // The encoder's worst case for one frame: 1.25 bytes per sample and channel plus 7200;
  // and room for our tag frame's placeholder.
  result->BufferSize = frameSize * 5 / 4 + 7200 + (result->OwnTag ? kOwnTagFrameRoom : 0);
  *samples = frameSize * static_cast<uint32_t>(result->Channels);
  *bufferSize = result->BufferSize;
  *stream = result.release();
  return BE_ERR_SUCCESSFUL;
}

}  // namespace

BE_ERR beInitStream(const BE_CONFIG* config, uint32_t* samples, uint32_t* bufferSize,
                    HBE_STREAM* stream) {
  return InitStream(config, false, samples, bufferSize, stream);
}

BE_ERR beInitStreamUntagged(const BE_CONFIG* config, uint32_t* samples, uint32_t* bufferSize,
                            HBE_STREAM* stream) {
  return InitStream(config, true, samples, bufferSize, stream);
}

TBeStreamFacts beStreamFacts(HBE_STREAM stream) {
  TBeStreamFacts facts;
  if (stream == nullptr) return facts;
  const TLameApi& api = LameApi();
  lame_t flags = stream->Flags.get();
  facts.Delay = api.get_encoder_delay(flags);
  if (stream->Flushed) facts.Padding = api.get_encoder_padding(flags);
  facts.Kbps = api.get_brate(flags);
  facts.FrameSamples = api.get_framesize(flags);
  facts.Encoder = std::string("LAME") + api.short_version();
  return facts;
}

BE_ERR beEncodeChunk(HBE_STREAM stream, uint32_t samples, const int16_t* input, uint8_t* output,
                     uint32_t* outputBytes) {
  if (stream == nullptr || outputBytes == nullptr) return BE_ERR_INVALID_HANDLE;
  *outputBytes = 0;
  const int perChannel = static_cast<int>(samples / static_cast<uint32_t>(stream->Channels));
  if (perChannel == 0) return BE_ERR_SUCCESSFUL;
  if (input == nullptr || output == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  const TLameApi& api = LameApi();
  const uint32_t room = PlaceholderBytes(*stream);
  uint8_t* dest = output + room;
  const int space = static_cast<int>(stream->BufferSize - room);
  // The encoder copies its input; its interleaved entry point is only declared non-const.
  auto* pcm = const_cast<short*>(input);
  const int produced =
      stream->Channels == 1
          ? api.encode_buffer(stream->Flags.get(), pcm, pcm, perChannel, dest, space)
          : api.encode_buffer_interleaved(stream->Flags.get(), pcm, perChannel, dest, space);
  if (produced == -1) return BE_ERR_BUFFER_TOO_SMALL;
  if (produced < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  *outputBytes = TakeOutput(*stream, dest, static_cast<uint32_t>(produced), room);
  return BE_ERR_SUCCESSFUL;
}

BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes) {
  if (stream == nullptr || outputBytes == nullptr) return BE_ERR_INVALID_HANDLE;
  *outputBytes = 0;
  if (output == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  const TLameApi& api = LameApi();
  const uint32_t room = PlaceholderBytes(*stream);
  uint8_t* dest = output + room;
  const int produced =
      api.encode_flush(stream->Flags.get(), dest, static_cast<int>(stream->BufferSize - room));
  if (produced < 0) return BE_ERR_BUFFER_TOO_SMALL;
  stream->Flushed = true;
  *outputBytes = TakeOutput(*stream, dest, static_cast<uint32_t>(produced), room);
  return BE_ERR_SUCCESSFUL;
}

std::vector<uint8_t> beLameTagFrame(HBE_STREAM stream) {
  if (stream == nullptr || !stream->Flushed) return {};
  if (stream->OwnTag) {
    if (stream->AudioHeader == 0) return {};  // no audio, so no placeholder either
    return MakeInfoTagFrame(OwnTagFacts(*stream, true));
  }
  const TLameApi& api = LameApi();
  // The largest layer III frame is 1441 bytes (MPEG-2.5 reaches 1440); ask again if the
  // encoder says it needs more.
  std::vector<uint8_t> frame(2048);
  size_t size = api.get_lametag_frame(stream->Flags.get(), frame.data(), frame.size());
  if (size > frame.size()) {
    frame.resize(size);
    size = api.get_lametag_frame(stream->Flags.get(), frame.data(), frame.size());
    if (size > frame.size()) return {};
  }
  frame.resize(size);
  return frame;
}

BE_ERR beCloseStream(HBE_STREAM stream) {
  if (stream == nullptr) return BE_ERR_INVALID_HANDLE;
  const std::unique_ptr<TBeStream> owned(stream);  // ends the encoder
  LastClosedTagFrame = beLameTagFrame(stream);
  return BE_ERR_SUCCESSFUL;
}

BE_ERR beWriteVBRHeader(const char* fileName) {
  // A frame is written once, into the file of the stream it belongs to.
  const std::vector<uint8_t> frame = std::move(LastClosedTagFrame);
  LastClosedTagFrame.clear();
  if (fileName == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  if (frame.empty()) return BE_ERR_INVALID_HANDLE;
  return WriteTagFrameToFile(fileName, frame) ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_FORMAT;
}
