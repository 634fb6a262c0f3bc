// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tags/xiph_tags.h"

// The part Opus and Vorbis comment headers share after their magic: a vendor string, then
// the fields, each with a 32-bit little-endian length.

// The vendor string; EAuException when the header is too short to hold it.
std::string CommentHeaderVendor(const uint8_t* data, size_t size);
// Appends the vendor string and the fields of `tags`, each picture as a
// METADATA_BLOCK_PICTURE field (a FLAC picture block in base64), as taggers write them.
void AppendComments(std::vector<uint8_t>& out, const std::string& vendor, const TXiphTags& tags);
