#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pipeline/file_input.h"
#include "pipeline/file_output.h"

// The WMA branch of the command line, set up as the main window sets up its WMA pipeline.

class TWMIn;

// `source` with the windows' settings for a Windows Media source, which the MP3 source is
// too: mono or stereo 16-bit PCM, no looping, the whole file.
std::unique_ptr<TAuFileIn> SetUpMediaSource(std::unique_ptr<TWMIn> source);
// A Windows Media source set up so.
std::unique_ptr<TAuFileIn> MakeWMASource();
// A WMA sink with the main window's stored settings; PrepareWMACut chooses its format.
std::unique_ptr<TAuFileOut> MakeWMASink();
// Codec 0, the format matching the source, and the source's tags (both made above).
void PrepareWMACut(TAuFileIn& source, TAuFileOut& sink);
// "WMA, 128 kbps".
std::string DescribeWMA(TAuFileIn& source);

// The channels and rate of the codec format `sink` is set to, left as they are when the
// format does not exist (the run then fails).
void WMAWrittenShape(TAuFileOut& sink, int& channels, int& rate);

// Whether `written`, the file a cut of `frames` frames produced, says it has that length:
// the source counts in hundredths of a second.
bool WMALengthMatches(TAuFileIn& written, int64_t frames);
