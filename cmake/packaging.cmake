# Installing and packaging. `cmake --install` puts the program, its manual
# page and its documentation under the prefix, and the console functions for
# other programs: their header, their static library, and the files that
# CMake's find_package and pkg-config read. cpack makes a .deb for each
# (marking-system, marking-system-dev) and a .tar.gz with both on Linux, and
# a .zip from the Windows build.
if(WIN32)
  # A Windows archive is flat: the program beside its documentation.
  install(TARGETS marking-system RUNTIME DESTINATION . COMPONENT program)
  install(FILES README.md doc/scores.txt LICENSE DESTINATION . COMPONENT documentation)
  install(FILES doc/console_tour.png DESTINATION doc COMPONENT documentation)
  install(FILES examples/console_tour.cpp examples/move_mark.c DESTINATION examples COMPONENT example)
else()
  install(TARGETS marking-system RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
  install(FILES README.md doc/scores.txt DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT documentation)
  # Where the README's picture link finds it.
  install(FILES doc/console_tour.png DESTINATION ${CMAKE_INSTALL_DOCDIR}/doc COMPONENT documentation)
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT licence)
  install(FILES doc/marking-system.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT manual)
  install(FILES doc/marking-system-console.3 DESTINATION ${CMAKE_INSTALL_MANDIR}/man3
          COMPONENT manual)
  install(FILES examples/console_tour.cpp examples/move_mark.c
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT example)

  # What Debian policy asks of a package, for the .debs only: the manual page
  # compressed, the licence as the copyright file, and a compressed changelog,
  # in each package's own documentation folder.
  set(debian_dir ${CMAKE_CURRENT_BINARY_DIR}/debian)
  set(compressed "")
  foreach(source doc/marking-system.1 doc/marking-system-console.3 packaging/debian/changelog)
    get_filename_component(name ${source} NAME)
    add_custom_command(OUTPUT ${debian_dir}/${name}.gz
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${debian_dir}
                       COMMAND sh -c "gzip -9 -n -c \"$1\" >\"$2\"" sh
                               ${CMAKE_CURRENT_SOURCE_DIR}/${source} ${debian_dir}/${name}.gz
                       DEPENDS ${source} VERBATIM)
    list(APPEND compressed ${debian_dir}/${name}.gz)
  endforeach()
  add_custom_target(debian-files ALL DEPENDS ${compressed})
  install(FILES ${debian_dir}/marking-system.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES packaging/debian/copyright ${debian_dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
  set(dev_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/marking-system-dev)
  install(FILES packaging/debian/copyright ${debian_dir}/changelog.gz DESTINATION ${dev_docdir}
          COMPONENT debian_dev EXCLUDE_FROM_ALL)
  install(FILES examples/console_tour.cpp examples/move_mark.c DESTINATION ${dev_docdir}/examples
          COMPONENT debian_dev EXCLUDE_FROM_ALL)
  install(FILES ${debian_dir}/marking-system-console.3.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man3
          COMPONENT debian_dev EXCLUDE_FROM_ALL)
endif()

# The console functions for other programs. Every installed file names paths
# relative to where it is found, so the tree can be moved.
set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/marking-system)
install(TARGETS console-library EXPORT marking-system-targets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES src/console/console.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/marking-system
        COMPONENT development)
install(EXPORT marking-system-targets NAMESPACE marking-system:: DESTINATION ${cmake_dir}
        COMPONENT development)
include(CMakePackageConfigHelpers)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/marking-system-config-version.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES cmake/marking-system-config.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/marking-system-config-version.cmake
        DESTINATION ${cmake_dir} COMPONENT development)
if(NOT WIN32)
  file(RELATIVE_PATH pc_prefix /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
  string(REGEX REPLACE "/$" "" pc_prefix "${pc_prefix}")
  configure_file(cmake/marking-system-console.pc.in marking-system-console.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/marking-system-console.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
endif()

set(CPACK_PACKAGE_NAME marking-system)
set(CPACK_PACKAGE_VENDOR "The Marking System developers")
set(CPACK_PACKAGE_CONTACT "The Marking System developers <marking-system@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keep, grade and report the marks of a class of five students")
set(CPACK_PACKAGE_DESCRIPTION
    "A menu-driven console program that keeps the marks of five students in
three subjects, grades each student from the average of the three marks, and
prints a score list, a grade frequency table, an asterisk chart of the grade
counts and a histogram picture. Marks come from random numbers, the keyboard
or the file scores.txt. Every choice is a single key press; from a script,
each byte is one key.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${CMAKE_CURRENT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # the libraries the binary links, from dpkg-shlibdeps
# Each generator takes the components that fit it.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/cpack_components.cmake)
# Packages built twice are the same, bit for bit: their times come from
# SOURCE_DATE_EPOCH, or from the last commit, read where cpack runs; the
# .deb takes it as it is, and the archives are written again in name order
# with those times (CPack's archives keep directory order and build times).
set(CPACK_MARKING_SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/reproducible_archives.cmake)
# A .deb where the dpkg tools are at hand, a .tar.gz everywhere.
find_program(DPKG_DEB dpkg-deb)
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
elseif(DPKG_DEB AND DPKG_SHLIBDEPS)
  set(CPACK_GENERATOR DEB TGZ)
else()
  set(CPACK_GENERATOR TGZ)
endif()
# cpack builds what it packages, and not the rest of the build (the tests):
# installing no longer builds everything first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(packaged_targets marking-system console-library)
if(NOT WIN32)
  list(APPEND packaged_targets debian-files)
endif()
list(JOIN packaged_targets " " packaged_targets)
set(CPACK_INSTALL_COMMANDS "${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${packaged_targets}")
include(CPack)
