// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/ogg/ogg_packet_reader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "formats/ogg/ogg_crc.h"
#include "pipeline/au_exception.h"

namespace {

constexpr size_t kHeaderBytes = 27;
constexpr uint8_t kContinued = 1, kFirstPage = 2, kLastPage = 4;
constexpr size_t kReadAhead = 64 * 1024;

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string At(int64_t offset) {
  return " at byte " + std::to_string(offset);
}

}  // namespace

TOggPacketReader::TOggPacketReader(TAuStream& stream) : FStream(stream) {
  FOffset = FStream.Position();
}

size_t TOggPacketReader::ReadBytes(uint8_t* dest, size_t count) {
  size_t done = 0;
  while (done < count) {
    if (FBufferPos == FBuffer.size()) {
      FBuffer.resize(kReadAhead);
      const int64_t got = FStream.Read(FBuffer.data(), static_cast<int64_t>(kReadAhead));
      FBuffer.resize(got > 0 ? static_cast<size_t>(got) : 0);
      FBufferPos = 0;
      if (FBuffer.empty()) break;
    }
    const size_t take = std::min(count - done, FBuffer.size() - FBufferPos);
    std::memcpy(dest + done, FBuffer.data() + FBufferPos, take);
    FBufferPos += take;
    done += take;
  }
  FOffset += static_cast<int64_t>(done);
  return done;
}

void TOggPacketReader::SeekToPage(int64_t offset) {
  FStream.Seek(offset, soBeginning);
  FBuffer.clear();
  FBufferPos = 0;
  FOffset = offset;
  FHavePage = FEnded = FTruncated = FHavePending = FSequenceKnown = false;
  FSought = !FStarted;  // the page there names the stream
}

bool TOggPacketReader::ReadPage(TPage& page) {
  uint8_t header[kHeaderBytes];
  page.Offset = FOffset;
  const size_t got = ReadBytes(header, kHeaderBytes);
  if (got == 0) return false;
  if (got < kHeaderBytes) return FTruncated = true, false;
  if (std::memcmp(header, "OggS", 4) != 0) throw EAuException("No Ogg page" + At(page.Offset));
  if (header[4] != 0)
    throw EAuException("The Ogg page" + At(page.Offset) + " is of an unknown version");
  page.Flags = header[5];
  uint64_t granule = 0;
  for (int i = 7; i >= 0; --i) granule = granule << 8 | header[6 + i];
  page.Granule = static_cast<int64_t>(granule);
  page.Serial = Le32(header + 14);
  page.Sequence = Le32(header + 18);
  const uint32_t stored = Le32(header + 22);
  page.Lacing.resize(header[26]);
  if (ReadBytes(page.Lacing.data(), page.Lacing.size()) < page.Lacing.size())
    return FTruncated = true, false;
  size_t bodyBytes = 0;
  for (uint8_t v : page.Lacing) bodyBytes += v;
  page.Body.resize(bodyBytes);
  if (ReadBytes(page.Body.data(), bodyBytes) < bodyBytes) return FTruncated = true, false;

  std::memset(header + 22, 0, 4);
  uint32_t crc = OggCrc(header, kHeaderBytes);
  crc = OggCrc(page.Lacing.data(), page.Lacing.size(), crc);
  crc = OggCrc(page.Body.data(), page.Body.size(), crc);
  if (crc != stored)
    throw EAuException("The Ogg page" + At(page.Offset) + " is damaged: its checksum is wrong");
  return true;
}

bool TOggPacketReader::NextPageOfStream() {
  while (ReadPage(FPage)) {
    if (!FStarted) {
      if (!(FPage.Flags & kFirstPage) && !FSought)
        throw EAuException("The Ogg file does not begin with the first page of a stream");
      FStarted = true;
      FSerial = FPage.Serial;
    }
    if (FPage.Serial != FSerial) continue;  // another stream multiplexed with ours
    // After a lost page, the packet it held the rest of is lost too.
    if (FSequenceKnown && FPage.Sequence != FNextSequence) FHavePending = false;
    FSequenceKnown = true;
    FNextSequence = FPage.Sequence + 1;
    return true;
  }
  return false;
}

bool TOggPacketReader::Next(TOggPacket& packet) {
  while (!FEnded) {
    if (!FHavePage || FSegment == FPage.Lacing.size()) {
      const bool lastPage = FHavePage && (FPage.Flags & kLastPage);
      if (lastPage || !NextPageOfStream()) {
        // A packet left open by a stream that just stops lacks its end.
        if (FHavePending && !lastPage) FTruncated = true;
        FEnded = true;
        FHavePending = false;
        return false;
      }
      FHavePage = true;
      FSegment = FBodyPos = 0;
      FBegunOnPage = 0;
      FLastEnd = -1;
      for (size_t i = 0; i < FPage.Lacing.size(); ++i)
        if (FPage.Lacing[i] < 255) FLastEnd = static_cast<int>(i);
      const bool continued = FPage.Flags & kContinued;
      if (!continued) FHavePending = false;  // what it would have continued is lost
      if (continued && !FHavePending) {
        // The end of a packet begun before the page we started at, or on a lost page.
        while (FSegment < FPage.Lacing.size()) {
          const uint8_t v = FPage.Lacing[FSegment++];
          FBodyPos += v;
          if (v < 255) break;
        }
        continue;
      }
    }
    while (FSegment < FPage.Lacing.size()) {
      if (!FHavePending) {
        FHavePending = true;
        FPending.clear();
        FPendingOffset = FPage.Offset;
        FPendingIndex = FBegunOnPage++;
      }
      const uint8_t v = FPage.Lacing[FSegment];
      if (FPending.size() + v > kMaxPacketBytes)
        throw EAuException("An Ogg packet" + At(FPendingOffset) + " is larger than 32 MiB");
      FPending.insert(FPending.end(), FPage.Body.begin() + static_cast<ptrdiff_t>(FBodyPos),
                      FPage.Body.begin() + static_cast<ptrdiff_t>(FBodyPos + v));
      FBodyPos += v;
      const bool ends = v < 255;
      const bool lastEnd = static_cast<int>(FSegment) == FLastEnd;
      ++FSegment;
      if (!ends) continue;
      packet.Data.swap(FPending);
      packet.Granule = lastEnd ? FPage.Granule : -1;
      packet.PageOffset = FPendingOffset;
      packet.IndexOnPage = FPendingIndex;
      packet.EndOfStream = lastEnd && (FPage.Flags & kLastPage);
      FHavePending = false;
      return true;
    }
  }
  return false;
}
