# SPDX-License-Identifier: GPL-3.0-or-later
# FFmpeg's libraries for every target that calls them: link `trimora_ffmpeg`.
#
# FFmpeg's shared libraries pull in some 130 others (codecs, TLS, X11, ...), and mapping and
# relocating them takes the loader longer than a whole WAV cut. On x86-64 the programs
# therefore do not list them as needed: each FFmpeg function the code calls is a two-instruction
# stub that loads the library on its first call (platform/ffmpeg_loader.cpp) and then jumps
# straight to it. A run that never touches FFmpeg (a WAV cut, --help) never maps it.
pkg_check_modules(TRIMORA_FFMPEG_PKG REQUIRED IMPORTED_TARGET
    libavformat libavcodec libswresample libavutil)

option(TRIMORA_LAZY_FFMPEG "Load FFmpeg's libraries on the first call into them" ON)
if(NOT TRIMORA_LAZY_FFMPEG OR NOT CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  add_library(trimora_ffmpeg INTERFACE)
  target_link_libraries(trimora_ffmpeg INTERFACE PkgConfig::TRIMORA_FFMPEG_PKG)
  return()
endif()

# One stub per exported function of each library, from the library's own symbol table, so a
# newly called function needs nothing here. Data symbols get no stub: a use of one fails to
# link, which says plainly that it must be read through a function instead.
set(stubs "")
set(slots "")
set(names "")
set(libs "")
set(sonames "")
set(index 0)
set(lib_index 0)
foreach(lib IN ITEMS avformat avcodec swresample avutil)
  find_library(TRIMORA_LIB_${lib} NAMES ${lib} HINTS ${TRIMORA_FFMPEG_PKG_LIBRARY_DIRS} REQUIRED)
  execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${TRIMORA_LIB_${lib}}
                  OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCH "SONAME +([^\n ]+)" _ "${headers}")
  string(APPEND sonames "  \"${CMAKE_MATCH_1}\",\n")
  # libavformat.so.59 comes in Debian's libavformat59: the package must now name it itself.
  string(REGEX REPLACE "^(lib[a-z]+)\\.so\\.([0-9]+)$" "\\1\\2" package "${CMAKE_MATCH_1}")
  list(APPEND TRIMORA_FFMPEG_PACKAGES ${package})
  execute_process(COMMAND ${CMAKE_NM} -D --defined-only --format=posix ${TRIMORA_LIB_${lib}}
                  OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*(@@[A-Z0-9_]+)? [TiW] " functions "${symbols}")
  foreach(entry IN LISTS functions)
    string(REGEX REPLACE "(@@[A-Z0-9_]+)? [TiW] $" "" name "${entry}")
    math(EXPR offset "${index} * 8")
    string(APPEND stubs
        "  \".globl ${name}\\n.hidden ${name}\\n.type ${name},@function\\n${name}:\\n"
        "  endbr64\\n  jmp *trimora_ffmpeg_slots+${offset}(%rip)\\n\"\n"
        "  \".globl trimora_ffmpeg_thunk_${index}\\n.hidden trimora_ffmpeg_thunk_${index}\\n"
        "trimora_ffmpeg_thunk_${index}:\\n  endbr64\\n  pushq $${index}\\n"
        "  jmp trimora_ffmpeg_bind\\n\"\n")
    string(APPEND slots "void trimora_ffmpeg_thunk_${index}(void);\n")
    string(APPEND names "  {\"${name}\", ${lib_index}},\n")
    math(EXPR index "${index} + 1")
  endforeach()
  math(EXPR lib_index "${lib_index} + 1")
endforeach()
list(JOIN TRIMORA_FFMPEG_PACKAGES ", " TRIMORA_FFMPEG_PACKAGES)
set(TRIMORA_FFMPEG_STUBS "${stubs}")
set(TRIMORA_FFMPEG_THUNKS "${slots}")
set(TRIMORA_FFMPEG_NAMES "${names}")
set(TRIMORA_FFMPEG_SONAMES "${sonames}")
set(TRIMORA_FFMPEG_COUNT ${index})
string(REGEX REPLACE "void (trimora_ffmpeg_thunk_[0-9]+)\\(void\\);" "  \\1," TRIMORA_FFMPEG_SLOTS
       "${slots}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/ffmpeg_stubs.c.in
               ${PROJECT_BINARY_DIR}/generated/ffmpeg_stubs.c @ONLY)

add_library(trimora_ffmpeg STATIC ${PROJECT_BINARY_DIR}/generated/ffmpeg_stubs.c
            ${PROJECT_SOURCE_DIR}/platform/ffmpeg_loader.cpp)
target_include_directories(trimora_ffmpeg SYSTEM PUBLIC ${TRIMORA_FFMPEG_PKG_INCLUDE_DIRS})
target_link_libraries(trimora_ffmpeg PUBLIC ${CMAKE_DL_LIBS})
