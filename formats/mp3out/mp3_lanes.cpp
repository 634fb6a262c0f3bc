// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3out/mp3_lanes.h"

#include <algorithm>
#include <string>

#include "formats/mp3out/info_tag_frame.h"
#include "formats/mp3out/lame_enc.h"
#include "pipeline/au_exception.h"

namespace {

// Frames of input a chunk's encoder is given after its own: it emits a frame only once it
// has seen about one and a quarter frames past it, and writes the frame's bytes with the
// next one.
constexpr int kTailFrames = 3;

constexpr int kChunkSeconds = 4;

// Samples a layer III decoder's filter bank holds back: the stream it plays lags by as much.
constexpr int kDecoderDelay = 529;

[[noreturn]] void RaiseLameError(BE_ERR error) {
  throw EAuException("LAME Error: " + std::to_string(error));
}

uint32_t BigEndian32(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

}  // namespace

struct TMP3Lanes::TChunk {
  std::vector<int16_t> Pcm;     // interleaved: priming frames, the chunk's own frames, the tail
  int Skip = 0;                 // priming frames to drop
  int Keep = 0;                 // frames to keep after them, unless Last
  bool Last = false;            // the input ends in this chunk: the encoder is flushed
  std::vector<uint8_t> Frames;  // the frames kept
  int Padding = 0;              // the flushed encoder's, when Last
  BE_ERR Error = BE_ERR_SUCCESSFUL;
};

bool TMP3Lanes::Applies(const BE_CONFIG& config) {
  return config.bNoRes != 0 && config.bEnableVBR == 0;
}

TMP3Lanes::TMP3Lanes(const BE_CONFIG& config, const TMP3LaneOptions& options)
    : FConfig(config), FOptions(options) {
  FOptions.Lanes = std::max(1, FOptions.Lanes);
  FOptions.PrimingFrames = std::max(0, FOptions.PrimingFrames);
  uint32_t samples = 0, bufferSize = 0;
  HBE_STREAM handle = nullptr;
  const BE_ERR error = beInitStreamUntagged(&config, &samples, &bufferSize, &handle);
  if (error != BE_ERR_SUCCESSFUL) RaiseLameError(error);
  const TBeStreamHandle probe(handle);
  const TBeStreamFacts facts = beStreamFacts(handle);
  FChannels = config.nMode == BE_MP3_MODE_MONO ? 1 : 2;
  FFrameSamples = std::max(1, facts.FrameSamples);
  FDelay = facts.Delay;
  FKbps = facts.Kbps;
  FEncoder = facts.Encoder;
  if (FOptions.ChunkFrames <= 0)
    FOptions.ChunkFrames =
        std::max(8, kChunkSeconds * static_cast<int>(config.dwSampleRate) / FFrameSamples);
}

TMP3Lanes::~TMP3Lanes() {
  Stop();
}

void TMP3Lanes::Encode(const int16_t* pcm, size_t frames, const TWrite& write) {
  size_t left = frames * static_cast<size_t>(FChannels);
  while (left > 0) {
    // A chunk goes to a lane once it holds its priming frames, its own and the tail.
    const size_t need = static_cast<size_t>(FFillingSkip + FOptions.ChunkFrames + kTailFrames) *
                        static_cast<size_t>(FFrameSamples * FChannels);
    const size_t take = std::min(left, need - FFilling.size());
    FFilling.insert(FFilling.end(), pcm, pcm + take);
    pcm += take;
    left -= take;
    if (FFilling.size() == need) Submit(false, write);
  }
}

void TMP3Lanes::Finish(const TWrite& write) {
  Submit(true, write);
  while (!FInFlight.empty()) WriteOldest(write);
}

void TMP3Lanes::Stop() {
  FStop.store(true, std::memory_order_relaxed);
  for (auto& [chunk, done] : FInFlight)
    if (done.valid()) done.wait();
  FInFlight.clear();
}

void TMP3Lanes::Submit(bool last, const TWrite& write) {
  auto chunk = std::make_unique<TChunk>();
  chunk->Skip = FFillingSkip;
  chunk->Keep = FOptions.ChunkFrames;
  chunk->Last = last;
  if (!last) {
    // The next chunk starts its priming frames before its own first frame; they and the tail
    // are audio this chunk holds already.
    const int64_t nextFirst = (FChunkIndex + 1) * FOptions.ChunkFrames;
    const int nextSkip = static_cast<int>(std::min<int64_t>(FOptions.PrimingFrames, nextFirst));
    const auto from = static_cast<std::ptrdiff_t>(FFillingSkip + FOptions.ChunkFrames - nextSkip) *
                      FFrameSamples * FChannels;
    std::vector<int16_t> next(FFilling.begin() + from, FFilling.end());
    chunk->Pcm = std::move(FFilling);
    FFilling = std::move(next);
    FFillingSkip = nextSkip;
    ++FChunkIndex;
  } else {
    chunk->Pcm = std::move(FFilling);
    FFilling.clear();
  }
  while (static_cast<int>(FInFlight.size()) >= FOptions.Lanes) WriteOldest(write);
  TChunk* job = chunk.get();
  auto done = std::async(std::launch::async, [this, job] { EncodeChunk(FConfig, *job, FStop); });
  FInFlight.emplace_back(std::move(chunk), std::move(done));
}

void TMP3Lanes::WriteOldest(const TWrite& write) {
  auto [chunk, done] = std::move(FInFlight.front());
  FInFlight.pop_front();
  done.get();
  if (chunk->Error != BE_ERR_SUCCESSFUL) RaiseLameError(chunk->Error);
  WriteFrames(*chunk, write);
  if (chunk->Last) FPadding = chunk->Padding;
}

void TMP3Lanes::WriteFrames(const TChunk& chunk, const TWrite& write) {
  const std::vector<uint8_t>& frames = chunk.Frames;
  if (frames.empty()) return;
  if (FFrames == 0) {
    FFirstHeader = BigEndian32(frames.data());
    TInfoTagFacts facts;
    facts.AudioHeader = FFirstHeader;
    const std::vector<uint8_t> placeholder = MakeInfoTagFrame(facts);
    if (!placeholder.empty()) write(placeholder.data(), static_cast<uint32_t>(placeholder.size()));
  }
  for (size_t at = 0; at < frames.size();) {
    at += static_cast<size_t>(MP3FrameBytes(BigEndian32(frames.data() + at)));
    ++FFrames;
  }
  FAudioBytes += frames.size();
  FMusicCrc = TagCrc16(frames, FMusicCrc);
  write(frames.data(), static_cast<uint32_t>(frames.size()));
}

std::vector<uint8_t> TMP3Lanes::TagFrame() const {
  if (FFrames == 0) return {};
  TInfoTagFacts facts;
  facts.AudioHeader = FFirstHeader;
  facts.Frames = FFrames;
  facts.AudioBytes = FAudioBytes;
  facts.MusicCrc = FMusicCrc;
  facts.Delay = FDelay;
  // A stopped stream ends on a frame whose successor never came: a decoder can give all but
  // the last kDecoderDelay samples of what the frames cover, and the padding says so.
  facts.Padding = FPadding >= 0 ? FPadding : kDecoderDelay;
  facts.Kbps = FKbps;
  facts.Encoder = FEncoder;
  return MakeInfoTagFrame(facts);
}

// On a lane's thread: encodes the chunk on a fresh encoder and keeps its own frames.
void TMP3Lanes::EncodeChunk(const BE_CONFIG& config, TChunk& chunk, const std::atomic<bool>& stop) {
  uint32_t samples = 0, bufferSize = 0;
  HBE_STREAM handle = nullptr;
  chunk.Error = beInitStreamUntagged(&config, &samples, &bufferSize, &handle);
  if (chunk.Error != BE_ERR_SUCCESSFUL) return;
  const TBeStreamHandle encoder(handle);
  std::vector<uint8_t> output(bufferSize), encoded;
  uint32_t produced = 0;
  for (size_t at = 0; at < chunk.Pcm.size(); at += samples) {
    if (stop.load(std::memory_order_relaxed)) return;
    const auto count = static_cast<uint32_t>(std::min<size_t>(samples, chunk.Pcm.size() - at));
    chunk.Error = beEncodeChunk(handle, count, chunk.Pcm.data() + at, output.data(), &produced);
    if (chunk.Error != BE_ERR_SUCCESSFUL) return;
    encoded.insert(encoded.end(), output.begin(), output.begin() + produced);
  }
  chunk.Pcm = {};
  if (chunk.Last) {
    chunk.Error = beDeinitStream(handle, output.data(), &produced);
    if (chunk.Error != BE_ERR_SUCCESSFUL) return;
    encoded.insert(encoded.end(), output.begin(), output.begin() + produced);
    chunk.Padding = beStreamFacts(handle).Padding;
  }
  // Without the bit reservoir every frame is whole in itself: the header's length is all.
  size_t at = 0;
  int index = 0, kept = 0;
  while (at + 4 <= encoded.size()) {
    const int bytes = MP3FrameBytes(BigEndian32(encoded.data() + at));
    if (bytes <= 0 || at + static_cast<size_t>(bytes) > encoded.size()) break;
    if (index >= chunk.Skip && (chunk.Last || index < chunk.Skip + chunk.Keep)) {
      chunk.Frames.insert(chunk.Frames.end(), encoded.begin() + static_cast<std::ptrdiff_t>(at),
                          encoded.begin() + static_cast<std::ptrdiff_t>(at) + bytes);
      ++kept;
    }
    at += static_cast<size_t>(bytes);
    ++index;
  }
  // A chunk that did not come out as whole frames, or short, would break the stream.
  if (chunk.Last ? at != encoded.size() : kept != chunk.Keep) chunk.Error = BE_ERR_INVALID_FORMAT;
}
