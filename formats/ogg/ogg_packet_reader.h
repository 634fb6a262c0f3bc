// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pipeline/au_stream.h"

// One packet of an Ogg logical stream, assembled from the pages it spans.
struct TOggPacket {
  std::vector<uint8_t> Data;
  // The granule of the page the packet ends on, when it is the last packet ending there;
  // -1 otherwise.
  int64_t Granule = -1;
  int64_t PageOffset = 0;    // where the page the packet begins on starts in the file
  int IndexOnPage = 0;       // packets begun on that page before this one
  bool EndOfStream = false;  // the last packet of the page marked as the stream's end
};

// Reads the packets of the first logical stream of an Ogg file: pages of other streams
// multiplexed with it are passed over, and the reading ends with its last page (a chained
// stream after it is not read). Every page's checksum is checked; a damaged page, one of an
// unknown version, or bytes that are no page raise EAuException with the place. A file that
// ends inside a page ends the stream there, with Truncated() set.
class TOggPacketReader {
 public:
  explicit TOggPacketReader(TAuStream& stream);

  // The next packet; false at the end of the stream.
  bool Next(TOggPacket& packet);
  // Goes on from the page at `offset` (one that Next reported); a reader that has read
  // nothing yet takes that page's stream as its own.
  void SeekToPage(int64_t offset);
  bool Truncated() const { return FTruncated; }

  // Packets longer than this are refused: no codec's audio packet comes near it, and a
  // comment header holding pictures of that size is not worth the memory.
  static constexpr size_t kMaxPacketBytes = size_t(32) << 20;

 private:
  struct TPage {
    int64_t Offset = 0;
    uint8_t Flags = 0;
    int64_t Granule = -1;
    uint32_t Serial = 0;
    uint32_t Sequence = 0;
    std::vector<uint8_t> Lacing;
    std::vector<uint8_t> Body;
  };

  bool ReadPage(TPage& page);
  bool NextPageOfStream();
  size_t ReadBytes(uint8_t* dest, size_t count);

  TAuStream& FStream;
  std::vector<uint8_t> FBuffer;  // read ahead of FOffset, so pages cost no call each
  size_t FBufferPos = 0;
  int64_t FOffset = 0;  // of the next byte ReadBytes gives

  TPage FPage;
  size_t FSegment = 0;  // the next lacing value of FPage to take
  size_t FBodyPos = 0;
  int FLastEnd = -1;     // the last lacing value of FPage that ends a packet
  int FBegunOnPage = 0;  // packets begun on FPage so far
  bool FHavePage = false;
  bool FStarted = false;  // a page of the stream has been read, so FSerial is known
  bool FSought = false;   // reading began at a page inside the stream
  bool FEnded = false;
  bool FTruncated = false;
  uint32_t FSerial = 0;
  uint32_t FNextSequence = 0;
  bool FSequenceKnown = false;

  std::vector<uint8_t> FPending;  // the packet being assembled
  bool FHavePending = false;
  int64_t FPendingOffset = 0;
  int FPendingIndex = 0;
};
