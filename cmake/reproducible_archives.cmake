# Run by cpack after each generator, on the packages it made, so that they
# are the same whoever builds them and wherever. The .tar.gz and the .zip are
# written again from what was packaged, entries in name order and every time
# SOURCE_DATE_EPOCH's (the .tar.gz also owned by root, modes 755 or 644):
# CPack's archives keep the order of the directories on disk. A .deb is put
# together again in deterministic mode (CPack gives its members the builder's
# umask) with its Installed-Size counted as dpkg counts it (CPack counts the
# size each directory has on the build's filesystem).
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  return()  # no time to give them: a build from outside a git checkout
endif()
set(epoch $ENV{SOURCE_DATE_EPOCH})  # cmake -E tar takes it from the environment too
set(ENV{TZ} UTC)                    # a .zip holds local times
get_filename_component(staged ${CPACK_TEMPORARY_DIRECTORY} DIRECTORY)
get_filename_component(top ${CPACK_TEMPORARY_DIRECTORY} NAME)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${package} NAME)
  if(name MATCHES "\\.deb$")
    set(members ${package}.members)
    file(REMOVE_RECURSE ${members})
    file(MAKE_DIRECTORY ${members}/control)
    execute_process(COMMAND ar x ${package} WORKING_DIRECTORY ${members} COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND tar -xzf ../control.tar.gz WORKING_DIRECTORY ${members}/control
                    COMMAND_ERROR_IS_FATAL ANY)
    # Installed-Size as dpkg counts it, a KiB for each directory, rather than
    # the size the build's filesystem gives directories.
    execute_process(COMMAND tar -tvzf data.tar.gz WORKING_DIRECTORY ${members}
                    OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL "(^|\n)[-d][^ ]* +[^ ]+ +[0-9]+" entries "${listing}")
    set(kib 0)
    foreach(entry IN LISTS entries)
      string(REGEX MATCH "[0-9]+$" bytes "${entry}")
      string(STRIP "${entry}" entry)
      if(entry MATCHES "^d")
        set(bytes 1024)
      endif()
      math(EXPR kib "${kib} + (${bytes} + 1023) / 1024")
    endforeach()
    file(READ ${members}/control/control control)
    string(REGEX REPLACE "Installed-Size: [0-9]+" "Installed-Size: ${kib}" control "${control}")
    file(WRITE ${members}/control/control "${control}")
    execute_process(COMMAND tar --create --format=gnu --mtime=@${epoch} --owner=0 --group=0
                            --numeric-owner --mode=u+w,go-w,a+rX ./md5sums ./control
                    COMMAND gzip -9 -n
                    WORKING_DIRECTORY ${members}/control OUTPUT_FILE ${members}/control.tar.gz
                    COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE ${package})
    execute_process(COMMAND ar qcD ${package} debian-binary control.tar.gz data.tar.gz
                    WORKING_DIRECTORY ${members} COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${members})
  elseif(name STREQUAL "${top}.zip")
    file(GLOB_RECURSE files RELATIVE ${staged} ${staged}/${top}/*)
    list(SORT files)
    string(REPLACE ";" "\n" listed "${files}")
    file(WRITE ${staged}/files.txt "${listed}\n")
    file(REMOVE ${package})
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${package} --format=zip --files-from=files.txt
                    WORKING_DIRECTORY ${staged} COMMAND_ERROR_IS_FATAL ANY)
  elseif(name STREQUAL "${top}.tar.gz")
    file(REMOVE ${package})
    execute_process(COMMAND tar --create --sort=name --format=gnu --mtime=@${epoch} --owner=0
                            --group=0 --numeric-owner --mode=u+w,go-w,a+rX ${top}
                    COMMAND gzip -9 -n
                    WORKING_DIRECTORY ${staged} OUTPUT_FILE ${package} COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
