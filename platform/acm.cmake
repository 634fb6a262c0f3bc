# Included from platform/CMakeLists.txt: the compression-manager stand-in, which turns MPEG
# Layer-3 data inside WAV files into PCM through FFmpeg's decoder.
pkg_check_modules(ACM_FFMPEG REQUIRED IMPORTED_TARGET libavcodec libavutil)

add_library(trimora_acm STATIC
    ${CMAKE_CURRENT_LIST_DIR}/acm.cpp
    ${CMAKE_CURRENT_LIST_DIR}/acm_mp3.cpp)
target_include_directories(trimora_acm PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(trimora_acm PRIVATE PkgConfig::ACM_FFMPEG trimora_warnings)
