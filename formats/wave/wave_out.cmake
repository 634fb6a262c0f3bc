# The WAV writer: the sink, its headers and the walk of a file it appends to.
target_sources(trimora_wave PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/wave_out.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wave_out_append.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wave_out_headers.cpp)
target_link_libraries(trimora_wave PUBLIC trimora_pipeline)
