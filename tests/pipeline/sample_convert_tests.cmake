# Included from tests/pipeline/CMakeLists.txt.
trimora_add_test(NAME sample_convert_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/sample_convert_test.cpp
    LIBS trimora_sampleconv)
