# bench_contention needs the plug-in, the Winamp and WMP bridges and their stand-ins of this tree.
add_executable(bench_contention ${CMAKE_CURRENT_LIST_DIR}/contention.cpp)
target_include_directories(bench_contention PRIVATE ${CMAKE_SOURCE_DIR}/sim/winamp)
target_link_libraries(bench_contention PRIVATE mivola_channel)
target_compile_options(bench_contention PRIVATE -municode)
target_link_options(bench_contention PRIVATE -municode)
mivola_warnings(bench_contention)
add_dependencies(bench_contention mivola_hostplugin gen_zeq_mivola winamp ZEQ_Mivola_WMP wmp)
