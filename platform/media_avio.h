// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media_av.h"
#include "platform/media_runtime.h"

namespace trimora::media {

// An FFmpeg I/O context that reads through a media stream. Reads past the end answer
// AVERROR_EOF (never 0, which FFmpeg would take for "try again"), and a size query answers
// the stream's size, without which FFmpeg guesses MP3 and ASF lengths wrongly.
// Null when FFmpeg could not allocate it.
TAvioPtr MakeMediaAvio(IMediaStream& stream);

// Silences FFmpeg's log: damaged files make it talk on stderr, while its callers report
// through their results.
void QuietFfmpeg();

// The origin of an FFmpeg seek's `whence` (SEEK_SET, SEEK_CUR or SEEK_END, AVSEEK_FORCE
// ignored); false for anything else.
bool MediaSeekOrigin(int whence, TMediaSeekOrigin& origin);

}  // namespace trimora::media
