// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pipeline/file_input.h"
#include "pipeline/file_output.h"

// The MP3 entry of the kinds table (file_kinds).

std::unique_ptr<TAuFileIn> MakeMP3Source();
std::unique_ptr<TAuFileOut> MakeMP3Sink();
// The stored settings of every MP3 sink; PrepareMP3Cut adapts them to the source before
// each run.
void SetUpMP3Sink(TAuFileOut& sink);
// Carries the source's tags and encoder settings into the sink (both MP3; a frame copy takes
// the tags only).
void PrepareMP3Cut(TAuFileIn& source, TAuFileOut& sink);
// "MP3, 128 kbps" or "MP3, VBR 190 kbps".
std::string DescribeMP3(TAuFileIn& source);

// Whether `written`, the file a cut of `frames` frames produced, has that length as far as
// the MP3 source can tell: it counts in hundredths of a second and adds its third.
bool MP3LengthMatches(TAuFileIn& written, int64_t frames);
