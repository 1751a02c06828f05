# The media-session bridge's poll against the stand-in (needs its test support and DLL).
add_executable(bench_smtc_poll ${CMAKE_CURRENT_LIST_DIR}/smtc_poll.cpp ${CMAKE_CURRENT_LIST_DIR}/host_process_time.cpp)
target_link_libraries(bench_smtc_poll PRIVATE mivola_smtc_reader smtc_sim_test_support user32)
target_link_options(bench_smtc_poll PRIVATE -municode)
mivola_warnings(bench_smtc_poll)
add_dependencies(bench_smtc_poll ZEQ_Mivola_SMTC smtc_test_programs)
