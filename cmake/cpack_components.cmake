# Read by cpack for each generator: the .deb takes Debian's own copyright
# file, changelog and compressed manual page in place of the licence and the
# plain manual page that every other install has.
if(CPACK_GENERATOR STREQUAL "DEB")
  list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 build_dir)
  list(GET CPACK_INSTALL_CMAKE_PROJECTS 1 project)
  set(CPACK_INSTALL_CMAKE_PROJECTS "")
  foreach(component program documentation debian)
    list(APPEND CPACK_INSTALL_CMAKE_PROJECTS ${build_dir} ${project} ${component} /)
  endforeach()
endif()
