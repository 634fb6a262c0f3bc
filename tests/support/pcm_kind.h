// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A kind of file the program does not have, registered by the tests that show a new kind is
// one class: headerless 16-bit stereo 44100 Hz PCM named ".pcm".

#include "cutting/kinds/kind.h"

class TPcmTestKind : public TKind {
 public:
  std::string Name() const override { return "PCM"; }
  std::vector<std::string> Extensions() const override { return {".pcm"}; }
  std::unique_ptr<TAuFileIn> MakeSource() const override;
  std::unique_ptr<TAuFileOut> MakeSink() const override;
  std::string Describe(TAuFileIn&) const override { return "PCM, 16-bit"; }
  void ReadTags(const std::filesystem::path&, TAuFileIn&, TId3v2Tags&) const override {}
};

// Adds the kind to the program's registry once per process.
void RegisterPcmTestKind();
