#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "pipeline/file_input.h"
#include "pipeline/file_output.h"

// The kinds of sound file the command line reads and writes, chosen by the file's extension
// as the main window chooses its pipeline. Each kind has a source and a sink set up the way
// the windows set theirs up.
enum class TFileKind { Wave, Mp3, Wma };

// The extension of `path` in lower case, e.g. ".wav".
std::string LowerExtension(const std::filesystem::path& path);
// The kind of `path` by its extension (case ignored); TCliError for any other.
TFileKind KindOfFile(const std::filesystem::path& path);
// The extension of the kind, e.g. ".wav".
std::string ExtensionOf(TFileKind kind);

std::unique_ptr<TAuFileIn> MakeSource(TFileKind kind);
std::unique_ptr<TAuFileOut> MakeSink(TFileKind kind);

// Sets `sink` up from `source` before a cut, as the windows do (MP3: tags and encoder
// settings taken over from the source; WMA: tags and the matching format); nothing for WAV.
void PrepareCut(TFileKind kind, TAuFileIn& source, TAuFileOut& sink);

// The frames the file of `source` holds: an MP3 source reports a third of a second more, as
// room at the end of the data.
int64_t FramesHeld(TFileKind kind, TAuFileIn& source);

// The samples (single values of one channel) `source` delivered in the run just ended.
int64_t SamplesDelivered(TAuFileIn& source);
// The frames a finished cut took from `source`, whose range held `rangeFrames`.
int64_t FramesCut(TFileKind kind, TAuFileIn& source, int64_t rangeFrames);
// The channels and rate of the sound a sink writes.
struct TPcmShape {
  int Channels = 0;
  int Rate = 0;
};
// What `sink` (of `kind`, set up for its run) writes when fed `input`: the input's shape,
// except for WMA, whose codec format decides and into which the input is converted.
TPcmShape WrittenShape(TFileKind kind, TAuFileOut& sink, TPcmShape input);

// Whether `written` (opened as a file of `kind`) holds `frames` frames.
bool LengthMatches(TFileKind kind, TAuFileIn& written, int64_t frames);

// "WAV, PCM": the container and the kind of data `source` (of `kind`) holds.
std::string DescribeFormat(TFileKind kind, TAuFileIn& source);

// A source of the file's kind opened on `path`, its header read; TCliError when the file
// cannot be opened or holds nothing this program can read.
struct TOpenedSource {
  TFileKind Kind;
  std::unique_ptr<TAuFileIn> Source;
};
TOpenedSource OpenSource(const std::filesystem::path& path);
