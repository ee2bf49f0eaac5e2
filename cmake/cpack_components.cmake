# Read by cpack for each generator. Where SOURCE_DATE_EPOCH is unset, it is
# the last commit's time, for the packages' times. The archives carry every
# component; the .deb splits in two packages, each with Debian's own copyright file and
# changelog (and, for the program, the compressed manual page) in place of
# the licence and the plain manual page that every other install has:
#   marking-system      the program, depending on the C library only
#   marking-system-dev  the console functions' header, library, CMake and
#                       pkg-config files, and the examples; depending on the
#                       C library's development files
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C ${CPACK_MARKING_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE last_commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(last_commit MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${last_commit})
  endif()
endif()

if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL program documentation debian development debian_dev)
  foreach(component PROGRAM DOCUMENTATION DEBIAN)
    set(CPACK_COMPONENT_${component}_GROUP runtime)
  endforeach()
  foreach(component DEVELOPMENT DEBIAN_DEV)
    set(CPACK_COMPONENT_${component}_GROUP dev)
  endforeach()
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME marking-system)
  # Each description's first line is its own package's synopsis, which CPack
  # would otherwise take from the one summary for both.
  set(summary "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
      "${summary}\n${CPACK_PACKAGE_DESCRIPTION}")
  set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
  # A static library: its users link it with the C library's own development
  # files (the runtime package's Depends come from dpkg-shlibdeps).
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libc6-dev | libc-dev")
  set(CPACK_DEBIAN_DEV_DESCRIPTION
      "console control functions for C and C++ programs
The console control functions of the marking system as a static library for
C and C++ programs: move and read the cursor, show or hide it, clear the
screen or the rest of a line, pick one of sixteen colour presets or the
default colours, set the window size, toggle full screen and read keys, on
POSIX terminals as ECMA-48 and xterm sequences. The library needs only the C
library. Found by CMake as marking-system::console and by pkg-config as
marking-system-console.")
endif()
