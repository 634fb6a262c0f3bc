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

TFileKind KindOfFile(const std::filesystem::path& path) {
  const std::string extension = LowerExtension(path);
  if (extension == ".wav") return TFileKind::Wave;
  if (extension == ".mp3") return TFileKind::Mp3;
  if (extension == ".wma") return TFileKind::Wma;
  throw TCliError("'" + path.string() +
                  "': unsupported file type (only .wav, .mp3 and .wma files)");
}

std::string ExtensionOf(TFileKind kind) {
  switch (kind) {
    case TFileKind::Wave:
      return ".wav";
    case TFileKind::Mp3:
      return ".mp3";
    case TFileKind::Wma:
      return ".wma";
  }
  return {};
}

std::unique_ptr<TAuFileIn> MakeSource(TFileKind kind) {
  switch (kind) {
    case TFileKind::Wave:
      return std::make_unique<TWaveIn>();
    case TFileKind::Mp3:
      return MakeMP3Source();
    case TFileKind::Wma:
      return MakeWMASource();
  }
  return nullptr;
}

std::unique_ptr<TAuFileOut> MakeSink(TFileKind kind) {
  switch (kind) {
    case TFileKind::Wave: {
      // As the main window's WAV sink: PCM, 512-byte blocks, the extensible header for more
      // than two channels or 16 bits, always a fresh file.
      auto sink = std::make_unique<TWaveOut>();
      sink->SetWavType(wtPCM);
      sink->SetBlockSize(512);
      sink->CreateNonMsHeaders = false;
      sink->SetFileMode(foRewrite);
      sink->ShareMode = 0;
      return sink;
    }
    case TFileKind::Mp3:
      return MakeMP3Sink();
    case TFileKind::Wma:
      return MakeWMASink();
  }
  return nullptr;
}

void PrepareCut(TFileKind kind, TAuFileIn& source, TAuFileOut& sink) {
  if (kind == TFileKind::Mp3) PrepareMP3Cut(source, sink);
  if (kind == TFileKind::Wma) PrepareWMACut(source, sink);
}

int64_t FramesHeld(TFileKind kind, TAuFileIn& source) {
  const int64_t total = source.TotalSamples();
  if (kind != TFileKind::Mp3 || total <= 0) return total;
  return std::max<int64_t>(total - source.SampleRate() / 3, 0);
}

int64_t SamplesDelivered(TAuFileIn& source) {
  const int width = source.BitsPerSample() / 8;
  return width > 0 ? source.Position() / width : 0;
}

int64_t FramesCut(TFileKind kind, TAuFileIn& source, int64_t rangeFrames) {
  // The compressed sources offer a little more than their files may hold (their lengths
  // count in hundredths of a second, MP3 adds a third of a second), so a range that runs to
  // the end may end early; what they delivered counts.
  if (kind == TFileKind::Wave) return rangeFrames;
  const int channels = source.Channels();
  return channels > 0 ? SamplesDelivered(source) / channels : 0;
}

TPcmShape WrittenShape(TFileKind kind, TAuFileOut& sink, TPcmShape input) {
  if (kind == TFileKind::Wma) WMAWrittenShape(sink, input.Channels, input.Rate);
  return input;
}

bool LengthMatches(TFileKind kind, TAuFileIn& written, int64_t frames) {
  if (kind == TFileKind::Mp3) return MP3LengthMatches(written, frames);
  if (kind == TFileKind::Wma) return WMALengthMatches(written, frames);
  return written.TotalSamples() == frames;
}

std::string DescribeFormat(TFileKind kind, TAuFileIn& source) {
  switch (kind) {
    case TFileKind::Wave:
      return "WAV, " + std::string(static_cast<TWaveIn&>(source).WavTypeName());
    case TFileKind::Mp3:
      return DescribeMP3(source);
    case TFileKind::Wma:
      return DescribeWMA(source);
  }
  return {};
}

TOpenedSource OpenSource(const std::filesystem::path& path) {
  const TFileKind kind = KindOfFile(path);
  auto source = MakeSource(kind);
  source->SetFileName(path);
  try {
    if (!source->Valid())
      throw TCliError("'" + path.string() + "': not a " + ExtensionOf(kind) +
                      " file this program can read");
  } catch (const EAuException& e) {
    throw TCliError("cannot open '" + path.string() + "': " + e.what());
  }
  return {kind, std::move(source)};
}
