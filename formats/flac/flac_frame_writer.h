// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/flac/flac_stream.h"

// The frames of a cut. Every frame is written in variable-blocksize mode, numbered by its
// first sample: the re-encoded first frame is shorter than the source's, which a stream of
// frame numbers cannot say.

// The source frame at `frame` (`bytes` long, its header `headerBytes`) renumbered as
// starting at `firstSample`: its codes, trailers and audio as they are, the number, the
// blocking strategy and both CRCs new. Appended to `out`. The frame's CRC-16 must hold (the
// frame index has checked it): the new one is worked out from it.
void RenumberFlacFrame(const uint8_t* frame, size_t bytes, size_t headerBytes, uint64_t firstSample,
                       std::vector<uint8_t>& out);

// `count` frames of interleaved `samples` (true values within `info`'s sample size) coded
// losslessly as one frame starting at `firstSample`, each channel on its own: a constant, a
// fixed predictor with Rice-coded residuals, or verbatim, whichever is smallest. Appended to
// `out`. `count` is 1 to 65535.
void EncodeFlacFrame(const int32_t* samples, uint32_t count, const TFlacStreamInfo& info,
                     uint64_t firstSample, std::vector<uint8_t>& out);
