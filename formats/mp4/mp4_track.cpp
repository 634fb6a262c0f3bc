// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp4/mp4_track.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

namespace {

// A moov box beyond this is not a sound file's: even a day of AAC packets needs a few MiB of
// tables. Loading it whole keeps the walk over it simple and bounded.
constexpr uint64_t kMaxMoovBytes = 64u << 20;
// Top-level boxes looked at before the file is taken for something else: a sound file has a
// handful, and a file of millions of tiny boxes would only keep the walk busy.
constexpr int kMaxTopBoxes = 4096;

struct TRefused {
  std::string Reason;
};

[[noreturn]] void Refuse(const std::string& reason) {
  throw TRefused{reason};
}

// Bounds-checked big-endian reads from the loaded moov box.
struct TBytes {
  const uint8_t* Data = nullptr;
  size_t Size = 0;

  void Need(size_t at, size_t count) const {
    if (at > Size || count > Size - at) Refuse("a box ends before its fields do");
  }
  uint32_t U8(size_t at) const {
    Need(at, 1);
    return Data[at];
  }
  uint32_t U32(size_t at) const {
    Need(at, 4);
    return uint32_t{Data[at]} << 24 | uint32_t{Data[at + 1]} << 16 | uint32_t{Data[at + 2]} << 8 |
           uint32_t{Data[at + 3]};
  }
  uint64_t U64(size_t at) const { return uint64_t{U32(at)} << 32 | U32(at + 4); }
};

struct TBox {
  uint32_t Type = 0;
  size_t Start = 0;
  size_t Body = 0;  // where the content starts, after the header
  size_t End = 0;
};

// The boxes inside [from, to) of `bytes`; a size that runs past the parent is refused.
std::vector<TBox> Children(const TBytes& bytes, size_t from, size_t to) {
  std::vector<TBox> boxes;
  size_t at = from;
  while (to - at >= 8) {
    uint64_t size = bytes.U32(at);
    TBox box;
    box.Type = bytes.U32(at + 4);
    box.Start = at;
    box.Body = at + 8;
    if (size == 1) {
      size = bytes.U64(at + 8);
      box.Body = at + 16;
    } else if (size == 0) {
      size = to - at;
    }
    if (size < box.Body - at || size > to - at) Refuse("a box's size runs past the box holding it");
    box.End = at + static_cast<size_t>(size);
    boxes.push_back(box);
    at = box.End;
  }
  return boxes;
}

// A copy, so that the list it came from may be a temporary.
std::optional<TBox> Find(const std::vector<TBox>& boxes, uint32_t type) {
  for (const TBox& box : boxes)
    if (box.Type == type) return box;
  return std::nullopt;
}

std::vector<TBox> ChildrenOf(const TBytes& bytes, const TBox& box, size_t skip = 0) {
  if (box.End - box.Body < skip) Refuse("a box ends before its fields do");
  return Children(bytes, box.Body + skip, box.End);
}

uint32_t Handler(const TBytes& bytes, const TBox& trak) {
  const std::vector<TBox> inner = ChildrenOf(bytes, trak);
  const std::optional<TBox> mdia = Find(inner, Fourcc("mdia"));
  if (mdia == std::nullopt) return 0;
  const std::optional<TBox> hdlr = Find(ChildrenOf(bytes, *mdia), Fourcc("hdlr"));
  return hdlr != std::nullopt ? bytes.U32(hdlr->Body + 8) : 0;
}

void ReadEdit(const TBytes& bytes, const TBox& elst, TMp4Track& track) {
  const bool wide = bytes.U8(elst.Body) == 1;
  const uint32_t count = bytes.U32(elst.Body + 4);
  if (count == 0) return;
  if (count > 1)
    Refuse("its edit list has " + std::to_string(count) +
           " entries; only a single edit can be followed");
  const size_t at = elst.Body + 8;
  track.HasEdit = true;
  if (wide) {
    track.EditDuration = bytes.U64(at);
    track.EditMediaTime = static_cast<int64_t>(bytes.U64(at + 8));
  } else {
    track.EditDuration = bytes.U32(at);
    track.EditMediaTime = static_cast<int32_t>(bytes.U32(at + 4));
  }
  if (track.EditMediaTime < 0) Refuse("its edit list holds only an empty edit");
  if (bytes.U32(at + (wide ? 16 : 8)) != 0x10000) Refuse("its edit plays at another speed");
}

void ReadSampleEntry(const TBytes& bytes, const TBox& stsd, TMp4Track& track) {
  if (bytes.U32(stsd.Body + 4) == 0) Refuse("its sound track describes no samples");
  const std::vector<TBox> entries = ChildrenOf(bytes, stsd, 8);
  if (entries.empty()) Refuse("its sound track describes no samples");
  track.Format = entries.front().Type;
  if (track.Format == Fourcc("drms") || track.Format == Fourcc("enca") ||
      track.Format == Fourcc("drmi"))
    Refuse("it is protected (encrypted with DRM), so its sound cannot be read");
  track.SampleDescription.assign(reinterpret_cast<const char*>(bytes.Data) + stsd.Start,
                                 stsd.End - stsd.Start);
}

// Every packet's size, duration and place from the sample table.
void ReadSampleTable(const TBytes& bytes, const TBox& stbl, uint64_t fileSize, TMp4Track& track) {
  const std::vector<TBox> boxes = ChildrenOf(bytes, stbl);
  const std::optional<TBox> stsd = Find(boxes, Fourcc("stsd"));
  const std::optional<TBox> stts = Find(boxes, Fourcc("stts"));
  const std::optional<TBox> stsc = Find(boxes, Fourcc("stsc"));
  const std::optional<TBox> stsz = Find(boxes, Fourcc("stsz"));
  const std::optional<TBox> stco = Find(boxes, Fourcc("stco"));
  const std::optional<TBox> co64 = Find(boxes, Fourcc("co64"));
  if (stsd == std::nullopt || stts == std::nullopt || stsc == std::nullopt ||
      stsz == std::nullopt || (stco == std::nullopt && co64 == std::nullopt))
    Refuse("its sound track lacks a sample table");
  ReadSampleEntry(bytes, *stsd, track);

  const uint32_t fixed = bytes.U32(stsz->Body + 4);
  const uint32_t count = bytes.U32(stsz->Body + 8);
  if (fixed == 0) bytes.Need(stsz->Body + 12, uint64_t{count} * 4);
  if (fixed != 0 && uint64_t{count} * fixed > fileSize)
    Refuse("its packets would run past the end of the file");
  track.Sizes.resize(count);
  for (uint32_t i = 0; i < count; ++i)
    track.Sizes[i] = fixed != 0 ? fixed : bytes.U32(stsz->Body + 12 + size_t{i} * 4);

  const uint32_t runs = bytes.U32(stts->Body + 4);
  bytes.Need(stts->Body + 8, uint64_t{runs} * 8);
  track.Durations.reserve(count);
  for (uint32_t r = 0; r < runs && track.Durations.size() < count; ++r) {
    const uint32_t n = bytes.U32(stts->Body + 8 + size_t{r} * 8);
    const uint32_t delta = bytes.U32(stts->Body + 12 + size_t{r} * 8);
    const size_t take = std::min<size_t>(n, count - track.Durations.size());
    track.Durations.insert(track.Durations.end(), take, delta);
  }
  if (track.Durations.size() != count) Refuse("its packets' durations do not cover its packets");

  const bool wide = co64 != std::nullopt;
  const TBox& chunkBox = wide ? *co64 : *stco;
  const uint32_t chunks = bytes.U32(chunkBox.Body + 4);
  bytes.Need(chunkBox.Body + 8, uint64_t{chunks} * (wide ? 8 : 4));
  const uint32_t entries = bytes.U32(stsc->Body + 4);
  bytes.Need(stsc->Body + 8, uint64_t{entries} * 12);
  track.Offsets.reserve(count);
  uint32_t entry = 0;
  for (uint32_t chunk = 1; chunk <= chunks && track.Offsets.size() < count; ++chunk) {
    while (entry + 1 < entries && bytes.U32(stsc->Body + 8 + size_t{entry + 1} * 12) <= chunk)
      ++entry;
    if (entries == 0) break;
    const uint32_t perChunk = bytes.U32(stsc->Body + 12 + size_t{entry} * 12);
    uint64_t offset = wide ? bytes.U64(chunkBox.Body + 8 + size_t{chunk - 1} * 8)
                           : bytes.U32(chunkBox.Body + 8 + size_t{chunk - 1} * 4);
    for (uint32_t k = 0; k < perChunk && track.Offsets.size() < count; ++k) {
      const uint32_t size = track.Sizes[track.Offsets.size()];
      if (offset > fileSize || size > fileSize - offset)
        Refuse("a packet lies past the end of the file");
      track.Offsets.push_back(offset);
      offset += size;
    }
  }
  if (track.Offsets.size() != count) Refuse("its chunk tables do not place every packet");
}

// The gapless figures of an iTunSMPB item: " 00000000 00000840 000001CA 00000000002A0E76 ...".
void ReadSmpb(const TBytes& bytes, const TBox& udta, TMp4Track& track) {
  const std::optional<TBox> meta = Find(ChildrenOf(bytes, udta), Fourcc("meta"));
  if (meta == std::nullopt) return;
  const std::optional<TBox> ilst = Find(ChildrenOf(bytes, *meta, 4), Fourcc("ilst"));
  if (ilst == std::nullopt) return;
  for (const TBox& item : ChildrenOf(bytes, *ilst)) {
    if (item.Type != Fourcc("----")) continue;
    std::string name, value;
    for (const TBox& part : ChildrenOf(bytes, item)) {
      const auto text = [&](size_t skip) {
        if (part.End - part.Body < skip) Refuse("a box ends before its fields do");
        return std::string(reinterpret_cast<const char*>(bytes.Data) + part.Body + skip,
                           part.End - part.Body - skip);
      };
      if (part.Type == Fourcc("name")) name = text(4);
      if (part.Type == Fourcc("data")) value = text(8);
    }
    if (name != "iTunSMPB") continue;
    unsigned zero = 0, priming = 0, padding = 0;
    unsigned long long length = 0;
    if (std::sscanf(value.c_str(), " %x %x %x %llx", &zero, &priming, &padding, &length) == 4 &&
        length > 0) {
      track.SmpbPriming = priming;
      track.SmpbLength = static_cast<int64_t>(std::min<unsigned long long>(length, INT64_MAX));
    }
  }
}

TMp4Track ReadMoov(const TBytes& bytes, uint64_t fileSize) {
  TMp4Track track;
  const TBox whole{Fourcc("moov"), 0, 0, bytes.Size};
  const std::vector<TBox> boxes = ChildrenOf(bytes, whole);
  if (Find(boxes, Fourcc("mvex")) != std::nullopt)
    Refuse("it is a fragmented MP4 (its packets lie in fragments), which cannot be cut here");
  const std::optional<TBox> mvhd = Find(boxes, Fourcc("mvhd"));
  if (mvhd == std::nullopt) Refuse("its moov box has no movie header");
  track.MovieTimescale = bytes.U32(mvhd->Body + (bytes.U8(mvhd->Body) == 1 ? 20 : 12));
  std::optional<TBox> sound;
  for (const TBox& box : boxes) {
    if (box.Type != Fourcc("trak")) continue;
    const uint32_t handler = Handler(bytes, box);
    if (handler == Fourcc("vide"))
      Refuse("it holds video as well as sound; only MP4 files of sound alone are opened");
    if (handler == Fourcc("soun") && sound == std::nullopt) sound = box;
  }
  if (sound == std::nullopt) Refuse("it holds no sound track");
  const std::vector<TBox> trak = ChildrenOf(bytes, *sound);
  if (const std::optional<TBox> edts = Find(trak, Fourcc("edts")))
    if (const std::optional<TBox> elst = Find(ChildrenOf(bytes, *edts), Fourcc("elst")))
      ReadEdit(bytes, *elst, track);
  const std::optional<TBox> mdiaBox = Find(trak, Fourcc("mdia"));
  if (mdiaBox == std::nullopt) Refuse("its sound track lacks its media header");
  const std::vector<TBox> mdia = ChildrenOf(bytes, *mdiaBox);
  const std::optional<TBox> mdhd = Find(mdia, Fourcc("mdhd"));
  const std::optional<TBox> minf = Find(mdia, Fourcc("minf"));
  if (mdhd == std::nullopt || minf == std::nullopt)
    Refuse("its sound track lacks its media header");
  track.MediaTimescale = bytes.U32(mdhd->Body + (bytes.U8(mdhd->Body) == 1 ? 20 : 12));
  if (track.MovieTimescale == 0 || track.MediaTimescale == 0) Refuse("its clock rate is 0");
  const std::optional<TBox> stbl = Find(ChildrenOf(bytes, *minf), Fourcc("stbl"));
  if (stbl == std::nullopt) Refuse("its sound track lacks a sample table");
  ReadSampleTable(bytes, *stbl, fileSize, track);
  if (const std::optional<TBox> udta = Find(boxes, Fourcc("udta"))) ReadSmpb(bytes, *udta, track);
  return track;
}

}  // namespace

int64_t RescaleTime(uint64_t time, uint32_t to, uint32_t from) {
  if (from == 0) return 0;
  const uint64_t whole = time / from, part = time % from;
  if (to != 0 && whole > static_cast<uint64_t>(INT64_MAX / 4) / to) return INT64_MAX / 4;
  return static_cast<int64_t>(whole * to + (part * to + from / 2) / from);
}

uint64_t TMp4Track::MediaDuration() const {
  uint64_t total = 0;
  for (const uint32_t duration : Durations) total += duration;
  return total;
}

TMp4Reading ReadMp4Track(const TMp4ReadAt& read, uint64_t fileSize) {
  TMp4Reading reading;
  try {
    uint64_t at = 0;
    std::vector<uint8_t> moov;
    bool haveMoov = false;
    for (int boxes = 0; at + 8 <= fileSize && boxes < kMaxTopBoxes; ++boxes) {
      uint8_t head[16];
      if (!read(at, head, 8)) Refuse("the file ends inside a box header");
      const TBytes bytes{head, 16};
      uint64_t size = bytes.U32(0);
      const uint32_t type = bytes.U32(4);
      uint64_t body = 8;
      if (size == 1) {
        if (!read(at + 8, head + 8, 8)) Refuse("the file ends inside a box header");
        size = bytes.U64(8);
        body = 16;
      } else if (size == 0) {
        size = fileSize - at;
      }
      if (size < body || size > fileSize - at) Refuse("a box's size runs past the end of the file");
      if (type == Fourcc("moof"))
        Refuse("it is a fragmented MP4 (its packets lie in fragments), which cannot be cut here");
      if (type == Fourcc("moov") && !haveMoov) {
        if (size - body > kMaxMoovBytes) Refuse("its moov box is too large for a sound file");
        moov.resize(static_cast<size_t>(size - body));
        if (!moov.empty() && !read(at + body, moov.data(), moov.size()))
          Refuse("the file ends inside its moov box");
        haveMoov = true;
      }
      at += size;
    }
    if (!haveMoov) Refuse("it has no moov box (a recording that was never finished?)");
    reading.Track = ReadMoov(TBytes{moov.data(), moov.size()}, fileSize);
  } catch (const TRefused& refused) {
    reading.Track = {};
    reading.Refusal = refused.Reason;
  }
  return reading;
}

TMp4Span PlayedSpan(const TMp4Track& track) {
  const auto media = static_cast<int64_t>(std::min<uint64_t>(track.MediaDuration(), INT64_MAX / 2));
  TMp4Span span;
  if (track.HasEdit) {
    span.Start = std::min(track.EditMediaTime, media);
    const int64_t left = media - span.Start;
    span.Length = left;
    if (track.EditDuration != 0 && track.MovieTimescale != 0) {
      const int64_t length =
          RescaleTime(track.EditDuration, track.MediaTimescale, track.MovieTimescale);
      // FFmpeg's muxer states the edit in milliseconds: a length within one tick of the
      // media's end means the end, which the last packet's duration says exactly.
      const int64_t tick = (track.MediaTimescale + track.MovieTimescale - 1) / track.MovieTimescale;
      if (length < left - tick || length > left) span.Length = std::min(length, left);
    }
  } else if (track.SmpbLength > 0) {
    span.Start = std::min(track.SmpbPriming, media);
    span.Length = std::min(track.SmpbLength, media - span.Start);
  } else {
    span.Length = media;
  }
  return span;
}
