// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

namespace trimora::media {

// FFmpeg's ASF muxer renames a "Description" text before it fills the content description
// object, so the text lands among the extended content descriptors, where readers that look
// for a file's description in that object (where the Windows runtime puts it) miss it.
//
// Given the first bytes a muxer wrote, this moves the extended descriptor "Description" into
// the content description object's empty description, in place: the header keeps its length,
// the bytes freed becoming a padding object, so no offset after it moves. False, with the
// bytes untouched, when the header object is not all in `bytes` or does not hold both objects
// in the shape the muxer writes them.
bool MoveDescriptionIntoContentDescription(std::span<uint8_t> bytes);

}  // namespace trimora::media
