# Included from bench/CMakeLists.txt: the waveform overview build that bench/peaks.sh times.
if(TARGET trimora_cutting AND TARGET trimora_media AND TARGET trimora_wave)
  add_executable(peaks ${CMAKE_CURRENT_LIST_DIR}/peaks.cpp)
  target_link_libraries(peaks PRIVATE trimora_cutting trimora_warnings)
endif()
