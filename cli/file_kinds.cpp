#include "cli/file_kinds.h"

#include <algorithm>
#include <cctype>

#include "cli/cli_errors.h"
#include "pipeline/au_exception.h"
#include "formats/wave/wave_in.h"
#include "formats/wave/wave_out.h"

TFileKind KindOfFile(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".wav") return TFileKind::Wave;
  throw TCliError("'" + path.string() + "': unsupported file type (only .wav files for now)");
}

std::string ExtensionOf(TFileKind kind) {
  switch (kind) {
    case TFileKind::Wave: return ".wav";
  }
  return {};
}

std::unique_ptr<TAuFileIn> MakeSource(TFileKind kind) {
  switch (kind) {
    case TFileKind::Wave: return std::make_unique<TWaveIn>();
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
  }
  return nullptr;
}

std::string DescribeFormat(TFileKind kind, TAuFileIn& source) {
  switch (kind) {
    case TFileKind::Wave:
      return "WAV, " + std::string(static_cast<TWaveIn&>(source).WavTypeName());
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
