// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pipeline/file_input.h"
#include "pipeline/file_output.h"

// The kinds of sound file Trimora reads and writes, and everything that differs between them:
// how a file of a kind is named and opened, the sink that writes it with its stored settings,
// what a cut carries from the source into the sink, how long the file's sound really is, and
// how a written file is checked. The windows and the command line choose by this table only.
enum class TFileKind { Wave, Mp3, Wma };

// The extension of `path` in lower case, e.g. ".wav".
std::string LowerExtension(const std::filesystem::path& path);
// The kind of `path` by its extension (case ignored), if it is one of the kinds.
std::optional<TFileKind> FindKind(const std::filesystem::path& path);
// The same; ECutError naming the file for any other extension.
TFileKind KindOfFile(const std::filesystem::path& path);
// The extension of the kind, e.g. ".wav".
std::string ExtensionOf(TFileKind kind);
// Every kind, and the extensions of every kind, in the table's order.
std::vector<TFileKind> AllKinds();
std::vector<std::string> KindExtensions();

// A source or sink of the kind with the stored settings every window and command uses.
std::unique_ptr<TAuFileIn> MakeSource(TFileKind kind);
std::unique_ptr<TAuFileOut> MakeSink(TFileKind kind);
// The same stored settings given to a source or sink the caller owns (a window's members);
// each must be of the kind's class.
void SetUpSource(TFileKind kind, TAuFileIn& source);
void SetUpSink(TFileKind kind, TAuFileOut& sink);

// Sets `sink` up from `source` before a cut, join or segment cut (MP3: tags and encoder
// settings taken over from the source; WMA: tags and the matching format; WAV: tags, the
// kind of data where it can be written, the channel mask). Call it after the sink's input is
// set: a WAV source keeps its floats only for a sink that reads it unchanged.
void PrepareCut(TFileKind kind, TAuFileIn& source, TAuFileOut& sink);

// The frames of sound the file of `source` holds. An MP3 source reports a third of a second
// more, as room at the end of the data; this is the length without it.
int64_t FramesHeld(TFileKind kind, TAuFileIn& source);
// Counts the frames `source` hands over in its next read (or the one under way). The frame
// width is taken now, while the file is open: counting after the run never reopens the file
// by its name, which may be gone by then.
std::function<int64_t()> FramesDelivered(TAuInput& source);
// The same for a join (`first` then `second`) or a mix (side by side) of two inputs that hand
// out frames of one format.
std::function<int64_t()> FramesCombined(TAuInput& first, TAuInput& second, bool mix);
// How far short of the frames asked for a read of `kind` may end without the file having
// ended early: the compressed sources know their lengths only to about a frame of the codec.
int64_t LengthSlack(TFileKind kind, int rate);

// The channels and rate of the sound a sink writes.
struct TPcmShape {
  int Channels = 0;
  int Rate = 0;
};
// What `sink` (of `kind`, set up for its run) writes when fed `input`: the input's shape,
// except for WMA, whose codec format decides and into which the input is converted.
TPcmShape WrittenShape(TFileKind kind, TAuFileOut& sink, TPcmShape input);

// Whether `written` (opened as a file of `kind`) holds `frames` frames, as closely as the
// kind's source can tell (the compressed sources count in hundredths of a second).
bool LengthMatches(TFileKind kind, TAuFileIn& written, int64_t frames);

// "WAV, PCM": the container and the kind of data `source` (of `kind`) holds.
std::string DescribeFormat(TFileKind kind, TAuFileIn& source);
// What a cut of `source` writes where the kind can write other data than the source holds
// ("16-bit PCM (MS ADPCM cannot be written)"); empty for the kinds that say nothing.
std::string DescribeCutOutput(TFileKind kind, TAuFileIn& source);

// A source of the file's kind opened on `path`, its header read; ECutError when the file
// cannot be opened or holds nothing this program can read.
struct TOpenedSource {
  TFileKind Kind;
  std::unique_ptr<TAuFileIn> Source;
};
TOpenedSource OpenSource(const std::filesystem::path& path);
