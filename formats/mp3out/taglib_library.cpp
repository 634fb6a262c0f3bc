// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3out/taglib_library.h"

namespace {

bool FindTagLibApi(const TDynamicLibrary& library, TTagLibApi& api) {
  return true TRIMORA_TAGLIB_ENTRY_POINTS(TRIMORA_API_FIND);
}

}  // namespace

const TTagLibApi* TagLibApi() {
  static TLibraryApi<TTagLibApi> library(kTagLibLibraryName, FindTagLibApi);
  return library.Load() ? &library.Api() : nullptr;
}

std::mutex& TagLibUseLock() {
  static std::mutex lock;
  return lock;
}
