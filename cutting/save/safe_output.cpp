// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/save/safe_output.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string Quote(const std::filesystem::path& path) {
  return "'" + path.string() + "'";
}

using TReason = ESafeOutputError::TReason;

std::string SystemText(int error) {
  return std::strerror(error);
}

// ".name.trimora-PID-XXXXXX.ext": hidden, recognisable, with the target's extension and the
// process that writes it, so that the leftovers of a killed run can be told from a running
// one's (leftovers). Very long names are shortened so that the temporary name stays within the
// usual 255-byte limit.
std::string TempTemplate(const std::filesystem::path& written,
                         const std::filesystem::path& target) {
  std::string stem = written.stem().string();
  const std::string extension = target.extension().string();
  if (stem.size() > 180) stem.resize(180);
  return "." + stem + kTempMarker + std::to_string(::getpid()) + "-XXXXXX" + extension;
}

// The permissions a newly created file gets: 0666 less the process's umask.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
  const std::filesystem::path folder = file.parent_path();
  return folder.empty() ? "." : folder;
}

void SyncPath(const std::filesystem::path& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::filesystem::path CheckOutputTarget(const std::filesystem::path& target, bool replace,
                                        const std::vector<std::filesystem::path>& inputs) {
  std::filesystem::path written = target;
  struct stat targetStat {};
  const bool exists = ::stat(target.c_str(), &targetStat) == 0;
  if (exists) {
    for (const auto& input : inputs) {
      struct stat inputStat {};
      if (::stat(input.c_str(), &inputStat) == 0 && inputStat.st_dev == targetStat.st_dev &&
          inputStat.st_ino == targetStat.st_ino)
        throw ESafeOutputError(TReason::IsInput, "the output " + Quote(target) +
                                                     " is the input file " + Quote(input) +
                                                     "; choose another output name");
    }
    if (S_ISDIR(targetStat.st_mode))
      throw ESafeOutputError(TReason::IsFolder, Quote(target) + " is a folder");
    // Replacing a pipe or a device by a file would take it from whoever uses it.
    if (!S_ISREG(targetStat.st_mode))
      throw ESafeOutputError(TReason::NotRegular, Quote(target) +
                                                      " is not a regular file (a pipe or a "
                                                      "device); choose another output name");
    if (!replace) throw ESafeOutputError(TReason::Exists, Quote(target) + " already exists");
    // Replacing through a link replaces the file it leads to and keeps the link, as writing
    // into the link would; the temporary file goes beside that file, so that the final rename
    // stays within its folder. (A dangling link is refused below: writing the name it holds
    // could create a file wherever someone pointed it.)
    std::error_code error;
    if (std::filesystem::is_symlink(target, error)) {
      written = std::filesystem::canonical(target, error);
      if (error)
        throw ESafeOutputError(TReason::NotRegular,
                               "cannot follow the link " + Quote(target) + ": " + error.message());
    }
  } else if (struct stat linkStat{}; ::lstat(target.c_str(), &linkStat) == 0) {
    // The name is taken by a link whose file does not exist: the rename would replace the
    // link, never create the file it names.
    throw ESafeOutputError(TReason::NotRegular,
                           Quote(target) + " is a link to a file that does not exist");
  }
  std::error_code error;
  if (const std::filesystem::path folder = FolderOf(written);
      !std::filesystem::is_directory(folder, error))
    throw ESafeOutputError(TReason::NoFolder, "cannot write " + Quote(target) + ": the folder " +
                                                  Quote(folder) + " does not exist");
  return written;
}

TSafeOutput::TSafeOutput(const std::filesystem::path& target, bool replace,
                         const std::vector<std::filesystem::path>& inputs, TTempPathHook hook)
    : FTarget(target),
      FWritten(CheckOutputTarget(target, replace, inputs)),
      FHook(hook),
      FReplace(replace) {
  const std::filesystem::path folder = FolderOf(FWritten);

  // The hook learns the name before the file exists: mkostemps fills the name in place
  // before it creates the file, so there is no moment in which the file is there and an
  // interrupt would not know to remove it. (An interrupt before the creation removes a name
  // that is not there yet.)
  FTempText = (folder / TempTemplate(FWritten, target)).string();
  if (FHook) FHook(FTempText.c_str());
  const int suffix = static_cast<int>(target.extension().string().size());
  const int fd = ::mkostemps(FTempText.data(), suffix, O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (FHook) FHook(nullptr);
    throw ESafeOutputError(TReason::CannotCreate,
                           "cannot write in " + Quote(folder) + ": " + SystemText(error));
  }
  ::close(fd);
  FTemp = FTempText;
}

TSafeOutput::~TSafeOutput() {
  if (FHook) FHook(nullptr);
  if (!FCommitted) ::unlink(FTemp.c_str());
}

void TSafeOutput::Commit() {
  struct stat old {};
  const bool replacing = ::stat(FWritten.c_str(), &old) == 0;
  if (replacing && !FReplace)
    throw ESafeOutputError(TReason::Appeared, Quote(FTarget) + " appeared meanwhile");
  // The replaced file's permissions carry over; a new file gets the usual ones.
  const mode_t mode = replacing ? (old.st_mode & 07777) : NewFileMode();
  if (::chmod(FTemp.c_str(), mode) != 0)
    throw ESafeOutputError(TReason::CannotFinish, "cannot set the permissions of " + Quote(FTemp) +
                                                      ": " + SystemText(errno));
  // Before an older file is replaced, the new data must be on the disk, or a crash right
  // after the rename could leave neither.
  if (replacing) SyncPath(FTemp, O_RDONLY);

  int result = 0;
  if (FReplace) {
    result = ::rename(FTemp.c_str(), FWritten.c_str());
  } else {
    result = ::renameat2(AT_FDCWD, FTemp.c_str(), AT_FDCWD, FTarget.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
      // A file system without the no-replace rename: a hard link refuses an existing name too.
      result = ::link(FTemp.c_str(), FTarget.c_str());
      if (result == 0)
        ::unlink(FTemp.c_str());
      else if (errno == EPERM || errno == EOPNOTSUPP)
        result = ::rename(FTemp.c_str(), FWritten.c_str());
    }
  }
  if (result != 0) {
    const int error = errno;
    if (error == EEXIST)
      throw ESafeOutputError(TReason::Appeared, Quote(FTarget) + " appeared meanwhile");
    throw ESafeOutputError(TReason::CannotFinish, "cannot rename the finished file to " +
                                                      Quote(FTarget) + ": " + SystemText(error));
  }
  FCommitted = true;
  if (FHook) FHook(nullptr);
  if (replacing) {
    std::filesystem::path folder = FWritten.parent_path();
    SyncPath(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY);
  }
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  struct stat first {
  }, second{};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}
