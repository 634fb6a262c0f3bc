// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pipeline/file_input.h"
#include "pipeline/file_output.h"

// The WMA entry of the kinds table (file_kinds), and what it shares with the MP3 entry.

// The settings of every Windows Media source, which the MP3 source is too: mono or stereo
// 16-bit PCM, no looping, the whole file.
void SetUpMediaSource(TAuFileIn& source);
std::unique_ptr<TAuFileIn> MakeWMASource();
std::unique_ptr<TAuFileOut> MakeWMASink();
// The stored settings of every WMA sink; PrepareWMACut chooses its format.
void SetUpWMASink(TAuFileOut& sink);
// Codec 0, the format matching the source, and the source's tags (both WMA).
void PrepareWMACut(TAuFileIn& source, TAuFileOut& sink);
// "WMA, 128 kbps".
std::string DescribeWMA(TAuFileIn& source);

// The channels and rate of the codec format `sink` is set to, left as they are when the
// format does not exist (the run then fails).
void WMAWrittenShape(TAuFileOut& sink, int& channels, int& rate);

// Whether `written`, the file a cut of `frames` frames produced, says it has that length:
// the source counts in hundredths of a second.
bool WMALengthMatches(TAuFileIn& written, int64_t frames);
