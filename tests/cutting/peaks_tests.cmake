# Included from tests/cutting/CMakeLists.txt. The builder runs a thread of its own and
# decodes files FFmpeg writes for it.
trimora_add_test(NAME peak_columns_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/peak_columns_test.cpp
    LIBS trimora_cutting)
if(TARGET trimora_wave AND TARGET trimora_media)
  trimora_add_test(NAME peak_builder_tests THREADED
      SOURCES ${CMAKE_CURRENT_LIST_DIR}/peak_builder_test.cpp
      LIBS trimora_cutting)
endif()
