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

TShareRegistry::TFileKey KeyOf(const struct stat& st) {
  return {st.st_dev, st.st_ino};
}

unsigned AccessOf(uint16_t mode) {
  switch (mode & 0x3) {
    case 0:
      return TShareRegistry::acRead;
    case 1:
      return TShareRegistry::acWrite;
    default:
      return TShareRegistry::acRead | TShareRegistry::acWrite;
  }
}

// The share bits say what others may do; the registry keeps what they may not.
unsigned DenyOf(uint16_t mode) {
  using namespace TShareRegistry;
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
  using namespace TShareRegistry;
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
  const int flags = create ? (O_RDWR | O_CREAT | O_TRUNC) : OpenFlagsOf(mode);
  Fd = ::open(name.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  if (Fd < 0 && errno == ENXIO) throw EAuException(kNotRegular);  // a pipe without reader
  if (Fd < 0) RaiseSystemError(errno);
  if (::fstat(Fd, &st) != 0) {
    const int error = errno;
    ::close(Fd);
    Fd = -1;
    RaiseSystemError(error);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(Fd);
    Fd = -1;
    throw EAuException(kNotRegular);
  }
  ::fcntl(Fd, F_SETFL, ::fcntl(Fd, F_GETFL) & ~O_NONBLOCK);  // a regular file never blocks
  if (!MayOpen(KeyOf(st), access, deny)) {
    ::close(Fd);
    Fd = -1;
    throw EAuException(SharingViolation);
  }
  RegistryId = Add(KeyOf(st), access, deny);
}

TAuFileStream::~TAuFileStream() {
  if (Fd >= 0) ::close(Fd);
  if (RegistryId != 0) TShareRegistry::Remove(RegistryId);
}

int64_t TAuFileStream::Read(void* buffer, int64_t count) {
  auto* out = static_cast<char*>(buffer);
  int64_t total = 0;
  while (total < count) {
    const ssize_t n = ::read(Fd, out + total, static_cast<size_t>(count - total));
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseSystemError(errno);
    }
    if (n == 0) break;
    total += n;
  }
  return total;
}

int64_t TAuFileStream::Write(const void* buffer, int64_t count) {
  const auto* in = static_cast<const char*>(buffer);
  int64_t total = 0;
  while (total < count) {
    const ssize_t n = ::write(Fd, in + total, static_cast<size_t>(count - total));
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseSystemError(errno);
    }
    total += n;
  }
  return total;
}

int64_t TAuFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  const off_t position = ::lseek(Fd, static_cast<off_t>(offset), whence);
  if (position < 0) RaiseSystemError(errno);
  return position;
}

int64_t TAuFileStream::Size() {
  struct stat st {};
  if (::fstat(Fd, &st) != 0) RaiseSystemError(errno);
  return st.st_size;
}

void TAuFileStream::SetSize(int64_t size) {
  if (::ftruncate(Fd, static_cast<off_t>(size)) != 0) RaiseSystemError(errno);
}

void TAuFileStream::Flush() {
  if (::fsync(Fd) != 0) RaiseSystemError(errno);
}
