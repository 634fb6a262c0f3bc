// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3out/dynamic_library.h"

#include <dlfcn.h>

TDynamicLibrary::TDynamicLibrary(const std::string& fileName)
    : Handle(::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

void* TDynamicLibrary::Symbol(const char* name) const {
  return Handle ? ::dlsym(Handle.get(), name) : nullptr;
}

void TDynamicLibrary::TCloser::operator()(void* handle) const {
  ::dlclose(handle);
}
