// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/wave/wave_info.h"

#include <algorithm>
#include <cstring>

#include "formats/wave/riff_chunks.h"
#include "tags/tag_text.h"

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Each id and how it reaches the tags; the first row of a field is the one written.
struct TInfoField {
  const char* Id;
  std::u16string (TId3v2Tags::*Get)() const;
  void (TId3v2Tags::*Set)(const std::u16string&);
};

// Year and track are narrow texts in the container; these bridge them.
std::u16string YearOf(const TId3v2Tags& t) {
  return tag_text::AnsiToWide(t.Year());
}
std::u16string TrackOf(const TId3v2Tags& t) {
  return tag_text::AnsiToWide(t.Track());
}

const TInfoField kFields[] = {
    {"INAM", &TId3v2Tags::Title, &TId3v2Tags::SetTitle},
    {"IART", &TId3v2Tags::Artist, &TId3v2Tags::SetArtist},
    {"IPRD", &TId3v2Tags::Album, &TId3v2Tags::SetAlbum},
    {"ICMT", &TId3v2Tags::Comment, &TId3v2Tags::SetComment},
    {"IGNR", &TId3v2Tags::Genre, &TId3v2Tags::SetGenre},
    {"IMUS", &TId3v2Tags::Composer, &TId3v2Tags::SetComposer},
    {"ICOP", &TId3v2Tags::Copyright, &TId3v2Tags::SetCopyright},
    {"ISFT", &TId3v2Tags::Encoder, &TId3v2Tags::SetEncoder},
    {"ILNG", &TId3v2Tags::Language, &TId3v2Tags::SetLanguage},
};
constexpr const char* kYearId = "ICRD";
constexpr const char* kTrackIds[] = {"ITRK", "IPRT"};

bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<uint8_t>(text[i]);
    size_t extra = 4;  // bytes after the lead byte; 4 marks a byte no sequence starts with
    if (c < 0x80)
      extra = 0;
    else if ((c & 0xE0) == 0xC0 && c >= 0xC2)
      extra = 1;
    else if ((c & 0xF0) == 0xE0)
      extra = 2;
    else if ((c & 0xF8) == 0xF0)
      extra = 3;
    if (extra == 4 || i + extra >= text.size()) return false;
    for (size_t k = 1; k <= extra; ++k)
      if ((static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

std::u16string Wide(std::string_view text) {
  return IsUtf8(text) ? tag_text::Utf8ToWide(text) : tag_text::AnsiToWide(text);
}

// The sub-chunks of one INFO list's body (after its type).
void ParseInfoBody(std::span<const uint8_t> body, TWaveInfo& info) {
  TChunkCursor in(body);
  std::string_view id;
  uint32_t size = 0;
  while (info.size() < kMaxInfoTexts && in.Next(id, size)) {
    const size_t held = std::min<size_t>(size, in.Left());
    std::string value(reinterpret_cast<const char*>(in.At()), held);
    // Writers end texts with one or more zeros; what follows the first is not text.
    value.resize(std::strlen(value.c_str()));
    if (!value.empty()) info.push_back({std::string(id), std::move(value)});
    if (!in.Skip(static_cast<uint32_t>(held))) break;
  }
}

}  // namespace

void CollectWaveInfo(std::span<const uint8_t> chunks, TWaveInfo& info) {
  TChunkCursor in(chunks);
  std::string_view id;
  uint32_t size = 0;
  while (info.size() < kMaxInfoTexts && in.Next(id, size)) {
    const size_t held = std::min<size_t>(size, in.Left());
    if (MatchChunkId(reinterpret_cast<const uint8_t*>(id.data()), "LIST") && held >= 4 &&
        MatchChunkId(in.At(), "INFO")) {
      ParseInfoBody(std::span<const uint8_t>(in.At() + 4, held - 4), info);
    }
    if (held < size || !in.Skip(size)) break;
  }
}

void CollectWaveInfoAt(TAuStream& stream, int64_t offset, TWaveInfo& info) {
  const int64_t left = stream.Size() - offset;
  if (offset < 0 || left < 12) return;
  std::vector<uint8_t> bytes(static_cast<size_t>(std::min<int64_t>(left, kInfoReadLimit)));
  stream.SetPosition(offset);
  const int64_t got = stream.Read(bytes.data(), static_cast<int64_t>(bytes.size()));
  bytes.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
  // The pad byte after odd-sized data, where the writer put one; no chunk id starts with 0.
  const size_t pad = !bytes.empty() && bytes[0] == 0 ? 1 : 0;
  CollectWaveInfo(std::span<const uint8_t>(bytes).subspan(pad), info);
}

void InfoToTags(const TWaveInfo& info, TId3v2Tags& tags) {
  const auto first = [&info](std::string_view id) -> const std::string* {
    for (const TInfoText& text : info)
      if (MatchChunkId(reinterpret_cast<const uint8_t*>(text.Id.data()), id)) return &text.Value;
    return nullptr;
  };
  for (const TInfoField& field : kFields)
    if (const std::string* value = first(field.Id)) (tags.*field.Set)(Wide(*value));
  if (const std::string* year = first(kYearId)) tags.SetYear(tag_text::WideToAnsi(Wide(*year)));
  for (const char* id : kTrackIds) {
    if (const std::string* track = first(id)) {
      tags.SetTrack(tag_text::WideToAnsi(Wide(*track)));
      break;
    }
  }
}

std::vector<uint8_t> MakeInfoChunk(const TId3v2Tags& tags) {
  std::vector<std::pair<const char*, std::u16string>> texts;
  for (const TInfoField& field : kFields) texts.emplace_back(field.Id, (tags.*field.Get)());
  texts.emplace_back(kYearId, YearOf(tags));
  texts.emplace_back(kTrackIds[0], TrackOf(tags));

  std::vector<uint8_t> body = {'I', 'N', 'F', 'O'};
  for (const auto& [id, wide] : texts) {
    if (wide.empty()) continue;
    const std::string text = tag_text::WideToUtf8(wide);
    const auto size = static_cast<uint32_t>(text.size() + 1);  // with its terminating zero
    body.insert(body.end(), id, id + 4);
    PutU32(body, size);
    body.insert(body.end(), text.begin(), text.end());
    body.push_back(0);
    if (size % 2 == 1) body.push_back(0);
  }
  if (body.size() == 4) return {};
  std::vector<uint8_t> chunk = {'L', 'I', 'S', 'T'};
  PutU32(chunk, static_cast<uint32_t>(body.size()));
  chunk.insert(chunk.end(), body.begin(), body.end());
  return chunk;
}
