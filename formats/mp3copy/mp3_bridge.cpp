// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3copy/mp3_bridge.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "formats/mp3out/be_config.h"
#include "formats/mp3out/info_tag_frame.h"
#include "formats/mp3out/lame_enc.h"
#include "pipeline/au_exception.h"
#include "platform/media_mp3_frames.h"

using namespace trimora::media;

namespace {

// The encoder's frames before the bridge that are dropped: enough that the first kept one
// has the sound before it in its transform window and its psychoacoustic history.
int LeadFrames(int samplesPerFrame) {
  return samplesPerFrame == 1152 ? 3 : 5;
}

// Samples the encoder's raw decoded output lags its input: the encoder's delay and the
// decoder's.
int64_t EncodedLag() {
  static const int64_t lag = [] {
    BE_CONFIG config{};
    config.dwConfig = BE_CONFIG_LAME;
    config.dwStructVersion = 1;
    config.dwStructSize = sizeof config;
    config.dwSampleRate = 44100;
    config.nMode = BE_MP3_MODE_STEREO;
    config.dwBitrate = 128;
    config.bNoRes = BE_TRUE;
    uint32_t samples = 0, bufferSize = 0;
    HBE_STREAM handle = nullptr;
    if (beInitStreamUntagged(&config, &samples, &bufferSize, &handle) != BE_ERR_SUCCESSFUL)
      return int64_t{576} + kMp3DecoderDelay;
    const TBeStreamHandle encoder(handle);
    return int64_t{beStreamFacts(handle).Delay} + kMp3DecoderDelay;
  }();
  return lag;
}

int32_t ModeOf(const TMpegHeader& header) {
  switch ((header.Word >> 6) & 3) {
    case 1:
      return BE_MP3_MODE_JSTEREO;
    case 3:
      return BE_MP3_MODE_MONO;
    default:
      return BE_MP3_MODE_STEREO;
  }
}

uint32_t BigEndian32(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

// Reads `count` bits at bit `at` of `bytes`, most significant first.
uint32_t Bits(const std::vector<uint8_t>& bytes, size_t& at, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i, ++at)
    value = (value << 1) | ((bytes[at / 8] >> (7 - at % 8)) & 1u);
  return value;
}

// Bytes of main data a frame without reservoir holds: the granules' part2_3_length summed.
size_t MainDataBytes(const std::vector<uint8_t>& frame, const TMpegHeader& header) {
  const bool mpeg1 = header.Version == 0;
  const int channels = header.Channels;
  size_t at = ((header.Word >> 16) & 1) == 0 ? 48 : 32;
  at += mpeg1 ? 9 + (channels == 1 ? 5 : 3) + 4 * channels : 8 + (channels == 1 ? 1 : 2);
  size_t bits = 0;
  for (int granule = 0; granule < (mpeg1 ? 2 : 1); ++granule) {
    for (int c = 0; c < channels; ++c) {
      bits += Bits(frame, at, 12);
      at += mpeg1 ? 59 - 12 : 63 - 12;
    }
  }
  return (bits + 7) / 8;
}

std::optional<TMpegHeader> WithBitrateIndex(const TMpegHeader& header, uint32_t index) {
  return ParseMpegHeader((header.Word & ~(0xFu << 12)) | (index << 12));
}

size_t DataArea(const TMpegHeader& header) {
  return static_cast<size_t>(header.FrameBytes) - 4 - (((header.Word >> 16) & 1) == 0 ? 2 : 0) -
         static_cast<size_t>(SideInfoBytes(header));
}

// The last bridge frame rewritten to end with `reservoir`: its header, side information and
// main data, then zeros, then the reservoir, in the smallest frame from its own bit rate up
// that holds them.
std::vector<uint8_t> WithReservoir(const std::vector<uint8_t>& frame,
                                   const std::vector<uint8_t>& reservoir) {
  const auto header = ParseMpegHeader(frame);
  if (!header) throw EAuException("The bridge's encoder wrote no MPEG frame");
  const size_t head = static_cast<size_t>(header->FrameBytes) - DataArea(*header);
  const size_t main = MainDataBytes(frame, *header);
  for (uint32_t index = (header->Word >> 12) & 0xF; index < 15; ++index) {
    const auto larger = WithBitrateIndex(*header, index);
    if (!larger || DataArea(*larger) < main + reservoir.size()) continue;
    std::vector<uint8_t> result(static_cast<size_t>(larger->FrameBytes), 0);
    std::copy(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(head + main),
              result.begin());
    for (size_t i = 0; i < 4; ++i) result[i] = static_cast<uint8_t>(larger->Word >> (24 - 8 * i));
    std::copy(reservoir.begin(), reservoir.end(),
              result.end() - static_cast<std::ptrdiff_t>(reservoir.size()));
    return result;
  }
  throw EAuException("No MPEG frame holds the bytes the frame after a join needs");
}

// A bridge frame's header with the source's private, copyright, original and emphasis bits,
// and its dual-channel mode where the encoder wrote plain stereo (which decodes alike):
// demuxers take frames whose headers differ in those for another stream.
void TakeSourceHeaderBits(std::vector<uint8_t>& frame, uint32_t source) {
  constexpr uint32_t kKept = (1u << 8) | 0xFu;
  uint32_t word = (BigEndian32(frame.data()) & ~kKept) | (source & kKept);
  if (((source >> 6) & 3) == 2 && ((word >> 6) & 3) == 0) word |= 2u << 6;
  frame[2] = static_cast<uint8_t>(word >> 8);
  frame[3] = static_cast<uint8_t>(word);
}

BE_CONFIG BridgeConfig(const TMpegHeader& header, int kbps) {
  BE_CONFIG config{};
  config.dwConfig = BE_CONFIG_LAME;
  config.dwStructVersion = 1;
  config.dwStructSize = sizeof config;
  config.dwSampleRate = static_cast<uint32_t>(header.SampleRate);
  config.nMode = ModeOf(header);
  config.dwBitrate = static_cast<uint32_t>(kbps);
  config.bNoRes = BE_TRUE;
  return config;
}

}  // namespace

TMp3BridgeInput Mp3BridgeInput(const TMp3BridgeRequest& request, int samplesPerFrame) {
  const int64_t lead = LeadFrames(samplesPerFrame);
  // Encoder input sample u decodes at raw output sample u + lag of the encoder's stream,
  // whose frame 0 is output frame First - lead.
  TMp3BridgeInput input;
  input.From = (request.First - lead) * samplesPerFrame + EncodedLag();
  input.To = (request.First + request.Frames + 3) * samplesPerFrame + EncodedLag();
  return input;
}

std::vector<std::vector<uint8_t>> EncodeMp3Bridge(const TMp3BridgeRequest& request,
                                                  const std::vector<int16_t>& pcm) {
  const auto header = ParseMpegHeader(request.Header);
  if (!header) throw EAuException("The bridge has no MPEG format to follow");
  const BE_CONFIG config = BridgeConfig(*header, request.Kbps);
  uint32_t samples = 0, bufferSize = 0;
  HBE_STREAM handle = nullptr;
  const BE_ERR error = beInitStreamUntagged(&config, &samples, &bufferSize, &handle);
  if (error != BE_ERR_SUCCESSFUL) throw EAuException("LAME Error: " + std::to_string(error));
  const TBeStreamHandle encoder(handle);
  std::vector<uint8_t> output(bufferSize), encoded;
  uint32_t produced = 0;
  for (size_t at = 0; at < pcm.size(); at += samples) {
    const auto count = static_cast<uint32_t>(std::min<size_t>(samples, pcm.size() - at));
    if (beEncodeChunk(handle, count, pcm.data() + at, output.data(), &produced) !=
        BE_ERR_SUCCESSFUL)
      throw EAuException("The bridge could not be encoded");
    encoded.insert(encoded.end(), output.begin(), output.begin() + produced);
  }
  if (beDeinitStream(handle, output.data(), &produced) != BE_ERR_SUCCESSFUL)
    throw EAuException("The bridge could not be encoded");
  encoded.insert(encoded.end(), output.begin(), output.begin() + produced);

  const int lead = LeadFrames(header->SamplesPerFrame);
  std::vector<std::vector<uint8_t>> frames;
  size_t at = 0;
  for (int index = 0; at + 4 <= encoded.size() && index < lead + request.Frames; ++index) {
    const int bytes = MP3FrameBytes(BigEndian32(encoded.data() + at));
    if (bytes <= 0 || at + static_cast<size_t>(bytes) > encoded.size()) break;
    if (index >= lead)
      frames.emplace_back(encoded.begin() + static_cast<std::ptrdiff_t>(at),
                          encoded.begin() + static_cast<std::ptrdiff_t>(at) + bytes);
    at += static_cast<size_t>(bytes);
  }
  if (static_cast<int>(frames.size()) != request.Frames)
    throw EAuException("The bridge's encoder gave too few frames");
  for (std::vector<uint8_t>& frame : frames) TakeSourceHeaderBits(frame, request.Header);
  if (!request.Reservoir.empty()) frames.back() = WithReservoir(frames.back(), request.Reservoir);
  return frames;
}

bool Mp3BridgeHoldsReservoir(uint32_t header, int kbps, size_t reservoir) {
  const auto stream = ParseMpegHeader(header);
  if (!stream) return false;
  std::optional<TMpegHeader> own, largest;
  for (uint32_t index = 1; index < 15; ++index) {
    const auto candidate = WithBitrateIndex(*stream, index);
    if (!candidate) continue;
    if (candidate->Bitrate / 1000 == kbps) own = candidate;
    largest = candidate;
  }
  return own && largest && DataArea(*largest) >= DataArea(*own) + 1 + reservoir;
}
