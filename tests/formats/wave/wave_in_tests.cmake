# Included from tests/formats/wave/CMakeLists.txt: the WAV reader, its header scan, the
# MP3-in-WAV converter and the compression-manager stand-in it calls.
trimora_add_test(NAME wave_in_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/wave_test_support.cpp
        ${CMAKE_CURRENT_LIST_DIR}/wave_in_fixture_test.cpp
    LIBS trimora_wave)
