# The template engine: tag and play-state tables, expansion, estimates, attribute collection.
add_library(mivola_template_engine STATIC
  ${CMAKE_CURRENT_LIST_DIR}/tag_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/template_engine.cpp)
# The tag descriptions are code page 932 bytes, written as readable literals.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/tag_table.cpp PROPERTIES COMPILE_OPTIONS "-fexec-charset=CP932")
target_include_directories(mivola_template_engine PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(mivola_template_engine PUBLIC mivola_channel shlwapi)
mivola_warnings(mivola_template_engine)
