# Read by cpack before it builds the package (CPACK_PROJECT_CONFIG_FILE). Unless the
# environment sets SOURCE_DATE_EPOCH already, sets it to the time of the top entry of the
# changelog, as Debian's own package builds do, and with the same tool:
# dpkg-parsechangelog, from dpkg-dev, which building the package needs anyway. CPack then
# gives every file in the package, and the members of the .deb archive itself, that time
# instead of the time of the build; with gzip -n (prepare_package.cmake), which stores no
# time at all, the package's bytes depend on the sources alone.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND dpkg-parsechangelog -l "${CPACK_TAGTREE_CHANGELOG}" -STimestamp
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
    message(FATAL_ERROR "dpkg-parsechangelog (from dpkg-dev) found no time in the top entry "
                        "of ${CPACK_TAGTREE_CHANGELOG}: ${status}")
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
  message(STATUS "SOURCE_DATE_EPOCH=${epoch}, the time of the changelog's top entry")
endif()
