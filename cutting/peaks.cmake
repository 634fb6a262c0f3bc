# The waveform overview: its columns and cache need nothing, the builder decodes with the
# WAV, MP3 and WMA sources. Included from cutting/CMakeLists.txt.
include_guard(GLOBAL)
target_sources(trimora_cutting PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/peak_columns.cpp
    ${CMAKE_CURRENT_LIST_DIR}/peak_cache.cpp)
if(TARGET trimora_wave AND TARGET trimora_media)
  target_sources(trimora_cutting PRIVATE ${CMAKE_CURRENT_LIST_DIR}/peak_builder.cpp)
  target_link_libraries(trimora_cutting PUBLIC trimora_wave trimora_media Threads::Threads)
endif()
