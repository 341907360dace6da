# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) on the staged files before it packs them, doing
# what debhelper would: strips the commands as dh_strip does, compresses the man pages and the
# changelog with gzip -9n, adds the lintian overrides, and gives every directory and file
# the usual modes whatever the umask. Fails when the changelog has no entry for the
# package's version.
file(STRINGS "${CPACK_TAGTREE_CHANGELOG}" top LIMIT_COUNT 1)
if(NOT top MATCHES "^tagtree \\(${CPACK_PACKAGE_VERSION}\\) ")
  message(FATAL_ERROR "${CPACK_TAGTREE_CHANGELOG} does not start with an entry for version "
                      "${CPACK_PACKAGE_VERSION}, the project's version")
endif()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}")
  endif()
endfunction()

set(stage "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
set(root "${stage}${CPACK_PACKAGING_INSTALL_PREFIX}")
list(TRANSFORM CPACK_TAGTREE_COMMANDS PREPEND "${root}/${CPACK_TAGTREE_BINDIR}/"
     OUTPUT_VARIABLE tools)

# A plain strip keeps .comment (the compiler's version) and .note, which nothing needs.
foreach(tool ${tools})
  run("${CPACK_TAGTREE_STRIP}" --remove-section=.comment --remove-section=.note "${tool}")
endforeach()
foreach(page ${CPACK_TAGTREE_COMMANDS})
  run(gzip -9n "${root}/${CPACK_TAGTREE_MANDIR}/man1/${page}.1")
endforeach()
run(gzip -9n "${root}/${CPACK_TAGTREE_DOCDIR}/changelog")
file(MAKE_DIRECTORY "${root}/share/lintian/overrides")
file(COPY_FILE "${CPACK_TAGTREE_LINTIAN_OVERRIDES}" "${root}/share/lintian/overrides/tagtree")

file(GLOB_RECURSE files LIST_DIRECTORIES false "${stage}/*")
file(GLOB_RECURSE directories LIST_DIRECTORIES true "${stage}/*")
list(REMOVE_ITEM directories ${files})
file(CHMOD ${files} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(CHMOD ${tools} ${directories} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
     GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
