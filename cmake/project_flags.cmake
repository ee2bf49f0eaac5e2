# How the project's own targets are built, said once and applied where each
# target is made. GoogleTest, when it is built from its source, is not ours
# and gets none of it.
#   marking_compile(target)       warnings on, and no path of this machine in
#                                 what is built, so that the same source builds
#                                 the same files wherever it is checked out
#   marking_runtime_free(target)  the same, for the program and the library:
#                                 plain C++ without its runtime (no exceptions,
#                                 no RTTI, no guarded statics: all that run at
#                                 once in two threads hold the terminal's lock),
#                                 each function in a section of its own for the
#                                 linker to drop, no unwind tables outside a
#                                 debug build (only exceptions and debuggers
#                                 read them; KEEP_UNWIND_TABLES keeps them), and
#                                 hardened as Debian builds its packages
include(${CMAKE_CURRENT_LIST_DIR}/hardening.cmake)

function(marking_compile target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
                           "-ffile-prefix-map=${PROJECT_BINARY_DIR}=build"
                           "-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.")
  endif()
endfunction()

function(marking_runtime_free target)
  cmake_parse_arguments(PARSE_ARGV 1 arg KEEP_UNWIND_TABLES "" "")
  marking_compile(${target})
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti -fno-threadsafe-statics
                                             -ffunction-sections -fdata-sections)
    if(NOT arg_KEEP_UNWIND_TABLES)
      target_compile_options(${target} PRIVATE
                             $<$<NOT:$<CONFIG:Debug>>:-fno-asynchronous-unwind-tables>)
    endif()
  endif()
  harden(${target})
endfunction()
