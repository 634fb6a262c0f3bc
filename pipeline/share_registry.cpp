// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/share_registry.h"

#include <mutex>
#include <vector>

namespace share_registry {
namespace {

struct TOpenFile {
  uint64_t Id;
  TFileKey Key;
  unsigned Access;
  unsigned Deny;
};

std::recursive_mutex& Lock() {
  static std::recursive_mutex lock;
  return lock;
}

std::vector<TOpenFile>& Opens() {
  static std::vector<TOpenFile> opens;
  return opens;
}

}  // namespace

bool MayOpen(const TFileKey& key, unsigned access, unsigned deny) {
  std::lock_guard lock(Lock());
  for (const TOpenFile& open : Opens()) {
    if (!(open.Key == key)) continue;
    // Either side's access must be allowed by the other's share mode.
    if ((access & open.Deny) != 0 || (open.Access & deny) != 0) return false;
  }
  return true;
}

uint64_t Add(const TFileKey& key, unsigned access, unsigned deny) {
  static uint64_t nextId = 1;
  std::lock_guard lock(Lock());
  Opens().push_back({nextId, key, access, deny});
  return nextId++;
}

void Remove(uint64_t id) {
  std::lock_guard lock(Lock());
  std::erase_if(Opens(), [id](const TOpenFile& open) { return open.Id == id; });
}

TGuard::TGuard() {
  Lock().lock();
}
TGuard::~TGuard() {
  Lock().unlock();
}

}  // namespace share_registry
