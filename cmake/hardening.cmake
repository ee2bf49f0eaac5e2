# Hardened as Debian builds its packages (dpkg-buildflags): fortified C
# library calls where the compiler can see the sizes (with optimisation),
# stack protection, format strings checked, position-independent code, and,
# for a program, relocations read-only once all are resolved at start. A
# library gets nothing that its callers must share: position-independent
# objects serve any program. The compilers' names (.comment) are left out of
# a program, as Debian's packages leave them out. Where the compiler or the
# linker does not take a flag (Windows, macOS), it goes without.
include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)
include(CheckPIESupported)
check_pie_supported(LANGUAGES C CXX)
set(marking_hardening -Wformat -Werror=format-security
    $<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2>)
# A flag the compiler takes but has no use for on the target (clang's
# stack-clash protection for macOS) is taken as not taken.
set(CMAKE_REQUIRED_FLAGS -Werror)
foreach(flag -fstack-protector-strong -fstack-clash-protection)
  string(MAKE_C_IDENTIFIER "MARKING_COMPILER_TAKES${flag}" takes_flag)
  check_cxx_compiler_flag(${flag} ${takes_flag})
  if(${takes_flag})
    list(APPEND marking_hardening ${flag})
  endif()
endforeach()
unset(CMAKE_REQUIRED_FLAGS)
if(NOT APPLE)  # Mach-O has no such relocations to make read-only
  check_linker_flag(C -Wl,-z,relro,-z,now MARKING_LINKER_TAKES_RELRO)
endif()

function(harden target)
  if(WIN32 OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    return()
  endif()
  target_compile_options(${target} PRIVATE ${marking_hardening})
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    if(MARKING_LINKER_TAKES_RELRO)
      target_link_options(${target} PRIVATE -Wl,-z,relro,-z,now)
    endif()
    if(NOT APPLE AND CMAKE_OBJCOPY)
      add_custom_command(TARGET ${target} POST_BUILD
                         COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment $<TARGET_FILE:${target}>
                         VERBATIM)
    endif()
  endif()
endfunction()
