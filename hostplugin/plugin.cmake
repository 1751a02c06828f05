# Mivola.zeqp: the plug-in the ZEQ host loads. The logic lives in mivola_hostcore so that
# tests link it directly; the DLL adds only the exports and the entry point.
add_library(mivola_hostcore STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ansi_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bridge_installation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bridge_launcher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/format_setting_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host_plugin.cpp
  ${CMAKE_CURRENT_LIST_DIR}/player_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin_info.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin_settings_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/program_path.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/version_dialog.cpp)
target_include_directories(mivola_hostcore PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(mivola_hostcore PUBLIC mivola_template_engine mivola_channel mivola_player_folder shell32 shlwapi user32 comctl32 advapi32)
# Texts the host shows are stored as code page 932 bytes, not converted at run time.
set_source_files_properties(
  ${CMAKE_CURRENT_LIST_DIR}/plugin_info.cpp
  ${CMAKE_CURRENT_LIST_DIR}/player_table.cpp
  PROPERTIES COMPILE_OPTIONS "-fexec-charset=CP932")
mivola_warnings(mivola_hostcore)

add_library(mivola_hostplugin SHARED
  ${CMAKE_CURRENT_LIST_DIR}/exports.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dllmain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Mivola.def
  ${CMAKE_CURRENT_LIST_DIR}/Mivola.rc)
target_link_libraries(mivola_hostplugin PRIVATE mivola_hostcore)
set_target_properties(mivola_hostplugin PROPERTIES OUTPUT_NAME Mivola SUFFIX .zeqp PREFIX "")
mivola_stdcall_exports(mivola_hostplugin)
mivola_warnings(mivola_hostplugin)
mivola_check_imports(mivola_hostplugin)
mivola_install_layout(mivola_hostplugin "")

# No settings file goes into the layout: a missing one loads the defaults, and one copied over
# an installation would replace the user's. Earlier builds put the default file there; a copy
# still equal to it is removed, anything else is left for the layout check to report.
set(_stale "${MIVOLA_OUT_DIR}/Mivola/Setting.ini")
if(EXISTS "${_stale}")
  file(SHA256 "${_stale}" _stale_hash)
  file(SHA256 "${CMAKE_CURRENT_LIST_DIR}/Setting.ini" _default_hash)
  if(_stale_hash STREQUAL _default_hash)
    file(REMOVE "${_stale}")
  endif()
endif()
