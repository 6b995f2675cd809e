# Run by CPack after the packages are made (CPACK_POST_BUILD_SCRIPTS). CPack
# of CMake 3.25 writes the debug symbol package (-dbgsym, .ddeb)
#  - with md5sums naming the files by the absolute paths of its work folder
#    instead of their paths in the package, and
#  - without /usr/share/doc/<package>-dbgsym, so that it has no copyright
#    and no changelog.
# The package is taken apart, mended as dh_strip makes such packages (the doc
# folder a link to that of the package the symbols belong to), and built
# again. A package that is already right is left as it is.

find_program(DPKG_DEB dpkg-deb REQUIRED)
foreach(file IN LISTS CPACK_PACKAGE_FILES)
  if(NOT file MATCHES "/([^/_]+)-dbgsym_[^/]*\\.ddeb$")
    continue()
  endif()
  set(owner ${CMAKE_MATCH_1})
  set(root ${CPACK_TOPLEVEL_DIRECTORY}/mend-dbgsym)
  file(REMOVE_RECURSE ${root})
  execute_process(COMMAND ${DPKG_DEB} --raw-extract ${file} ${root} COMMAND_ERROR_IS_FATAL ANY)

  file(STRINGS ${root}/DEBIAN/md5sums sums)
  set(mended "")
  foreach(line IN LISTS sums)
    string(REGEX REPLACE "^([0-9a-f]+)  .*/(usr/lib/debug/.*)$" "\\1  \\2" line "${line}")
    string(APPEND mended "${line}\n")
  endforeach()
  file(WRITE ${root}/DEBIAN/md5sums "${mended}")

  # Debug files are data, not programs.
  file(GLOB_RECURSE debugFiles ${root}/usr/lib/debug/*.debug)
  file(CHMOD ${debugFiles} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  if(NOT EXISTS ${root}/usr/share/doc/${owner}-dbgsym)
    file(MAKE_DIRECTORY ${root}/usr/share/doc)
    file(CREATE_LINK ${owner} ${root}/usr/share/doc/${owner}-dbgsym SYMBOLIC)
  endif()

  execute_process(COMMAND ${DPKG_DEB} --root-owner-group -Zgzip --build ${root} ${file}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${root})
endforeach()
