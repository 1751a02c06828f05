cmake_minimum_required(VERSION 3.20)
# Puts the 32-bit bridge into a layout: Winamp is a 32-bit program, so whatever the host
# plug-in's architecture, the bridge it installs must be the i686 build.
# Usage: cmake -DFROM=<i686 gen_zeq_mivola.dll> -DTO=<layout folder>/Mivola -P ship-bridge.cmake
set(target "${TO}/gen_zeq_mivola.dll")
if(EXISTS "${FROM}")
  file(MAKE_DIRECTORY "${TO}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${FROM}" "${target}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot copy ${FROM} to ${TO}")
  endif()
else()
  # A bridge of the wrong architecture left from an earlier build must not ship.
  file(REMOVE "${target}")
  message(WARNING "${FROM} is not built yet: build the i686 tree first; ${TO} has no Winamp bridge")
endif()
