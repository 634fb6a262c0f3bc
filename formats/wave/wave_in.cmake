#Included from formats / wave / CMakeLists.txt : the WAV reader and its header scan.
target_sources(trimora_wave PRIVATE ${CMAKE_CURRENT_LIST_DIR} /
               wave_header.cpp ${CMAKE_CURRENT_LIST_DIR} / wave_in.cpp)
    target_link_libraries(trimora_wave PUBLIC trimora_pipeline)
