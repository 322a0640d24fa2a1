# drop-ldconfig-scripts.cmake - run by CPack once the packages are written: takes out the postinst
# and postrm scripts that CPack adds to a package with a library under /usr/lib. They only call
# ldconfig, which dpkg's ldconfig trigger (packaging/triggers) already does once per dpkg run, and a
# package without maintainer scripts also installs into a bare root (dpkg --root).
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  set(dropped FALSE)
  foreach(script IN ITEMS postinst postrm)
    if(EXISTS ${tree}/DEBIAN/${script})
      file(READ ${tree}/DEBIAN/${script} text)
      # Anything but CPack's ldconfig call is someone's script, and stays.
      string(REGEX REPLACE "#!/bin/sh|set -e|if \\[ \"\\$1\" = \"(configure|remove)\" \\]; then|ldconfig|fi|[ \t\n]" "" rest "${text}")
      if(NOT rest STREQUAL "")
        message(FATAL_ERROR "${deb}: ${script} does more than call ldconfig:\n${text}")
      endif()
      file(REMOVE ${tree}/DEBIAN/${script})
      set(dropped TRUE)
    endif()
  endforeach()
  if(dropped)
    execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${deb}
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
