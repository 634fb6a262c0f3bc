# Included from pipeline/CMakeLists.txt. The conversions are bit-exact by contract: products
# must be rounded to their own precision, so no fused multiply-add may merge them.
add_library(trimora_sampleconv STATIC
    ${CMAKE_CURRENT_LIST_DIR}/sample_convert.cpp)
target_include_directories(trimora_sampleconv PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(trimora_sampleconv PRIVATE -ffp-contract=off)
target_link_libraries(trimora_sampleconv PRIVATE trimora_warnings)
