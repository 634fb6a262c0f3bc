# SPDX-License-Identifier: GPL-3.0-or-later
# trimora_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [THREADED] [QT])
#
# One GoogleTest executable. THREADED labels its tests "threaded" so the tsan build runs
# them; QT runs them on the offscreen platform so no display is needed.
include(GoogleTest)

if(NOT TARGET threaded_tests)
  add_custom_target(threaded_tests)
endif()

function(trimora_add_test)
  if(NOT BUILD_TESTING)
    return()
  endif()
  cmake_parse_arguments(T "THREADED;QT" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main trimora_warnings)
  target_compile_definitions(${T_NAME} PRIVATE
      TRIMORA_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
      TRIMORA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  # One label a test: gtest_discover_tests flattens list-valued properties.
  set(props TIMEOUT 300)
  if(T_THREADED)
    list(APPEND props LABELS threaded)
    add_dependencies(threaded_tests ${T_NAME})
  elseif(T_QT)
    list(APPEND props LABELS qt)
  else()
    list(APPEND props LABELS unit)
  endif()
  if(T_QT)
    list(APPEND props ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  endif()
  gtest_discover_tests(${T_NAME}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      PROPERTIES ${props})
endfunction()

# trimora_add_fuzzer(NAME <fuzz_name> SOURCES <files...> LIBS <targets...>)
#
# A libFuzzer target, built only with TRIMORA_FUZZ (the "fuzz" preset). Name it fuzz_*:
# scripts/run-fuzzers.sh runs every such executable briefly with its seed folder
# tests/data/fuzz/<fuzz_name>/ when one exists.
function(trimora_add_fuzzer)
  if(NOT TRIMORA_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${F_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fuzzers)
endfunction()
