// SPDX-License-Identifier: GPL-3.0-or-later
// Fills an FFmpeg function's slot on its first call (see cmake/TrimoraFfmpeg.cmake): the
// library is opened once, the function looked up, and the slot set, so that later calls jump
// straight to it.
#include <dlfcn.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <mutex>

extern "C" {
struct trimora_ffmpeg_name {
  const char* name;
  int library;
};
using TFfmpegFunction = void (*)();
extern TFfmpegFunction trimora_ffmpeg_slots[];
extern const trimora_ffmpeg_name trimora_ffmpeg_names[];
extern const char* const trimora_ffmpeg_sonames[];
extern const std::size_t trimora_ffmpeg_count;
TFfmpegFunction trimora_ffmpeg_resolve(std::size_t index);
}

namespace {

constexpr int kLibraries = 4;

[[noreturn]] void FailToLoad(const char* what, const char* name) {
  // Nothing can go on without the library, and the caller has no way to hear of it.
  std::fprintf(stderr,
               "trimora: cannot load %s (%s); the FFmpeg libraries are missing or "
               "damaged\n",
               name, what ? what : "unknown error");
  std::abort();
}

void* Library(int library) {
  static std::once_flag once[kLibraries];
  static void* handles[kLibraries] = {};
  std::call_once(once[library], [library] {
    handles[library] = dlopen(trimora_ffmpeg_sonames[library], RTLD_NOW | RTLD_GLOBAL);
    if (!handles[library]) FailToLoad(dlerror(), trimora_ffmpeg_sonames[library]);
  });
  return handles[library];
}

}  // namespace

extern "C" TFfmpegFunction trimora_ffmpeg_resolve(std::size_t index) {
  if (index >= trimora_ffmpeg_count) std::abort();
  const trimora_ffmpeg_name& entry = trimora_ffmpeg_names[index];
  void* address = dlsym(Library(entry.library), entry.name);
  if (!address) FailToLoad(dlerror(), entry.name);
  auto function = reinterpret_cast<TFfmpegFunction>(address);
  // Two threads may bind the same function at once; both store the same address.
  std::atomic_ref<TFfmpegFunction>(trimora_ffmpeg_slots[index])
      .store(function, std::memory_order_release);
  return function;
}
