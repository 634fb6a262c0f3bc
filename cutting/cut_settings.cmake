# Empty: cutting/CMakeLists.txt lists every source of the library. app/CMakeLists.txt still
# includes this file; the file goes once that line does.
include_guard(GLOBAL)
