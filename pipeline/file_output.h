// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "pipeline/au_output.h"
#include "pipeline/au_stream.h"

// A sink that writes to a stream: the caller's, or one the format creates in PrepareOutput
// and destroys in FinishOutput.
class TAuStreamedOutput : public TAuOutput {
 public:
  // A caller's stream to write to (not owned); nullptr goes back to the file.
  void SetStream(TAuStream* stream);

 protected:
  TAuStream* Stream = nullptr;
  bool StreamAssigned = false;
};

enum TFileOutputMode { foRewrite = 0, foAppend = 1 };

// A file sink: a file name, a file mode and a share mode.
class TAuFileOut : public TAuStreamedOutput {
 public:
  const std::filesystem::path& FileName() const { return WideFileName; }
  void SetFileName(const std::filesystem::path& name) { WideFileName = name; }

  TFileOutputMode FileMode() const { return FFileMode; }
  // Only the WAV writer appends; every other sink always rewrites.
  virtual void SetFileMode(TFileOutputMode mode);

  uint16_t ShareMode = 0;

 protected:
  // Creates the output file (replacing an existing one) unless a stream was assigned.
  void CreateStream();
  // Opens an existing output file with `mode` unless a stream was assigned.
  void OpenStream(uint16_t mode);
  // Destroys a stream this sink opened; a caller's stream is left alone.
  void CloseStream();

  std::filesystem::path WideFileName;
  TFileOutputMode FFileMode = foRewrite;

 private:
  std::unique_ptr<TAuStream> FOwnedStream;
};
