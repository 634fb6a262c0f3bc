// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/au_file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <string>

#include "pipeline/au_exception.h"
#include "pipeline/share_registry.h"

namespace {

const char* const SharingViolation =
    "The process cannot access the file because it is being used by another process.";
// A device or pipe has no size and may never end, and opening a pipe waits for its writer.
const char* const kNotRegular = "The file is not a regular file.";

[[noreturn]] void RaiseSystemError(int error) {
  throw EAuException(std::strerror(error));
}

share_registry::TFileKey KeyOf(const struct stat& st) {
  return {st.st_dev, st.st_ino};
}

unsigned AccessOf(uint16_t mode) {
  switch (mode & 0x3) {
    case 0:
      return share_registry::acRead;
    case 1:
      return share_registry::acWrite;
    default:
      return share_registry::acRead | share_registry::acWrite;
  }
}

// The share bits say what others may do; the registry keeps what they may not.
unsigned DenyOf(uint16_t mode) {
  using namespace share_registry;
  switch ((mode >> 4) & 0xF) {
    case 0:
    case 1:
      return acRead | acWrite;
    case 2:
      return acWrite;
    case 3:
      return acRead;
    default:
      return 0;
  }
}

int OpenFlagsOf(uint16_t mode) {
  switch (mode & 0x3) {
    case 0:
      return O_RDONLY;
    case 1:
      return O_WRONLY;
    default:
      return O_RDWR;
  }
}

}  // namespace

TAuFileStream::TAuFileStream(const std::filesystem::path& name, uint16_t mode) {
  using namespace share_registry;
  const bool create = mode == fmCreate;
  const unsigned access = create ? (acRead | acWrite) : AccessOf(mode);
  const unsigned deny = create ? (acRead | acWrite) : DenyOf(mode);

  TGuard guard;
  struct stat st {};
  // An existing file is checked before it is opened, so that a create never truncates a
  // file that another stream of this process may not see written.
  if (::stat(name.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) RaiseSystemError(EISDIR);
    if (!S_ISREG(st.st_mode)) throw EAuException(kNotRegular);
    if (!MayOpen(KeyOf(st), access, deny)) throw EAuException(SharingViolation);
  } else if (!create) {
    RaiseSystemError(errno);
  }
  // Without O_NONBLOCK the open of a pipe put there since the check would wait for a writer,
  // for ever; with it, the open returns and the check below refuses the pipe.
  // A create truncates only a file that holds something, and only once the checks below have
  // passed: truncating an empty file (the safe save's temporary one) would make ext4 start
  // writing the whole new file back when it is closed, a cost no caller asked for.
  const int flags = create ? (O_RDWR | O_CREAT) : OpenFlagsOf(mode);
  // The descriptor is closed by its owner on every refusal below.
  TUniqueFd fd(::open(name.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666));
  if (!fd && errno == ENXIO) throw EAuException(kNotRegular);  // a pipe without reader
  if (!fd) RaiseSystemError(errno);
  if (::fstat(fd.Get(), &st) != 0) RaiseSystemError(errno);
  if (!S_ISREG(st.st_mode)) throw EAuException(kNotRegular);
  // A regular file never blocks.
  ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
  if (!MayOpen(KeyOf(st), access, deny)) throw EAuException(SharingViolation);
  if (create && st.st_size > 0 && ::ftruncate(fd.Get(), 0) != 0) RaiseSystemError(errno);
  FFd = std::move(fd);
  FRegistryId = Add(KeyOf(st), access, deny);
}

TAuFileStream::~TAuFileStream() {
  FFd.Reset();
  if (FRegistryId != 0) share_registry::Remove(FRegistryId);
}

std::unique_ptr<TAuFileStream> TAuFileStream::Twin() const {
  using namespace share_registry;
  TGuard guard;
  struct stat st {};
  if (::fstat(FFd.Get(), &st) != 0) RaiseSystemError(errno);
  if (!MayOpen(KeyOf(st), acRead, acWrite)) throw EAuException(SharingViolation);
  std::unique_ptr<TAuFileStream> twin(new TAuFileStream());
  twin->FFd.Reset(::fcntl(FFd.Get(), F_DUPFD_CLOEXEC, 0));
  if (!twin->FFd) RaiseSystemError(errno);
  twin->FOffset = 0;
  twin->FRegistryId = Add(KeyOf(st), acRead, acWrite);
  return twin;
}

std::filesystem::path TAuFileStream::HeldName() const {
  return "/proc/self/fd/" + std::to_string(FFd.Get());
}

int64_t TAuFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const TIoResult result = ReadAll(FFd.Get(), buffer, static_cast<size_t>(count), FOffset);
  if (result.Error != 0) RaiseSystemError(result.Error);
  if (FOffset >= 0) FOffset += static_cast<int64_t>(result.Done);
  return static_cast<int64_t>(result.Done);
}

int64_t TAuFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (FOffset >= 0) RaiseSystemError(EBADF);  // a twin only reads
  const TIoResult result = WriteAll(FFd.Get(), buffer, static_cast<size_t>(count));
  if (result.Error != 0) RaiseSystemError(result.Error);
  return static_cast<int64_t>(result.Done);
}

int64_t TAuFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (FOffset >= 0) {
    const int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? FOffset : Size();
    if (base + offset < 0) RaiseSystemError(EINVAL);
    return FOffset = base + offset;
  }
  const int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  const off_t position = ::lseek(FFd.Get(), static_cast<off_t>(offset), whence);
  if (position < 0) RaiseSystemError(errno);
  return position;
}

int64_t TAuFileStream::Size() {
  struct stat st {};
  if (::fstat(FFd.Get(), &st) != 0) RaiseSystemError(errno);
  return st.st_size;
}

void TAuFileStream::SetSize(int64_t size) {
  if (::ftruncate(FFd.Get(), static_cast<off_t>(size)) != 0) RaiseSystemError(errno);
}

void TAuFileStream::Flush() {
  if (::fsync(FFd.Get()) != 0) RaiseSystemError(errno);
}
