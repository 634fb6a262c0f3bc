# Included from tests/cutting/CMakeLists.txt.
if(TARGET trimora_mp3out)
  trimora_add_test(NAME cut_settings_tests
      SOURCES
          ${CMAKE_CURRENT_LIST_DIR}/cut_settings_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/tag_copy_test.cpp
      LIBS trimora_cutting)
endif()
if(TARGET trimora_media)
  trimora_add_test(NAME wma_cut_settings_tests
      SOURCES ${CMAKE_CURRENT_LIST_DIR}/wma_cut_settings_test.cpp
      LIBS trimora_cutting)
endif()
