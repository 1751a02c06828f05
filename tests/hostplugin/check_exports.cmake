cmake_minimum_required(VERSION 3.20)
# Fails unless the plug-in exports exactly the host's eight functions under plain names.
# Usage: cmake -DOBJDUMP=<objdump> -DFILE=<Mivola.zeqp> -P check_exports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${FILE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${FILE}")
endif()
# Square brackets would confuse CMake's lists: drop them before reading the name table,
# whose rows look like "[   0] Free".
string(REPLACE "[" "" dump "${dump}")
string(REPLACE "]" "" dump "${dump}")
string(REGEX MATCH "Ordinal/Name Pointer Table[^\n]*\n(([ \t]+[0-9]+ [^\n]*\n)*)" table "${dump}")
string(REGEX MATCHALL "[0-9]+ [^ \t\r\n]+" entries "${CMAKE_MATCH_1}")
set(names "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^[0-9]+ " "" name "${entry}")
  list(APPEND names "${name}")
endforeach()
list(SORT names)
set(expected Free GetFuncInfo GetFuncSettingName GetInfo GetText Init ShowAbout ShowSetting)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "${FILE} exports [${names}], expected [${expected}]")
endif()
message(STATUS "${FILE}: exports ${names}")
