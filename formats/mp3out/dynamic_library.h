#pragma once

#include <memory>
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
