# Included from tests/cli/CMakeLists.txt: WMA cuts, checked with FFmpeg's programs and the
# command line's own reader.
if(TARGET trimora-cli)
  trimora_add_test(NAME cli_wma_tests
      SOURCES ${CMAKE_CURRENT_LIST_DIR}/cli_wma_test.cpp ${CMAKE_CURRENT_LIST_DIR}/cli_test_support.cpp
      LIBS trimora_warnings)
  target_compile_definitions(cli_wma_tests PRIVATE TRIMORA_CLI="$<TARGET_FILE:trimora-cli>")
  add_dependencies(cli_wma_tests trimora-cli)
endif()
