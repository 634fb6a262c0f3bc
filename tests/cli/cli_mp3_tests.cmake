# Included from tests/cli/CMakeLists.txt: MP3 cuts, checked with FFmpeg and TagLib.
if(TARGET trimora-cli)
  pkg_check_modules(CLI_MP3_TEST_TAGLIB REQUIRED IMPORTED_TARGET taglib)
  trimora_add_test(NAME cli_mp3_tests
      SOURCES ${CMAKE_CURRENT_LIST_DIR}/cli_mp3_test.cpp ${CMAKE_CURRENT_LIST_DIR}/cli_tags_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/cli_test_support.cpp
      LIBS trimora_warnings PkgConfig::CLI_MP3_TEST_TAGLIB)
  target_compile_definitions(cli_mp3_tests PRIVATE TRIMORA_CLI="$<TARGET_FILE:trimora-cli>")
  add_dependencies(cli_mp3_tests trimora-cli)
endif()
