// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3out/lame_library.h"

namespace {

bool FindLameApi(const TDynamicLibrary& library, TLameApi& api) {
  return true TRIMORA_LAME_ENTRY_POINTS(TRIMORA_API_FIND);
}

}  // namespace

TLameLibrary::TLameLibrary(std::string fileName) : TLibraryApi(std::move(fileName), FindLameApi) {}

TLameLibrary& TLameLibrary::Instance() {
  static TLameLibrary instance(kLameLibraryName);
  return instance;
}
