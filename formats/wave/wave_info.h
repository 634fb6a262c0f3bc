// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The descriptive texts of a WAV file: a `LIST` chunk of type "INFO" whose sub-chunks each
// hold one zero-terminated text under a four-character id ("INAM" the title, "IART" the
// artist, ...). Readers find it before or after the `data` chunk; the writer puts it after.
//
// Layout: "LIST", uint32 body size, "INFO", then sub-chunks of id, uint32 size and text, each
// padded to an even length.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pipeline/au_stream.h"
#include "tags/id3v2_tags.h"

struct TInfoText {
  std::string Id;     // four characters
  std::string Value;  // the bytes as stored, without the terminating zeros
};
using TWaveInfo = std::vector<TInfoText>;

// Hostile sizes are clamped to these: no walk reads more than kInfoReadLimit bytes after the
// data or keeps more than kMaxInfoTexts texts.
inline constexpr uint32_t kInfoReadLimit = 1 << 20;
inline constexpr size_t kMaxInfoTexts = 256;

// Adds the texts of every INFO list among the RIFF chunks in `chunks` (starting at a chunk
// header) to `info`. A chunk that claims more bytes than are there is read as far as they go.
void CollectWaveInfo(std::span<const uint8_t> chunks, TWaveInfo& info);

// The INFO lists among the chunks from `offset` in `stream` to its end (at most
// kInfoReadLimit bytes), as they follow a file's data; the stream's position is left moved.
void CollectWaveInfoAt(TAuStream& stream, int64_t offset, TWaveInfo& info);

// The texts as tags: INAM title, IART artist, IPRD album, ICMT comment, ICRD year, IGNR genre,
// ITRK or IPRT track, IMUS composer, ICOP copyright, ISFT encoder, ILNG language. Texts that
// are valid UTF-8 are read as such, others as Windows-1252. The first of an id counts.
void InfoToTags(const TWaveInfo& info, TId3v2Tags& tags);

// The `LIST` chunk for the non-empty texts of `tags` under the same ids (track as ITRK), in
// UTF-8; empty when there are none.
std::vector<uint8_t> MakeInfoChunk(const TId3v2Tags& tags);
