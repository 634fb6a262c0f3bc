// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

// A refusal or failure of the safe save; Reason lets a caller add its own advice (the
// command line names its --force option for the two "exists" cases).
class ESafeOutputError : public std::runtime_error {
 public:
  enum class TReason {
    IsInput,
    IsFolder,
    NotRegular,  // a pipe, a device, or a link that leads nowhere
    Exists,
    NoFolder,
    CannotCreate,
    Appeared,
    CannotFinish
  };
  ESafeOutputError(TReason reason, const std::string& message)
      : std::runtime_error(message), FReason(reason) {}
  TReason Reason() const { return FReason; }

 private:
  TReason FReason;
};

// The part of a temporary file's name between the target's name and the writing process's id:
// ".song.trimora-1234-Ab3dE9.mp3".
inline constexpr char kTempMarker[] = ".trimora-";

// Told the temporary file's name once it exists, and nullptr once it is gone or committed,
// e.g. so that a signal handler can remove it. The text stays valid until the next call.
using TTempPathHook = void (*)(const char* path);

// Writing an output file so that nothing is lost: the engine writes to a temporary file
// beside the target (same folder, so the final rename cannot cross file systems, and the same
// extension, so that libraries that go by the extension see the right one), and only a
// successful run renames it over the target. A failed or interrupted run removes it, and the
// file that had the target's name, if any, is untouched. A target that is a link to a file is
// replaced as that file: the temporary file goes beside it and the link stays.
class TSafeOutput {
 public:
  // Refuses (ESafeOutputError) a target that is one of `inputs` (same device and inode,
  // whatever the name), a target that exists unless `replace`, a folder, and a missing parent
  // folder; then creates the temporary file.
  TSafeOutput(const std::filesystem::path& target, bool replace,
              const std::vector<std::filesystem::path>& inputs, TTempPathHook hook = nullptr);
  ~TSafeOutput();
  TSafeOutput(const TSafeOutput&) = delete;
  TSafeOutput& operator=(const TSafeOutput&) = delete;

  const std::filesystem::path& TempPath() const { return FTemp; }
  const std::filesystem::path& Target() const { return FTarget; }

  // Moves the temporary file to the target with the permissions a new file (or the replaced
  // one) would have. Without `replace` an existing target is never overwritten, even one
  // that appeared during the run.
  void Commit();

 private:
  std::filesystem::path FTarget;
  std::filesystem::path FWritten;  // the target, or the file a link of that name leads to
  std::filesystem::path FTemp;
  std::string FTempText;  // the hook's copy of the name
  TTempPathHook FHook;
  bool FReplace;
  bool FCommitted = false;
};

// What TSafeOutput refuses, checked without creating anything: ESafeOutputError for a target
// that cannot be written so. The file the name leads to: the target, or the file a link of
// that name leads to.
std::filesystem::path CheckOutputTarget(const std::filesystem::path& target, bool replace,
                                        const std::vector<std::filesystem::path>& inputs);
// Whether `a` and `b` name the same existing file (device and inode), whatever the names.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);
