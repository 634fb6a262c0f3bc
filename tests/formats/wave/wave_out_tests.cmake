# The WAV writer's tests; FFmpeg's and sox's command-line tools read back what it writes.
trimora_add_test(NAME wave_out_tests THREADED
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/wave_out_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/wave_out_append_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/wave_out_test_support.cpp
        ${PROJECT_SOURCE_DIR}/tests/pipeline/pipeline_test_support.cpp
    LIBS trimora_wave)
