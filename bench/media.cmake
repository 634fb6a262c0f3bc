# The MP3 and WMA decoding benchmark's executable; decode_media.sh runs it against FFmpeg.
if(TARGET trimora_media)
  add_executable(decode_media ${CMAKE_CURRENT_LIST_DIR}/decode_media.cpp)
  target_link_libraries(decode_media PRIVATE trimora_media trimora_warnings)
endif()
