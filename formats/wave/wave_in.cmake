# Included from formats/wave/CMakeLists.txt: the WAV reader, its header scan, and the
# converter that takes MPEG Layer-3 inside WAV through our compression manager.
target_sources(trimora_wave PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/wave_header.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wave_in.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wave_converter.cpp)
target_link_libraries(trimora_wave PUBLIC trimora_pipeline trimora_acm)
