# The encoder settings and tag copy that every MP3 and WMA cut (main window, segment cut,
# joiner, command line) derives from its source. Included from cutting/CMakeLists.txt; the
# command line includes it too, for trees where that line is not there yet, and the guard
# makes the second include do nothing.
include_guard(GLOBAL)
if(TARGET trimora_mp3out OR TARGET trimora_media)
  target_sources(trimora_cutting PRIVATE ${CMAKE_CURRENT_LIST_DIR}/tag_copy.cpp)
  target_link_libraries(trimora_cutting PUBLIC trimora_tags)
endif()
if(TARGET trimora_mp3out)
  target_sources(trimora_cutting PRIVATE ${CMAKE_CURRENT_LIST_DIR}/mp3_cut_settings.cpp)
  target_link_libraries(trimora_cutting PUBLIC trimora_mp3out)
endif()
if(TARGET trimora_media)
  target_sources(trimora_cutting PRIVATE ${CMAKE_CURRENT_LIST_DIR}/wma_cut_settings.cpp)
  target_link_libraries(trimora_cutting PUBLIC trimora_media)
endif()
