// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3out/taglib_library.h"

const TTagLibApi& TagLibApi() {
  static const TTagLibApi api;
  return api;
}

std::mutex& TagLibUseLock() {
  static std::mutex lock;
  return lock;
}
