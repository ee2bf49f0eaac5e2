# find_package(marking-system REQUIRED COMPONENTS console) gives the console
# control functions as the imported target marking-system::console.
set(_marking_system_components console)
foreach(_component IN LISTS ${CMAKE_FIND_PACKAGE_NAME}_FIND_COMPONENTS)
  if(_component IN_LIST _marking_system_components)
    set(${CMAKE_FIND_PACKAGE_NAME}_${_component}_FOUND TRUE)
  elseif(${CMAKE_FIND_PACKAGE_NAME}_FIND_REQUIRED_${_component})
    set(${CMAKE_FIND_PACKAGE_NAME}_FOUND FALSE)
    set(${CMAKE_FIND_PACKAGE_NAME}_NOT_FOUND_MESSAGE
        "marking-system has no component ${_component}; it has: ${_marking_system_components}")
    return()
  endif()
endforeach()
# The library takes its lock, and forks and masks signals, with the threads
# library, where that is not the C library itself.
include(CMakeFindDependencyMacro)
find_dependency(Threads)
include(${CMAKE_CURRENT_LIST_DIR}/marking-system-targets.cmake)
