// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "platform/media_mp3_frames.h"

// The decoder's raw output of a stretch of an MP3 file: interleaved 16-bit samples from raw
// sample `from` to `to` (exclusive), counted from the first audio frame's output with no
// delay dropped, as the frame grid runs. Decoding starts some frames early, so that the bit
// reservoir, the transform's overlap and the filter bank are as a decode from the start
// leaves them; samples before the first frame or past the last are silence. A frame the
// decoder rejects gives silence too, so that the samples stay on the grid.
std::vector<int16_t> DecodeMp3Raw(trimora::media::TMediaByteReader& reader,
                                  trimora::media::TMp3FrameIndex& index, int channels, int64_t from,
                                  int64_t to);
