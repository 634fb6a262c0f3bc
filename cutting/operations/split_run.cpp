// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/operations/split_run.h"

#include <unistd.h>

#include <algorithm>
#include <map>

#include "cutting/cut_error.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/kinds/tag_copy.h"
#include "cutting/operations/single_cut.h"
#include "cutting/save/output_run.h"
#include "cutting/save/target_check.h"
#include "cutting/time/cut_range.h"
#include "pipeline/au_file_stream.h"
#include "tags/tagged_file_out.h"

namespace {

constexpr const char* kNameField = "{name}";
constexpr const char* kNumberField = "{n}";
constexpr const char* kTitleField = "{title}";
constexpr const char* kArtistField = "{artist}";
constexpr const char* kAlbumField = "{album}";

// A text a name can hold: no folder separator and no control character.
std::string SafeText(std::string text) {
  for (char& c : text)
    if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
  return text;
}

// The same, and no leading dot that would hide the file.
std::string SafeName(std::string name) {
  name = SafeText(std::move(name));
  if (!name.empty() && name.front() == '.') name.front() = '_';
  return name;
}

// The longest name the file system takes in `folder` (or the nearest folder above it that
// exists, for one still to be made).
size_t NameLimit(std::filesystem::path folder) {
  std::error_code error;
  folder = std::filesystem::absolute(folder.empty() ? "." : folder, error);
  while (!folder.empty() && !std::filesystem::exists(folder, error) &&
         folder != folder.parent_path())
    folder = folder.parent_path();
  const long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<size_t>(limit) : 255;
}

// `name` (ending in `extension`) cut to `limit` bytes, keeping the extension and whole UTF-8
// characters.
std::string CutToLimit(std::string name, const std::string& extension, size_t limit) {
  if (name.size() <= limit) return name;
  std::string stem = name.substr(0, name.size() - extension.size());
  size_t keep = limit > extension.size() ? limit - extension.size() : 1;
  while (keep > 0 && (static_cast<unsigned char>(stem[keep]) & 0xC0) == 0x80) --keep;
  return stem.substr(0, keep) + extension;
}

void ReplaceAll(std::string& text, const std::string& field, const std::string& value) {
  for (size_t at = text.find(field); at != std::string::npos;
       at = text.find(field, at + value.size()))
    text.replace(at, field.size(), value);
}

std::string Padded(size_t number, size_t width) {
  std::string digits = std::to_string(number);
  return std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
}

std::string OtherKindRefusal(const TKind& kind) {
  return "the pieces must be " + kind.Extension() + " files like the input";
}

// Whether two names lead to one file, whether it exists or not.
bool SameTarget(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  const auto full = [&error](const std::filesystem::path& name) {
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(name, error);
    return error ? std::filesystem::absolute(name).lexically_normal() : resolved;
  };
  return full(a) == full(b) || SameFile(a, b);
}

}  // namespace

std::vector<std::filesystem::path> SplitPieceNames(const std::filesystem::path& source,
                                                   const TKind& kind, const std::string& pattern,
                                                   size_t count) {
  return SplitPieceNames(source, kind, pattern, std::vector<TSplitPiece>(count));
}

std::vector<std::filesystem::path> SplitPieceNames(const std::filesystem::path& source,
                                                   const TKind& kind, const std::string& pattern,
                                                   const std::vector<TSplitPiece>& pieces) {
  const std::string extension = kind.Extension();
  const bool titled =
      !pieces.empty() && std::all_of(pieces.begin(), pieces.end(),
                                     [](const auto& p) { return !p.Texts.Title.empty(); });
  const std::string fallback = titled ? std::string(kNumberField) + " - " + kTitleField
                                      : std::string(kNameField) + " - " + kNumberField;
  std::filesystem::path base =
      pattern.empty() ? source.parent_path() / fallback : std::filesystem::path(pattern);
  if (!kind.Names(base)) {
    if (FindKind(base)) throw ECutError(OtherKindRefusal(kind));
    base += extension;
  }
  const size_t width = std::max<size_t>(2, std::to_string(pieces.size()).size());
  const size_t limit = NameLimit(base.parent_path());
  std::vector<std::filesystem::path> names;
  std::map<std::filesystem::path, size_t> taken;  // each name's piece, from 1
  for (size_t k = 0; k < pieces.size(); ++k) {
    const TMarkPieceTexts& texts = pieces[k].Texts;
    std::string name = base.filename().string();
    ReplaceAll(name, kNameField, source.stem().string());
    ReplaceAll(name, kNumberField, Padded(k + 1, width));
    ReplaceAll(name, kTitleField, SafeText(texts.Title));
    ReplaceAll(name, kArtistField, SafeText(texts.Artist));
    ReplaceAll(name, kAlbumField, SafeText(texts.Album));
    std::string folder = base.parent_path().string();
    ReplaceAll(folder, kNameField, source.stem().string());
    names.push_back(std::filesystem::path(folder) / CutToLimit(SafeName(name), extension, limit));
    if (const auto [at, fresh] = taken.emplace(names.back(), k + 1); !fresh)
      throw ECutError(base.string().find(kNumberField) == std::string::npos
                          ? "the name pattern '" + pattern + "' needs {n}, the number of the piece"
                          : "pieces " + std::to_string(at->second) + " and " +
                                std::to_string(k + 1) + " would both be named '" +
                                names.back().string() + "'");
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

TSplitRun::~TSplitRun() {
  // The sink stops before the file it reads is let go; the source is the caller's.
  FRun.reset();
  FSink.reset();
  ReleaseInput();
}

std::vector<std::filesystem::path> TSplitRun::TakenTargets() const {
  std::vector<std::filesystem::path> taken;
  for (const auto& target : FTargets) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(target, error)))
      taken.push_back(target);
  }
  return taken;
}

void TSplitRun::Run(TSplitEvents events, bool replace) {
  if (FRunning) throw ECutError("the split is running already");
  FEvents = std::move(events);
  FReplace = replace;
  FWritten.clear();
  FRunning = true;
  try {
    HoldInput();
  } catch (const std::exception& e) {
    return End("cannot read '" + FSource.FileName().string() + "': " + e.what() +
               "; no piece was written");
  }
  if (const std::string refusal = TargetRefusal(); !refusal.empty()) return End(refusal);
  StartPiece(0);
}

// Every piece's target is checked before the first is written, so that a refusal leaves
// nothing behind: a name of another kind, one taken (unless replacing), the input's, a folder
// that is not there, one that another piece has too.
std::string TSplitRun::TargetRefusal() const {
  const std::vector<std::filesystem::path> inputs{FSource.FileName()};
  for (size_t k = 0; k < FTargets.size(); ++k) {
    try {
      if (CheckTarget(FKind, FTargets[k], {}) == TTargetProblem::OtherKind)
        throw ECutError(OtherKindRefusal(FKind));
      CheckOutputTarget(FTargets[k], FReplace, inputs);
      for (size_t j = 0; j < k; ++j)
        if (SameTarget(FTargets[j], FTargets[k]))
          throw ECutError("piece " + std::to_string(j + 1) + " has this name too");
    } catch (const std::exception& e) {
      return Failure(k, e.what());
    }
  }
  return {};
}

void TSplitRun::Stop() {
  if (!FRunning) return;
  FRunning = false;
  if (FRun) FRun->Stop();
  ReleaseInput();
}

void TSplitRun::HoldInput() {
  if (FSource.CallerStream() != nullptr) return;  // its caller holds one already
  FInput = std::make_unique<TAuFileStream>(FSource.FileName(), fmOpenRead | fmShareDenyWrite);
  FSource.SetStream(FInput.get());
}

void TSplitRun::ReleaseInput() {
  if (!FInput) return;
  try {
    FSource.SetStream(nullptr);
    FInput.reset();
  } catch (const std::exception&) {
    // Still busy: the file stays held, for the source reads it, until the split is gone.
  }
}

void TSplitRun::StartPiece(size_t index) {
  if (!FRunning) return;
  FPiece = index;
  try {
    // The previous piece's sink and run have ended; neither is reused across files.
    FRun.reset();
    FSink.reset();
    FSink = FKeepFrames ? FKind.MakeFrameKeepingSink() : FKind.MakeSink();
    FSink->SetInput(&FSource);
    FRun = std::make_unique<TOutputRun>();
    TAuFileOut& sink = *FSink;
    sink.OnProgress = [this, index, &sink](TComponent*) {
      if (FRunning && FEvents.Progress && sink.Progress() >= 0)
        FEvents.Progress(index, sink.Progress());
    };
    sink.OnDone = [this, index](TComponent*) { PieceDone(index); };
    FRun->Watch({&sink});
    sink.SetFileName(FEvents.OpenTarget(*FRun, FTargets.at(index), FReplace));
    ApplyRange(FSource, PieceRange(FPieces.at(index), FHeld));
    const int number = static_cast<int>(index + 1);
    const int count = static_cast<int>(FPieces.size());
    const TMarkPieceTexts& texts = FPieces.at(index).Texts;
    StartCut(*FRun, FKind, FSource, sink, [number, count, &texts](TAuFileOut& sink) {
      if (auto* tagged = dynamic_cast<TAuTaggedFileOut*>(&sink)) {
        SetPieceTexts(*tagged, texts);
        SetTrackOfCount(*tagged, number, count);
      }
    });
  } catch (const std::exception& e) {
    if (FRun) FRun->Stop();
    End(Failure(index, e.what()));
  }
}

// A piece's run ended: checked and moved into place, then the next piece, started once the
// engine's call has returned.
void TSplitRun::PieceDone(size_t index) {
  if (!FRunning || index != FPiece || !FRun->Running()) return;
  const std::string error = FRun->Finish();
  // A length a header claims may run past the sound: the split ends where the sound does.
  if (!error.empty() && index > 0 && FRun->GaveNoSound() && FKind.LengthIsEstimate(FSource)) {
    Later([this] { End({}); });
    return;
  }
  if (!error.empty()) {
    Later([this, text = Failure(index, error)] { End(text); });
    return;
  }
  FWritten.push_back(FTargets.at(index));
  if (FEvents.Written) FEvents.Written(index);
  if (index + 1 < FPieces.size())
    Later([this, index] { StartPiece(index + 1); });
  else
    Later([this] { End({}); });
}

// A step deferred past the engine's call is dropped when the split is gone by then.
void TSplitRun::Later(std::function<void()> step) {
  FEvents.Defer([alive = std::weak_ptr<int>(FAlive), step = std::move(step)] {
    if (!alive.expired()) step();
  });
}

void TSplitRun::End(const std::string& error) {
  if (!FRunning) return;
  FRunning = false;
  if (FRun) FRun->Stop();
  ReleaseInput();
  // The front end may let go of the split in its handler.
  if (const auto done = FEvents.Done) done(error);
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
