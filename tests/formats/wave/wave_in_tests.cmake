# Included from tests/formats/wave/CMakeLists.txt: the WAV reader, its header scan, the
# MP3-in-WAV converter and the compression-manager stand-in it calls.
trimora_add_test(NAME wave_in_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/wave_test_support.cpp
        ${CMAKE_CURRENT_LIST_DIR}/wave_in_fixture_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/wave_in_header_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/wave_in_broken_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/wave_converter_test.cpp
    LIBS trimora_wave)

trimora_add_fuzzer(NAME fuzz_wave_header
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_wave_header.cpp
    LIBS trimora_wave PkgConfig::WAVE_TEST_FFMPEG trimora_warnings)
