# Included from bench/CMakeLists.txt: the reader pass that bench/read_wav.sh times.
if(TARGET trimora_wave)
  add_executable(wave_read ${CMAKE_CURRENT_LIST_DIR}/wave_read.cpp)
  target_link_libraries(wave_read PRIVATE trimora_wave trimora_warnings)
endif()
