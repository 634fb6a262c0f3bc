// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/file_kinds.h"

#include <algorithm>
#include <cctype>

#include "cutting/cut_error.h"
#include "cutting/mp3_kind.h"
#include "cutting/wave_kind.h"
#include "cutting/wma_kind.h"
#include "pipeline/au_exception.h"

std::string LowerExtension(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

namespace {

bool SameLength(TAuFileIn& written, int64_t frames) {
  return written.TotalSamples() == frames;
}

// One entry a kind: how its files are named, opened, set up for a cut and checked after it.
struct TKindEntry {
  TFileKind Kind;
  const char* Extension;
  std::unique_ptr<TAuFileIn> (*MakeSource)();
  std::unique_ptr<TAuFileOut> (*MakeSink)();
  void (*SetUpSource)(TAuFileIn& source);
  void (*SetUpSink)(TAuFileOut& sink);
  void (*PrepareCut)(TAuFileIn& source, TAuFileOut& sink);  // null: nothing to carry over
  std::string (*Describe)(TAuFileIn& source);
  // What a cut writes, when that can differ from the source; null: the kind says nothing.
  std::string (*DescribeCut)(TAuFileIn& source);
  bool (*LengthMatches)(TAuFileIn& written, int64_t frames);
  // The codec's own channels and rate; null: the input's shape is written.
  void (*WrittenShape)(TAuFileOut& sink, int& channels, int& rate);
  // Why an invalid file was refused; null or empty: no reason is known.
  std::string (*Refusal)(TAuFileIn& source);
  // The source reports a third of a second more than the file holds, as room at the end.
  bool PadsLength;
  // Frames the length known before a read may be off by: an MPEG frame, a WMA block.
  int64_t SlackFrames;
};

const TKindEntry kKinds[] = {
    {TFileKind::Wave, ".wav", MakeWaveSource, MakeWaveSink, SetUpWaveSource, SetUpWaveSink,
     PrepareWaveCut, DescribeWave, DescribeWaveCut, SameLength, nullptr, WaveRefusal, false, 0},
    {TFileKind::Mp3, ".mp3", MakeMP3Source, MakeMP3Sink, SetUpMediaSource, SetUpMP3Sink,
     PrepareMP3Cut, DescribeMP3, nullptr, MP3LengthMatches, nullptr, nullptr, true, 1152},
    {TFileKind::Wma, ".wma", MakeWMASource, MakeWMASink, SetUpMediaSource, SetUpWMASink,
     PrepareWMACut, DescribeWMA, nullptr, WMALengthMatches, WMAWrittenShape, nullptr, false, 2048},
};

const TKindEntry& EntryOf(TFileKind kind) {
  for (const auto& entry : kKinds)
    if (entry.Kind == kind) return entry;
  throw ECutError("no such kind of file");
}

}  // namespace

std::optional<TFileKind> FindKind(const std::filesystem::path& path) {
  const std::string extension = LowerExtension(path);
  for (const auto& entry : kKinds)
    if (extension == entry.Extension) return entry.Kind;
  return std::nullopt;
}

TFileKind KindOfFile(const std::filesystem::path& path) {
  if (const auto kind = FindKind(path)) return *kind;
  throw ECutError("'" + path.string() +
                  "': unsupported file type (only .wav, .mp3 and .wma files)");
}

std::string ExtensionOf(TFileKind kind) {
  return EntryOf(kind).Extension;
}

std::vector<TFileKind> AllKinds() {
  std::vector<TFileKind> kinds;
  for (const auto& entry : kKinds) kinds.push_back(entry.Kind);
  return kinds;
}

std::vector<std::string> KindExtensions() {
  std::vector<std::string> extensions;
  for (const auto& entry : kKinds) extensions.emplace_back(entry.Extension);
  return extensions;
}

std::unique_ptr<TAuFileIn> MakeSource(TFileKind kind) {
  const TKindEntry& entry = EntryOf(kind);
  auto source = entry.MakeSource();
  entry.SetUpSource(*source);
  return source;
}

std::unique_ptr<TAuFileOut> MakeSink(TFileKind kind) {
  const TKindEntry& entry = EntryOf(kind);
  auto sink = entry.MakeSink();
  entry.SetUpSink(*sink);
  return sink;
}

void SetUpSource(TFileKind kind, TAuFileIn& source) {
  EntryOf(kind).SetUpSource(source);
}

void SetUpSink(TFileKind kind, TAuFileOut& sink) {
  EntryOf(kind).SetUpSink(sink);
}

void PrepareCut(TFileKind kind, TAuFileIn& source, TAuFileOut& sink) {
  if (const auto prepare = EntryOf(kind).PrepareCut) prepare(source, sink);
}

int64_t FramesHeld(TFileKind kind, TAuFileIn& source) {
  const int64_t total = source.TotalSamples();
  if (!EntryOf(kind).PadsLength || total <= 0) return total;
  return std::max<int64_t>(total - source.SampleRate() / 3, 0);
}

std::function<int64_t()> FramesDelivered(TAuInput& source) {
  const int64_t width = int64_t{source.BitsPerSample() / 8} * source.Channels();
  return [&source, width] { return width > 0 ? source.Position() / width : 0; };
}

std::function<int64_t()> FramesCombined(TAuInput& first, TAuInput& second, bool mix) {
  return [fed1 = FramesDelivered(first), fed2 = FramesDelivered(second), mix] {
    return mix ? std::max(fed1(), fed2()) : fed1() + fed2();
  };
}

int64_t LengthSlack(TFileKind kind, int rate) {
  return EntryOf(kind).SlackFrames + rate / 100;
}

TPcmShape WrittenShape(TFileKind kind, TAuFileOut& sink, TPcmShape input) {
  if (const auto shape = EntryOf(kind).WrittenShape) shape(sink, input.Channels, input.Rate);
  return input;
}

bool LengthMatches(TFileKind kind, TAuFileIn& written, int64_t frames) {
  return EntryOf(kind).LengthMatches(written, frames);
}

std::string DescribeFormat(TFileKind kind, TAuFileIn& source) {
  return EntryOf(kind).Describe(source);
}

std::string DescribeCutOutput(TFileKind kind, TAuFileIn& source) {
  const auto describe = EntryOf(kind).DescribeCut;
  return describe != nullptr ? describe(source) : std::string();
}

TOpenedSource OpenSource(const std::filesystem::path& path) {
  const TFileKind kind = KindOfFile(path);
  const TKindEntry& entry = EntryOf(kind);
  auto source = MakeSource(kind);
  source->SetFileName(path);
  try {
    if (!source->Valid()) {
      const std::string reason = entry.Refusal != nullptr ? entry.Refusal(*source) : "";
      throw ECutError("'" + path.string() + "': " +
                      (reason.empty()
                           ? "not a " + std::string(entry.Extension) + " file this program can read"
                           : reason));
    }
  } catch (const EAuException& e) {
    throw ECutError("cannot open '" + path.string() + "': " + e.what());
  }
  return {kind, std::move(source)};
}
