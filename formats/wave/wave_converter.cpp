// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/wave/wave_converter.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <string_view>
#include <vector>

#include "formats/wave/riff_chunks.h"
#include "formats/wave/wave_header.h"

using namespace trimora::acm;

namespace {

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

struct TAcmStreamCloser {
  void operator()(TAcmStream* stream) const { acmStreamClose(stream, 0); }
};

constexpr uint32_t kImageHeaderSize = 44;

}  // namespace

TWaveConverter::TWaveConverter() {
  if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &MaxFormatSize) != MMSYSERR_NOERROR) {
    MaxFormatSize = kWaveFormatBaseSize;
  }
}

void TWaveConverter::LoadFile(TAuStream& stream) {
  const int64_t size = std::max<int64_t>(stream.Size() - stream.Position(), 0);
  std::vector<uint8_t> file(static_cast<size_t>(size));
  file.resize(static_cast<size_t>(std::max<int64_t>(stream.Read(file.data(), size), 0)));
  SetPosition(0);
  // The header is walked as the reader walks it; only the data may reach past its limit.
  TChunkCursor in(file);
  if (!in.Find("RIFF") || !in.Has(4)) return;
  in.Pos += 4;
  if (!in.Find("WAVE")) return;
  std::string_view id;
  uint32_t declared = 0;
  while (in.Next(id, declared)) {
    const auto* idBytes = reinterpret_cast<const uint8_t*>(id.data());
    const size_t body = std::min<size_t>(declared, in.Left());  // a chunk cut short by the end
    if (MatchChunkId(idBytes, "fmt ")) {
      // A short body reads as the 18-byte base with zeros after it; a long one is cut off.
      SourceFormat.fill(0);
      std::copy_n(in.At(), std::min<size_t>(body, kFormatBufferSize), SourceFormat.begin());
    } else if (MatchChunkId(idBytes, "data")) {
      // A size never patched (0) means the data runs to the end, as the reader takes it.
      SetSize(0);
      Write(in.At(), static_cast<int64_t>(declared > 0 ? body : in.Left()));
      break;
    }
    if (!in.Skip(declared)) break;
  }
  SetPosition(0);
}

MMRESULT TWaveConverter::Convert() {
  HACMSTREAM opened = nullptr;
  MMRESULT r = acmStreamOpen(&opened, nullptr, SourceFormat.data(), TargetFormat.data(), nullptr, 0,
                             0, ACM_STREAMOPENF_NONREALTIME);
  if (r != MMSYSERR_NOERROR) return r;
  std::unique_ptr<TAcmStream, TAcmStreamCloser> stream(opened);
  if (Size() > UINT32_MAX) return ACMERR_NOTPOSSIBLE;
  uint32_t bound = 0;
  r = acmStreamSize(stream.get(), static_cast<uint32_t>(Size()), &bound, ACM_STREAMSIZEF_SOURCE);
  if (r != MMSYSERR_NOERROR) return r;
  // Only the part the conversion fills is kept, so the bound is never zero-filled; pages of
  // it that are never written are never touched.
  const auto pcm = std::make_unique_for_overwrite<uint8_t[]>(bound);
  SetPosition(0);
  ACMSTREAMHEADER header;
  header.pbSrc = Bytes().data();
  header.cbSrcLength = static_cast<uint32_t>(Size());
  header.pbDst = pcm.get();
  header.cbDstLength = bound;
  r = acmStreamPrepareHeader(stream.get(), &header, 0);
  if (r != MMSYSERR_NOERROR) return r;
  r = acmStreamConvert(stream.get(), &header, ACM_STREAMCONVERTF_BLOCKALIGN);
  if (r != MMSYSERR_NOERROR) {
    acmStreamUnprepareHeader(stream.get(), &header, 0);
    return r;
  }
  std::copy_n(TargetFormat.begin(), std::min(MaxFormatSize, kFormatBufferSize),
              SourceFormat.begin());
  SetSize(0);
  Write(pcm.get(), header.cbDstLengthUsed);
  SetPosition(0);
  r = acmStreamUnprepareHeader(stream.get(), &header, 0);
  if (r != MMSYSERR_NOERROR) return r;
  return acmStreamClose(stream.release(), 0);
}

MMRESULT TWaveConverter::SaveWave(TAuStream& target) {
  try {
    if (Size() > UINT32_MAX - kImageHeaderSize) return kSaveWaveFailed;
    const auto dataSize = static_cast<uint32_t>(Size());
    uint8_t header[kImageHeaderSize] = {'R', 'I', 'F', 'F', 0,   0,   0,  0, 'W', 'A',
                                        'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0,   0};
    std::copy_n(SourceFormat.begin(), 16, header + 20);
    std::memcpy(header + 36, "data", 4);
    Put32(header + 40, dataSize);
    const int64_t start = target.Position();
    target.WriteBuffer(header, kImageHeaderSize);
    target.WriteBuffer(Bytes().data(), dataSize);
    // The RIFF length goes in last, once the image is complete.
    Put32(header + 4, dataSize + kImageHeaderSize - 8);
    target.SetPosition(start);
    target.WriteBuffer(header, 8);
    return MMSYSERR_NOERROR;
  } catch (const std::exception&) {
    return kSaveWaveFailed;
  }
}
