# Read by cpack before it builds the package (CPACK_PROJECT_CONFIG_FILE). Unless the
# environment sets SOURCE_DATE_EPOCH already, sets it to the time of the top entry of the
# changelog, as Debian's own package builds do. CPack then gives every file in the
# package, and the members of the .deb archive itself, that time instead of the time of
# the build; with gzip -n (prepare_package.cmake), which stores no time at all, the
# package's bytes depend on the sources alone.

# tagtree_changelog_epoch(CHANGELOG VAR): sets VAR to the time of the top entry of
# CHANGELOG, in seconds since 1970-01-01 00:00 UTC. Fails when the entry's trailer line
# has no date of the form "Tue, 08 Dec 2026 17:00:00 +0000".
function(tagtree_changelog_epoch changelog var)
  file(STRINGS "${changelog}" trailers REGEX "^ -- ")
  if(NOT trailers)
    message(FATAL_ERROR "${changelog} has no trailer line (' -- NAME <EMAIL>  DATE')")
  endif()
  list(GET trailers 0 trailer)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  string(REPLACE ";" "|" month "${months}")
  set(date "[A-Z][a-z][a-z], ([0-9][0-9]?) (${month}) ([0-9][0-9][0-9][0-9])")
  set(time "([0-9][0-9]):([0-9][0-9]):([0-9][0-9]) ([+-])([0-9][0-9])([0-9][0-9])")
  if(NOT trailer MATCHES "^ -- .*>  ${date} ${time}$")
    message(FATAL_ERROR "${changelog}: the top entry's trailer has no date of the form "
                        "'Tue, 08 Dec 2026 17:00:00 +0000': '${trailer}'")
  endif()
  set(d ${CMAKE_MATCH_1})
  list(FIND months ${CMAKE_MATCH_2} m)
  set(y ${CMAKE_MATCH_3})
  set(clock "${CMAKE_MATCH_4} * 3600 + ${CMAKE_MATCH_5} * 60 + ${CMAKE_MATCH_6}")
  set(offset "${CMAKE_MATCH_7}(${CMAKE_MATCH_8} * 3600 + ${CMAKE_MATCH_9} * 60)")
  # Days since 1970-01-01 of the civil date y-m-d, counted in years that start in March,
  # so that the leap day is the last day of a year.
  if(m LESS 2)
    math(EXPR y "${y} - 1")
    math(EXPR m "${m} + 10") # January is month 10 of the year before, February 11
  else()
    math(EXPR m "${m} - 2") # March is month 0
  endif()
  math(EXPR era "${y} / 400")
  math(EXPR year_of_era "${y} - ${era} * 400")
  math(EXPR day_of_year "(153 * ${m} + 2) / 5 + ${d} - 1")
  math(EXPR day_of_era "${year_of_era} * 365 + ${year_of_era} / 4 - ${year_of_era} / 100 \
                        + ${day_of_year}")
  math(EXPR days "${era} * 146097 + ${day_of_era} - 719468")
  math(EXPR epoch "${days} * 86400 + ${clock} - ${offset}")
  set(${var} ${epoch} PARENT_SCOPE)
endfunction()

tagtree_changelog_epoch("${CPACK_TAGTREE_CHANGELOG}" changelog_epoch)
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${changelog_epoch})
  message(STATUS "SOURCE_DATE_EPOCH=${changelog_epoch}, the time of the changelog's top entry")
endif()
