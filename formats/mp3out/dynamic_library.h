// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

// A shared library opened at run time by file name and closed with its owner.
class TDynamicLibrary {
 public:
  // Opens `fileName` through the loader's usual search; Loaded() tells whether it worked.
  explicit TDynamicLibrary(const std::string& fileName);

  bool Loaded() const { return Handle != nullptr; }

  // Looks `name` up and stores it in `entry`; false (and `entry` null) when it is missing.
  template <typename T>
  bool Find(const char* name, T& entry) const {
    entry = reinterpret_cast<T>(Symbol(name));
    return entry != nullptr;
  }

 private:
  void* Symbol(const char* name) const;

  struct TCloser {
    void operator()(void* handle) const;
  };
  std::unique_ptr<void, TCloser> Handle;
};

// A library's entry points are listed once, as X(prefix, name) for the symbol prefix##name.
// TRIMORA_API_FIELD makes of each the field `name` of the API struct, typed from the
// library's own header; TRIMORA_API_FIND finds it, inside a finder whose parameters are
// named `library` and `api`. One list for both keeps a field from going unfound.
#define TRIMORA_API_FIELD(prefix, name) decltype(&prefix##name) name = nullptr;
#define TRIMORA_API_FIND(prefix, name) &&library.Find(#prefix #name, api.name)

// A library's entry points, typed in TApi, found at run time: loaded on demand behind a
// loaded flag. A failed load is tried again on the next Load, a successful one stays for the
// life of the process. An incomplete library is as good as none.
template <class TApi>
class TLibraryApi {
 public:
  // Finds every entry point of `api` in `library`; false when one is missing.
  using TFindAll = bool (*)(const TDynamicLibrary& library, TApi& api);

  TLibraryApi(std::string fileName, TFindAll findAll)
      : FileName(std::move(fileName)), FindAll(findAll) {}

  // Opens the library and finds every entry point; true when all are there.
  bool Load() {
    if (Loaded()) return true;
    std::lock_guard lock(LoadLock);
    if (Loaded()) return true;
    auto library = std::make_unique<TDynamicLibrary>(FileName);
    TApi api;
    if (!library->Loaded() || !FindAll(*library, api)) return false;
    FApi = api;
    Library = std::move(library);
    FLoaded.store(true, std::memory_order_release);
    return true;
  }
  bool Loaded() const { return FLoaded.load(std::memory_order_acquire); }
  // Valid once Loaded().
  const TApi& Api() const { return FApi; }

 private:
  std::string FileName;
  TFindAll FindAll;
  std::mutex LoadLock;
  std::unique_ptr<TDynamicLibrary> Library;
  TApi FApi;
  std::atomic<bool> FLoaded{false};
};
