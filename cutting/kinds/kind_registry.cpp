// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/kinds/kind_registry.h"

#include <algorithm>
#include <cctype>

#include "cutting/cut_error.h"
#include "cutting/kinds/coded_kind.h"
#include "cutting/kinds/mp3_kind.h"
#include "cutting/kinds/wave_kind.h"
#include "cutting/kinds/wma_kind.h"
#include "pipeline/au_exception.h"

namespace {

// "a, b and c".
std::string Listed(const std::vector<std::string>& items, const std::string& word) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " " + word + " " : ", ";
    text += items[i];
  }
  return text;
}

}  // namespace

TKindRegistry& TKindRegistry::Instance() {
  static TKindRegistry* registry = [] {
    auto* kinds = new TKindRegistry;
    kinds->Register(std::make_unique<TWaveKind>());
    kinds->Register(std::make_unique<TMP3Kind>());
    kinds->Register(std::make_unique<TWMAKind>());
    kinds->Register(std::make_unique<TFlacKind>());
    kinds->Register(std::make_unique<TVorbisKind>());
    kinds->Register(std::make_unique<TOpusKind>());
    kinds->Register(std::make_unique<TM4AKind>());
    return kinds;
  }();
  return *registry;
}

void TKindRegistry::Register(std::unique_ptr<TKind> kind) {
  FAll.push_back(kind.get());
  FKinds.push_back(std::move(kind));
}

const TKind* TKindRegistry::Find(const std::filesystem::path& path) const {
  for (const TKind* kind : FAll)
    if (kind->Names(path)) return kind;
  return nullptr;
}

std::vector<std::string> TKindRegistry::Extensions() const {
  std::vector<std::string> extensions;
  for (const TKind* kind : FAll)
    for (std::string& extension : kind->Extensions()) extensions.push_back(std::move(extension));
  return extensions;
}

std::string TKindRegistry::ExtensionList(const std::string& word) const {
  return Listed(Extensions(), word);
}

std::string TKindRegistry::NameList(const std::string& word) const {
  std::vector<std::string> names;
  for (const TKind* kind : FAll) names.push_back(kind->Name());
  return Listed(names, word);
}

std::string LowerExtension(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

const TKind* FindKind(const std::filesystem::path& path) {
  return TKindRegistry::Instance().Find(path);
}

const TKind& KindOfFile(const std::filesystem::path& path) {
  if (const TKind* kind = FindKind(path)) return *kind;
  throw ECutError("'" + path.string() + "': unsupported file type (only " +
                  TKindRegistry::Instance().ExtensionList("and") + " files)");
}

const TKind& KindOrFallback(const std::filesystem::path& path) {
  if (const TKind* kind = FindKind(path)) return *kind;
  for (const TKind* kind : AllKinds())
    if (kind->OpensUnknownFiles()) return *kind;
  return *AllKinds().front();
}

const std::vector<const TKind*>& AllKinds() {
  return TKindRegistry::Instance().All();
}

TOpenedSource OpenSource(const std::filesystem::path& path) {
  const TKind& kind = KindOfFile(path);
  auto source = kind.MakeSource();
  source->SetFileName(path);
  try {
    if (!source->Valid()) {
      const std::string reason = kind.Refusal(*source);
      throw ECutError(
          "'" + path.string() + "': " +
          (reason.empty() ? "not a " + kind.Extension() + " file this program can read" : reason));
    }
  } catch (const EAuException& e) {
    throw ECutError("cannot open '" + path.string() + "': " + e.what());
  }
  return {&kind, std::move(source)};
}
