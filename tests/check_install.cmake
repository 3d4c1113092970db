# SPDX-License-Identifier: MIT
# Installs the build into a scratch prefix and checks that everything a user's desktop needs is there.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}" RESULT_VARIABLE failed
                OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(f bin/camber bin/camber-cli bin/dll/libsmesh.so share/applications/camber.desktop
          share/mime/packages/camber.xml share/icons/hicolor/scalable/apps/camber.svg)
  if(NOT EXISTS "${PREFIX}/${f}")
    message(FATAL_ERROR "${f} is not installed")
  endif()
endforeach()
execute_process(COMMAND "${PREFIX}/bin/camber" --version OUTPUT_VARIABLE version RESULT_VARIABLE failed)
if(failed OR NOT version MATCHES "^camber ")
  message(FATAL_ERROR "the installed camber does not run: ${version}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
