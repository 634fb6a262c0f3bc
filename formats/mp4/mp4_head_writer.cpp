// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp4/mp4_head_writer.h"

#include <utility>

namespace {

// Packets per chunk: players read a chunk's packets in one go.
constexpr size_t kChunkPackets = 256;

class TBoxWriter {
 public:
  void U8(uint32_t value) { FBytes.push_back(static_cast<char>(value & 0xff)); }
  void U16(uint32_t value) {
    U8(value >> 8);
    U8(value);
  }
  void U32(uint32_t value) {
    U16(value >> 16);
    U16(value);
  }
  void U64(uint64_t value) {
    U32(static_cast<uint32_t>(value >> 32));
    U32(static_cast<uint32_t>(value));
  }
  void Text(const char* text) { FBytes += text; }
  void Raw(const std::string& bytes) { FBytes += bytes; }
  void Zeros(size_t count) { FBytes.append(count, '\0'); }
  // Opens a box; Close fills its size in. A full box adds its version and flags.
  void Open(const char* type) {
    FOpen.push_back(FBytes.size());
    U32(0);
    Text(type);
  }
  void OpenFull(const char* type, uint32_t versionAndFlags) {
    Open(type);
    U32(versionAndFlags);
  }
  void Close() {
    const size_t start = FOpen.back();
    FOpen.pop_back();
    const auto size = static_cast<uint32_t>(FBytes.size() - start);
    for (int i = 0; i < 4; ++i) FBytes[start + i] = static_cast<char>(size >> (24 - 8 * i));
  }
  size_t Size() const { return FBytes.size(); }
  std::string Take() { return std::move(FBytes); }

 private:
  std::string FBytes;
  std::vector<size_t> FOpen;
};

void Matrix(TBoxWriter& w) {
  for (const uint32_t value : {0x10000u, 0u, 0u, 0u, 0x10000u, 0u, 0u, 0u, 0x40000000u})
    w.U32(value);
}

void SampleTable(TBoxWriter& w, const TMp4Layout& layout, uint64_t dataStart) {
  w.Open("stbl");
  w.Raw(layout.SampleDescription);
  w.OpenFull("stts", 0);
  std::vector<std::pair<uint32_t, uint32_t>> runs;
  for (const uint32_t duration : layout.Durations)
    if (!runs.empty() && runs.back().second == duration)
      ++runs.back().first;
    else
      runs.emplace_back(1, duration);
  w.U32(static_cast<uint32_t>(runs.size()));
  for (const auto& [count, duration] : runs) {
    w.U32(count);
    w.U32(duration);
  }
  w.Close();
  const size_t packets = layout.Sizes.size();
  const size_t chunks = (packets + kChunkPackets - 1) / kChunkPackets;
  w.OpenFull("stsc", 0);
  const size_t last = packets % kChunkPackets;
  w.U32(last != 0 && chunks > 1 ? 2 : 1);
  w.U32(1);
  w.U32(static_cast<uint32_t>(chunks > 1 || last == 0 ? kChunkPackets : last));
  w.U32(1);
  if (last != 0 && chunks > 1) {
    w.U32(static_cast<uint32_t>(chunks));
    w.U32(static_cast<uint32_t>(last));
    w.U32(1);
  }
  w.Close();
  w.OpenFull("stsz", 0);
  w.U32(0);
  w.U32(static_cast<uint32_t>(packets));
  for (const uint32_t size : layout.Sizes) w.U32(size);
  w.Close();
  // Offsets past 4 GiB need the wide table; a sound cut seldom does.
  uint64_t end = dataStart;
  for (const uint32_t size : layout.Sizes) end += size;
  const bool wide = end > UINT32_MAX;
  w.OpenFull(wide ? "co64" : "stco", 0);
  w.U32(static_cast<uint32_t>(chunks));
  uint64_t offset = dataStart;
  for (size_t k = 0; k < packets; ++k) {
    if (k % kChunkPackets == 0) {
      if (wide)
        w.U64(offset);
      else
        w.U32(static_cast<uint32_t>(offset));
    }
    offset += layout.Sizes[k];
  }
  w.Close();
  w.Close();
}

// The whole head, with the packets' data taken to start at `dataStart`.
std::string Head(const TMp4Layout& layout, uint64_t dataStart) {
  TBoxWriter w;
  w.Open("ftyp");
  w.Text("M4A ");
  w.U32(0x200);
  w.Text("M4A isomiso2mp41");
  w.Close();
  uint64_t media = 0;
  for (const uint32_t duration : layout.Durations) media += duration;
  const auto duration = static_cast<uint64_t>(layout.EditDuration);
  // Version 1 headers only where the 32-bit durations would overflow.
  const uint32_t version = media > UINT32_MAX ? 0x01000000 : 0;
  const auto time = [&](uint64_t value) {
    if (version != 0)
      w.U64(value);
    else
      w.U32(static_cast<uint32_t>(value));
  };
  w.Open("moov");
  w.OpenFull("mvhd", version);
  time(0);
  time(0);
  w.U32(layout.Timescale);
  time(duration);
  w.U32(0x10000);  // rate 1.0
  w.U16(0x100);    // full volume
  w.Zeros(10);
  Matrix(w);
  w.Zeros(24);
  w.U32(2);  // the next track id
  w.Close();
  w.Open("trak");
  w.OpenFull("tkhd", version | 3);  // enabled, in the movie
  time(0);
  time(0);
  w.U32(1);
  w.U32(0);
  time(duration);
  w.Zeros(8);
  w.U16(0);
  w.U16(0);
  w.U16(0x100);
  w.U16(0);
  Matrix(w);
  w.U32(0);
  w.U32(0);
  w.Close();
  w.Open("edts");
  w.OpenFull("elst", version);
  w.U32(1);
  time(duration);
  time(static_cast<uint64_t>(layout.EditMediaTime));
  w.U32(0x10000);
  w.Close();
  w.Close();
  w.Open("mdia");
  w.OpenFull("mdhd", version);
  time(0);
  time(0);
  w.U32(layout.Timescale);
  time(media);
  w.U16(0x55c4);  // language "und"
  w.U16(0);
  w.Close();
  w.OpenFull("hdlr", 0);
  w.U32(0);
  w.Text("soun");
  w.Zeros(12);
  w.Text("SoundHandler");
  w.U8(0);
  w.Close();
  w.Open("minf");
  w.OpenFull("smhd", 0);
  w.U32(0);
  w.Close();
  w.Open("dinf");
  w.OpenFull("dref", 0);
  w.U32(1);
  w.OpenFull("url ", 1);  // the data is in this file
  w.Close();
  w.Close();
  w.Close();
  SampleTable(w, layout, dataStart);
  w.Close();  // minf
  w.Close();  // mdia
  w.Close();  // trak
  w.Raw(layout.UserData);
  w.Close();  // moov
  uint64_t data = 0;
  for (const uint32_t size : layout.Sizes) data += size;
  const bool large = data + 8 > UINT32_MAX;
  w.U32(large ? 1 : static_cast<uint32_t>(data + 8));
  w.Text("mdat");
  if (large) w.U64(data + 16);
  return w.Take();
}

}  // namespace

std::string MakeMp4Head(const TMp4Layout& layout) {
  // The offsets depend on the head's size, which depends on whether they are wide.
  const std::string guess = Head(layout, 0);
  std::string head = Head(layout, guess.size());
  if (head.size() != guess.size()) head = Head(layout, head.size());
  return head;
}
