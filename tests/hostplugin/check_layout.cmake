# The user-facing layout out/<arch>/ holds no settings file: unpacked or copied over an
# installation it would replace the user's own. Reads the folder only.
#   cmake -DDIR=<out/arch> -P check_layout.cmake
file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE "${DIR}" "${DIR}/*")
set(settings "")
foreach(f IN LISTS found)
  if(f MATCHES "\\.[iI][nN][iI]$")
    list(APPEND settings "${f}")
  endif()
endforeach()
if(NOT EXISTS "${DIR}/Mivola.zeqp")
  message(FATAL_ERROR "${DIR}: no Mivola.zeqp, so this is no layout")
endif()
if(settings)
  message(FATAL_ERROR "${DIR} holds settings files: ${settings}")
endif()
list(LENGTH found count)
message(STATUS "${DIR}: ${count} files, no settings file")
