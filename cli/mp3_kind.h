#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pipeline/file_input.h"
#include "pipeline/file_output.h"

// The MP3 branch of the command line, set up as the main window sets up its MP3 pipeline.

// An MP3 source with the settings of every Windows Media source (SetUpMediaSource).
std::unique_ptr<TAuFileIn> MakeMP3Source();
// An MP3 sink with the main window's stored settings; PrepareMP3Cut adapts them to the
// source before each cut.
std::unique_ptr<TAuFileOut> MakeMP3Sink();
// Carries the source's tags and encoder settings into the sink (both made above).
void PrepareMP3Cut(TAuFileIn& source, TAuFileOut& sink);
// "MP3, 128 kbps" or "MP3, VBR 190 kbps".
std::string DescribeMP3(TAuFileIn& source);

// Whether `written`, the file a cut of `frames` frames produced, has that length as far as
// the MP3 source can tell: it counts in hundredths of a second and adds its third.
bool MP3LengthMatches(TAuFileIn& written, int64_t frames);
