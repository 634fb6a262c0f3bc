// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/flac/flac_audio_hasher.h"

#include <bit>

extern "C" {
#include <libavutil/md5.h>
#include <libavutil/mem.h>
}

#include "pipeline/au_exception.h"

namespace {

// Parts waiting at most: the copy runs this far ahead of the sum before it waits, which bounds
// the memory to a few MiB.
constexpr size_t kMaxWaiting = 3;

}  // namespace

void TFlacAudioHasher::TMd5Freer::operator()(AVMD5* md5) const {
  av_free(md5);
}

TFlacAudioHasher::TFlacAudioHasher(const TFlacStreamInfo& info)
    : FInfo(info), FDecoder(info), FMd5(av_md5_alloc()) {
  if (!FMd5) throw EAuException("Out of memory for the FLAC check sum");
  av_md5_init(FMd5.get());
  FThread = std::thread([this] { Work(); });
}

TFlacAudioHasher::~TFlacAudioHasher() {
  {
    std::lock_guard lock(FLock);
    FClosing = true;
    FParts.clear();
  }
  FChanged.notify_all();
  FThread.join();
}

void TFlacAudioHasher::AddFrames(std::vector<uint8_t> bytes,
                                 std::vector<std::pair<uint32_t, uint32_t>> frames) {
  if (!frames.empty()) Add({std::move(bytes), std::move(frames)});
}

void TFlacAudioHasher::AddPacked(std::vector<uint8_t> packed) {
  if (!packed.empty()) Add({std::move(packed), {}});
}

void TFlacAudioHasher::Add(TPart part) {
  std::unique_lock lock(FLock);
  FChanged.wait(lock, [this] { return FParts.size() < kMaxWaiting || !FError.empty(); });
  if (!FError.empty()) throw EAuException(FError);
  FParts.push_back(std::move(part));
  FChanged.notify_all();
}

void TFlacAudioHasher::Check() {
  std::lock_guard lock(FLock);
  if (!FError.empty()) throw EAuException(FError);
}

std::array<uint8_t, 16> TFlacAudioHasher::Finish() {
  std::unique_lock lock(FLock);
  FChanged.wait(lock, [this] { return (FParts.empty() && !FBusy) || !FError.empty(); });
  if (!FError.empty()) throw EAuException(FError);
  std::array<uint8_t, 16> digest{};
  av_md5_final(FMd5.get(), digest.data());
  return digest;
}

void TFlacAudioHasher::Work() {
  std::unique_lock lock(FLock);
  for (;;) {
    FChanged.wait(lock, [this] { return FClosing || !FParts.empty(); });
    if (FClosing) return;
    TPart part = std::move(FParts.front());
    FParts.pop_front();
    FBusy = true;
    FChanged.notify_all();
    lock.unlock();
    std::string error;
    try {
      Sum(part);
    } catch (const EAuException& e) {
      error = e.what();
    }
    lock.lock();
    FBusy = false;
    if (!error.empty() && FError.empty()) FError = error;
    FChanged.notify_all();
  }
}

void TFlacAudioHasher::Sum(TPart& part) {
  if (part.Frames.empty()) {
    av_md5_update(FMd5.get(), part.Bytes.data(), part.Bytes.size());
    return;
  }
  size_t at = 0;
  for (const auto& [bytes, samples] : part.Frames) {
    const auto decoded = FDecoder.Decode(part.Bytes.data() + at, bytes, samples);
    at += bytes;
    // 16-bit samples in the machine's little-endian 16-bit words are already the bytes the
    // sum is over.
    if (std::endian::native == std::endian::little && !decoded.Wide && decoded.Shift == 0) {
      av_md5_update(FMd5.get(), decoded.Data, static_cast<size_t>(samples) * FInfo.Channels * 2);
      continue;
    }
    FPacked.clear();
    PackSamples(decoded, FInfo.Channels, FInfo.BitsPerSample, 0, samples, FPacked);
    av_md5_update(FMd5.get(), FPacked.data(), FPacked.size());
  }
}

void TFlacAudioHasher::PackSamples(const TFlacFrameDecoder::TDecoded& decoded, uint32_t channels,
                                   uint32_t bitsPerSample, uint32_t first, uint32_t count,
                                   std::vector<uint8_t>& out) {
  if (std::endian::native == std::endian::little && !decoded.Wide && decoded.Shift == 0) {
    const uint8_t* from = decoded.Data + static_cast<size_t>(first) * channels * 2;
    out.insert(out.end(), from, from + static_cast<size_t>(count) * channels * 2);
    return;
  }
  std::vector<int32_t> samples;
  AppendSamples(decoded, channels, first, count, samples);
  PackSamples(samples.data(), samples.size(), bitsPerSample, out);
}

void TFlacAudioHasher::PackSamples(const int32_t* samples, size_t count, uint32_t bitsPerSample,
                                   std::vector<uint8_t>& out) {
  const uint32_t width = (bitsPerSample + 7) / 8;
  const size_t at = out.size();
  out.resize(at + count * width);
  uint8_t* p = out.data() + at;
  for (size_t i = 0; i < count; ++i) {
    const auto v = static_cast<uint32_t>(samples[i]);
    for (uint32_t b = 0; b < width; ++b) *p++ = static_cast<uint8_t>(v >> (8 * b));
  }
}
