#include "formats/mp3out/lame_enc.h"

#include <algorithm>
#include <array>
#include <span>

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
  api.set_VBR_min_bitrate_kbps(flags, static_cast<int>(c.dwBitrate));
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
  // The tag frame is always reserved, not only under VBR: it carries the encoder delay and
  // padding, without which every decoder plays about 25 ms of silence at the start and
  // pads the end, so no cut would have the length it was given.
  api.set_bWriteVbrTag(flags, 1);
  api.set_write_id3tag_automatic(flags, 0);
  return true;
}

// Bytes of the encoder's tag (Xing header and its own extension) after the side information.
constexpr int kLameTagBytes = 156;

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

// Average bit rate held at `kbps` from both sides: every audio frame has that bit rate, as
// under constant bit rate, and the tag frame is free to take the size the tag needs.
void PinBitRate(const TLameApi& api, lame_t flags, int kbps) {
  api.set_VBR(flags, vbr_abr);
  api.set_VBR_mean_bitrate_kbps(flags, kbps);
  api.set_VBR_min_bitrate_kbps(flags, kbps);
  api.set_VBR_max_bitrate_kbps(flags, kbps);
  api.set_VBR_hard_min(flags, 1);
}

// A configured encoder for `config`, its bit rate pinned when `pinnedKbps` is not 0.
BE_ERR OpenEncoder(const TLameApi& api, const BE_CONFIG& config, int pinnedKbps,
                   TLameFlags& result) {
  TLameFlags flags(api.init(), TLameCloser{&api});
  if (!flags) return BE_ERR_NO_MORE_HANDLES;
  if (!Configure(api, flags.get(), config)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  if (pinnedKbps > 0) PinBitRate(api, flags.get(), pinnedKbps);
  if (api.init_params(flags.get()) < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  result = std::move(flags);
  return BE_ERR_SUCCESSFUL;
}

}  // namespace

struct TBeStream {
  TLameFlags Flags;
  int Channels = 2;
  uint32_t BufferSize = 0;
  bool Flushed = false;
};

BE_ERR beInitStream(const BE_CONFIG* config, uint32_t* samples, uint32_t* bufferSize,
                    HBE_STREAM* stream) {
  TLameLibrary& library = TLameLibrary::Instance();
  if (!library.Loaded() || config == nullptr || samples == nullptr || bufferSize == nullptr ||
      stream == nullptr)
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  if (config->dwConfig != BE_CONFIG_LAME || config->dwStructSize < sizeof(BE_CONFIG))
    return BE_ERR_INVALID_FORMAT;
  const TLameApi& api = library.Api();
  auto result = std::make_unique<TBeStream>();
  BE_ERR error = OpenEncoder(api, *config, 0, result->Flags);
  if (error != BE_ERR_SUCCESSFUL) return error;
  if (!IsTrue(config->bEnableVBR) &&
      !TagFrameFits(api, result->Flags.get(), IsTrue(config->bCRC))) {
    // Without its tag frame no decoder could trim the delay and padding of a cut.
    error = OpenEncoder(api, *config, api.get_brate(result->Flags.get()), result->Flags);
    if (error != BE_ERR_SUCCESSFUL) return error;
  }
  lame_t flags = result->Flags.get();
  result->Channels = config->nMode == BE_MP3_MODE_MONO ? 1 : 2;
  const auto frameSize = static_cast<uint32_t>(api.get_framesize(flags));
  // The encoder's worst case for one frame: 1.25 bytes per sample and channel plus 7200.
  result->BufferSize = frameSize * 5 / 4 + 7200;
  *samples = frameSize * static_cast<uint32_t>(result->Channels);
  *bufferSize = result->BufferSize;
  *stream = result.release();
  return BE_ERR_SUCCESSFUL;
}

BE_ERR beEncodeChunk(HBE_STREAM stream, uint32_t samples, const int16_t* input, uint8_t* output,
                     uint32_t* outputBytes) {
  if (stream == nullptr || outputBytes == nullptr) return BE_ERR_INVALID_HANDLE;
  *outputBytes = 0;
  const int perChannel = static_cast<int>(samples / static_cast<uint32_t>(stream->Channels));
  if (perChannel == 0) return BE_ERR_SUCCESSFUL;
  if (input == nullptr || output == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  const TLameApi& api = TLameLibrary::Instance().Api();
  const int room = static_cast<int>(stream->BufferSize);
  // The encoder copies its input; its interleaved entry point is only declared non-const.
  auto* pcm = const_cast<short*>(input);
  const int produced =
      stream->Channels == 1
          ? api.encode_buffer(stream->Flags.get(), pcm, pcm, perChannel, output, room)
          : api.encode_buffer_interleaved(stream->Flags.get(), pcm, perChannel, output, room);
  if (produced == -1) return BE_ERR_BUFFER_TOO_SMALL;
  if (produced < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  *outputBytes = static_cast<uint32_t>(produced);
  return BE_ERR_SUCCESSFUL;
}

BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes) {
  if (stream == nullptr || outputBytes == nullptr) return BE_ERR_INVALID_HANDLE;
  *outputBytes = 0;
  if (output == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  const TLameApi& api = TLameLibrary::Instance().Api();
  const int produced =
      api.encode_flush(stream->Flags.get(), output, static_cast<int>(stream->BufferSize));
  if (produced < 0) return BE_ERR_BUFFER_TOO_SMALL;
  stream->Flushed = true;
  *outputBytes = static_cast<uint32_t>(produced);
  return BE_ERR_SUCCESSFUL;
}

std::vector<uint8_t> beLameTagFrame(HBE_STREAM stream) {
  if (stream == nullptr || !stream->Flushed) return {};
  const TLameApi& api = TLameLibrary::Instance().Api();
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
