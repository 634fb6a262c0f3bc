// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cutting/kinds/kind.h"

// The kinds of sound file Trimora reads and writes, one registered a line, in the order the
// program lists them. Every list of kinds a user reads (dialog filters, help, messages, the
// completion) is built from it, and a file's kind is found by its extension here only.
class TKindRegistry {
 public:
  // The registry of the program: WAV, MP3, WMA, FLAC, Ogg Vorbis and Opus.
  static TKindRegistry& Instance();

  // Adds `kind` after those registered (before the program's windows or commands run).
  void Register(std::unique_ptr<TKind> kind);

  // The kind of `path` by its extension (case ignored), or null.
  const TKind* Find(const std::filesystem::path& path) const;
  const std::vector<const TKind*>& All() const { return FAll; }
  // Every extension of every kind, in order.
  std::vector<std::string> Extensions() const;

  // ".wav, .mp3 and .wma" (with `word` "and" or "or"), "WAV, MP3 or WMA" for the names.
  std::string ExtensionList(const std::string& word) const;
  std::string NameList(const std::string& word) const;

 private:
  TKindRegistry() = default;
  std::vector<std::unique_ptr<TKind>> FKinds;
  std::vector<const TKind*> FAll;
};

// The extension of `path` in lower case, e.g. ".wav".
std::string LowerExtension(const std::filesystem::path& path);
// The kind of `path` by its extension (case ignored), or null.
const TKind* FindKind(const std::filesystem::path& path);
// The same; ECutError naming the file and the kinds there are for any other extension.
const TKind& KindOfFile(const std::filesystem::path& path);
// The kind of `path`, or for a file of no kind the one that tries unknown files.
const TKind& KindOrFallback(const std::filesystem::path& path);
// The registry's kinds, in order.
const std::vector<const TKind*>& AllKinds();

// A source of the file's kind opened on `path`, its header read; ECutError when the file
// cannot be opened or holds nothing this program can read.
struct TOpenedSource {
  const TKind* Kind = nullptr;
  std::unique_ptr<TAuFileIn> Source;
};
TOpenedSource OpenSource(const std::filesystem::path& path);
