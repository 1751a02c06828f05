# Tests of the plug-in proper (settings, lifecycle, exports), with stand-ins for the bridge
# programs it starts.
foreach(key iTunes SMTC)
  string(TOLOWER ${key} lower)
  add_executable(fake_${lower}_bridge ${CMAKE_CURRENT_LIST_DIR}/fake_bridge.cpp)
  target_compile_definitions(fake_${lower}_bridge PRIVATE FAKE_BRIDGE_KEY="${key}")
  target_link_options(fake_${lower}_bridge PRIVATE -municode -mwindows)
  mivola_warnings(fake_${lower}_bridge)
endforeach()
target_compile_definitions(fake_itunes_bridge PRIVATE FAKE_BRIDGE_LOG=L"bridge.log")
target_compile_definitions(fake_smtc_bridge PRIVATE FAKE_BRIDGE_LOG=L"smtc_bridge.log")

mivola_test(plugin_tests
  ${CMAKE_CURRENT_LIST_DIR}/plugin_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host_plugin_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin_dll_test.cpp)
target_include_directories(plugin_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/channel)
target_link_libraries(plugin_tests PRIVATE mivola_hostcore version)
add_dependencies(plugin_tests mivola_hostplugin zeqhost fake_itunes_bridge fake_smtc_bridge)
configure_file(${CMAKE_SOURCE_DIR}/hostplugin/Setting.ini ${CMAKE_CURRENT_BINARY_DIR}/default_Setting.ini COPYONLY)

# The export table, read natively: exactly the eight host functions, undecorated.
mivola_static_test(exports mivola_hostplugin
  ${CMAKE_COMMAND} -DOBJDUMP=${MIVOLA_OBJDUMP} -DFILE=$<TARGET_FILE:mivola_hostplugin>
          -P ${CMAKE_CURRENT_LIST_DIR}/check_exports.cmake)

# The layout under out/<arch>/ holds no settings file (read natively).
mivola_static_test(layout settings
  ${CMAKE_COMMAND} -DDIR=${MIVOLA_OUT_DIR} -P ${CMAKE_CURRENT_LIST_DIR}/check_layout.cmake)

# The dialogs of the real plug-in, driven with window messages (needs a display).
mivola_test(dialog_tests
  ${CMAKE_CURRENT_LIST_DIR}/plugin_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_test.cpp)
target_link_libraries(dialog_tests PRIVATE comctl32)
add_dependencies(dialog_tests mivola_hostplugin zeqhost)

# Bridge installation: player folders, the settings dialog with the real installer, the
# installer's refusals, and its registration of the WMP bridge beside the WMP stand-in. The
# tests change this prefix's registry and put it back.
mivola_test(installation_tests
  ${CMAKE_CURRENT_LIST_DIR}/plugin_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/installation_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/player_folder_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/installation_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wmp_installation_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/wmp/wmp_stand_in.cpp)
target_include_directories(installation_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/wmp ${CMAKE_SOURCE_DIR}/sim/wmp)
target_link_libraries(installation_tests PRIVATE mivola_hostcore advapi32 user32)
add_dependencies(installation_tests mivola_hostplugin vennick gen_zeq_mivola fake_itunes_bridge)
# The bridge and the WMP stand-in, as the WMP tests have them beside their program.
add_dependencies(installation_tests ZEQ_Mivola_WMP wmp_test_programs)
