#include "cli/file_kinds.h"

#include <algorithm>
#include <cctype>

#include "cli/cli_errors.h"
#include "cli/mp3_kind.h"
#include "cli/wma_kind.h"
#include "formats/wave/wave_in.h"
#include "formats/wave/wave_out.h"
#include "pipeline/au_exception.h"

std::string LowerExtension(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

namespace {

std::unique_ptr<TAuFileIn> MakeWaveSource() {
  return std::make_unique<TWaveIn>();
}

// As the main window's WAV sink: PCM, 512-byte blocks, the extensible header for more than
// two channels or 16 bits, always a fresh file.
std::unique_ptr<TAuFileOut> MakeWaveSink() {
  auto sink = std::make_unique<TWaveOut>();
  sink->SetWavType(wtPCM);
  sink->SetBlockSize(512);
  sink->CreateNonMsHeaders = false;
  sink->SetFileMode(foRewrite);
  sink->ShareMode = 0;
  return sink;
}

std::string DescribeWave(TAuFileIn& source) {
  return "WAV, " + std::string(dynamic_cast<TWaveIn&>(source).WavTypeName());
}

std::string WaveRefusal(TAuFileIn& source) {
  return dynamic_cast<TWaveIn&>(source).RefusalReason();
}

bool SameLength(TAuFileIn& written, int64_t frames) {
  return written.TotalSamples() == frames;
}

// One entry a kind: how its files are named, opened, set up for a cut and checked after it.
struct TKindEntry {
  TFileKind Kind;
  const char* Extension;
  std::unique_ptr<TAuFileIn> (*MakeSource)();
  std::unique_ptr<TAuFileOut> (*MakeSink)();
  void (*PrepareCut)(TAuFileIn& source, TAuFileOut& sink);  // null: nothing to carry over
  std::string (*Describe)(TAuFileIn& source);
  bool (*LengthMatches)(TAuFileIn& written, int64_t frames);
  // The codec's own channels and rate; null: the input's shape is written.
  void (*WrittenShape)(TAuFileOut& sink, int& channels, int& rate);
  // Why an invalid file was refused; null or empty: no reason is known.
  std::string (*Refusal)(TAuFileIn& source);
  // The source reports a third of a second more than the file holds, as room at the end.
  bool PadsLength;
  // The source offers a little more than its file may hold (lengths in hundredths of a
  // second), so a cut counts what it delivered rather than the range asked for.
  bool CountsDelivered;
};

const TKindEntry kKinds[] = {
    {TFileKind::Wave, ".wav", MakeWaveSource, MakeWaveSink, nullptr, DescribeWave, SameLength,
     nullptr, WaveRefusal, false, false},
    {TFileKind::Mp3, ".mp3", MakeMP3Source, MakeMP3Sink, PrepareMP3Cut, DescribeMP3,
     MP3LengthMatches, nullptr, nullptr, true, true},
    {TFileKind::Wma, ".wma", MakeWMASource, MakeWMASink, PrepareWMACut, DescribeWMA,
     WMALengthMatches, WMAWrittenShape, nullptr, false, true},
};

const TKindEntry& EntryOf(TFileKind kind) {
  for (const auto& entry : kKinds)
    if (entry.Kind == kind) return entry;
  throw TCliError("no such kind of file");
}

}  // namespace

TFileKind KindOfFile(const std::filesystem::path& path) {
  const std::string extension = LowerExtension(path);
  for (const auto& entry : kKinds)
    if (extension == entry.Extension) return entry.Kind;
  throw TCliError("'" + path.string() +
                  "': unsupported file type (only .wav, .mp3 and .wma files)");
}

std::string ExtensionOf(TFileKind kind) {
  return EntryOf(kind).Extension;
}

std::unique_ptr<TAuFileIn> MakeSource(TFileKind kind) {
  return EntryOf(kind).MakeSource();
}

std::unique_ptr<TAuFileOut> MakeSink(TFileKind kind) {
  return EntryOf(kind).MakeSink();
}

void PrepareCut(TFileKind kind, TAuFileIn& source, TAuFileOut& sink) {
  if (const auto prepare = EntryOf(kind).PrepareCut) prepare(source, sink);
}

int64_t FramesHeld(TFileKind kind, TAuFileIn& source) {
  const int64_t total = source.TotalSamples();
  if (!EntryOf(kind).PadsLength || total <= 0) return total;
  return std::max<int64_t>(total - source.SampleRate() / 3, 0);
}

int64_t SamplesDelivered(TAuFileIn& source) {
  const int width = source.BitsPerSample() / 8;
  return width > 0 ? source.Position() / width : 0;
}

int64_t FramesCut(TFileKind kind, TAuFileIn& source, int64_t rangeFrames) {
  if (!EntryOf(kind).CountsDelivered) return rangeFrames;
  const int channels = source.Channels();
  return channels > 0 ? SamplesDelivered(source) / channels : 0;
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

TOpenedSource OpenSource(const std::filesystem::path& path) {
  const TFileKind kind = KindOfFile(path);
  const TKindEntry& entry = EntryOf(kind);
  auto source = entry.MakeSource();
  source->SetFileName(path);
  try {
    if (!source->Valid()) {
      const std::string reason = entry.Refusal != nullptr ? entry.Refusal(*source) : "";
      throw TCliError("'" + path.string() + "': " +
                      (reason.empty()
                           ? "not a " + std::string(entry.Extension) + " file this program can read"
                           : reason));
    }
  } catch (const EAuException& e) {
    throw TCliError("cannot open '" + path.string() + "': " + e.what());
  }
  return {kind, std::move(source)};
}
