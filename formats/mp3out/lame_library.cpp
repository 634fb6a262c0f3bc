// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3out/lame_library.h"

const TLameApi& LameApi() {
  static const TLameApi api;
  return api;
}
