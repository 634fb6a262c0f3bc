// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/split_run.h"

#include <algorithm>

#include "cutting/cut_error.h"
#include "cutting/time/cut_range.h"
#include "cutting/save/output_run.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/operations/single_cut.h"
#include "cutting/kinds/tag_copy.h"
#include "tags/tagged_file_out.h"

namespace {

constexpr const char* kNameField = "{name}";
constexpr const char* kNumberField = "{n}";

void ReplaceAll(std::string& text, const std::string& field, const std::string& value) {
  for (size_t at = text.find(field); at != std::string::npos;
       at = text.find(field, at + value.size()))
    text.replace(at, field.size(), value);
}

std::string Padded(size_t number, size_t width) {
  std::string digits = std::to_string(number);
  return std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
}

}  // namespace

std::vector<std::filesystem::path> SplitPieceNames(const std::filesystem::path& source,
                                                   const TKind& kind, const std::string& pattern,
                                                   size_t count) {
  const std::string extension = kind.Extension();
  std::filesystem::path base =
      pattern.empty() ? source.parent_path() / (std::string(kNameField) + " - " + kNumberField)
                      : std::filesystem::path(pattern);
  if (!kind.Names(base)) {
    if (FindKind(base))
      throw ECutError("the pieces must be " + extension + " files like the input");
    base += extension;
  }
  if (count > 1 && base.string().find(kNumberField) == std::string::npos)
    throw ECutError("the name pattern '" + pattern + "' needs {n}, the number of the piece");
  const size_t width = std::max<size_t>(2, std::to_string(count).size());
  std::vector<std::filesystem::path> names;
  for (size_t k = 1; k <= count; ++k) {
    std::string name = base.string();
    ReplaceAll(name, kNameField, source.stem().string());
    ReplaceAll(name, kNumberField, Padded(k, width));
    names.emplace_back(name);
  }
  return names;
}

TSplitRun::TSplitRun(const TKind& kind, TAuFileIn& source, std::vector<TSplitPiece> pieces,
                     std::vector<std::filesystem::path> targets, bool keepFrames)
    : FKind(kind),
      FSource(source),
      FPieces(std::move(pieces)),
      FTargets(std::move(targets)),
      FKeepFrames(keepFrames),
      FHeld(kind.FramesHeld(source)) {
  if (FTargets.size() != FPieces.size()) throw ECutError("every piece needs a name");
}

TSplitRun::~TSplitRun() = default;

std::vector<std::filesystem::path> TSplitRun::TakenTargets() const {
  std::vector<std::filesystem::path> taken;
  for (const auto& target : FTargets) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(target, error)))
      taken.push_back(target);
  }
  return taken;
}

TAuFileOut& TSplitRun::MakeSink(size_t index) {
  (void)FPieces.at(index);
  // The previous piece's sink has finished its run; a sink is not reused across files.
  FSink.reset();
  FSink = FKeepFrames ? FKind.MakeFrameKeepingSink() : FKind.MakeSink();
  FSink->SetInput(&FSource);
  return *FSink;
}

void TSplitRun::Start(TOutputRun& run, size_t index) {
  if (!FSink) throw ECutError("no sink was made for the piece");
  ApplyRange(FSource, PieceRange(FPieces.at(index), FHeld));
  const int number = static_cast<int>(index + 1);
  const int count = static_cast<int>(FPieces.size());
  StartCut(run, FKind, FSource, *FSink, [number, count](TAuFileOut& sink) {
    if (auto* tagged = dynamic_cast<TAuTaggedFileOut*>(&sink))
      SetTrackOfCount(*tagged, number, count);
  });
}

void TSplitRun::Finished(size_t index) {
  FWritten.push_back(FTargets.at(index));
}

std::string TSplitRun::Failure(size_t index, const std::string& error) const {
  std::string text = "piece " + std::to_string(index + 1) + " of " +
                     std::to_string(FPieces.size()) + " ('" + FTargets.at(index).string() +
                     "'): " + error;
  if (FWritten.empty()) return text + "; no piece was written";
  return text + "; written before it: " + WrittenText();
}

std::string TSplitRun::WrittenText() const {
  std::string text;
  for (const auto& name : FWritten) text += (text.empty() ? "'" : ", '") + name.string() + "'";
  return text;
}
