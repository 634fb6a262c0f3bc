// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>
#include <cstdint>

// In-process share modes: remembers the access and share bits of every open TAuFileStream
// by device and inode, and refuses an open that conflicts with them.
namespace share_registry {

struct TFileKey {
  dev_t Device;
  ino_t Inode;
  bool operator==(const TFileKey&) const = default;
};

// Access: bit 0 read, bit 1 write. Deny: bit 0 others may not read, bit 1 may not write.
inline constexpr unsigned acRead = 1, acWrite = 2;

// Whether an open with this access and deny set may join the current opens of `key`.
bool MayOpen(const TFileKey& key, unsigned access, unsigned deny);
// Records an open; returns its id for Remove.
uint64_t Add(const TFileKey& key, unsigned access, unsigned deny);
void Remove(uint64_t id);

// Serialises a check with the open and the Add that follow it.
class TGuard {
 public:
  TGuard();
  ~TGuard();
  TGuard(const TGuard&) = delete;
  TGuard& operator=(const TGuard&) = delete;
};

}  // namespace share_registry
