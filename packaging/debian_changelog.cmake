# Writes the Debian changelog of the package from NEWS.md, so that the
# project's history is kept in one place:
#
#   cmake -DNEWS=NEWS.md -DOUTPUT=changelog -DPACKAGE=mendrik
#         -DMAINTAINER="Name <address>" -P debian_changelog.cmake
#
# NEWS.md has a "## VERSION (YYYY-MM-DD)" heading for each version, newest
# first, and under it "- " items, continued on lines indented by two spaces.

file(READ ${NEWS} news)
# Lists in CMake split at semicolons; keep the text's own out of their way.
string(ASCII 1 semicolon_mark)
string(REPLACE ";" "${semicolon_mark}" news "${news}")
string(REGEX MATCHALL "[^\n]*\n" lines "${news}")

set(day_names Sun Mon Tue Wed Thu Fri Sat)
set(month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(month_offsets 0 3 2 5 0 3 5 1 4 6 2 4)

# RFC 5322 date of midnight UTC, as dpkg-parsechangelog wants it.
function(rfc_date year month day out)
  math(EXPR month_index "${month} - 1")
  list(GET month_offsets ${month_index} offset)
  set(y ${year})
  if(month LESS 3)
    math(EXPR y "${y} - 1")
  endif()
  math(EXPR weekday
       "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${offset} + ${day}) % 7")
  list(GET day_names ${weekday} day_name)
  list(GET month_names ${month_index} month_name)
  set(${out} "${day_name}, ${day} ${month_name} ${year} 00:00:00 +0000"
      PARENT_SCOPE)
endfunction()

set(changelog "")
set(trailer "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "\n$" "" line "${line}")
  if(line MATCHES "^## ([^ ]+) \\(([0-9]+)-0?([0-9]+)-0?([0-9]+)\\)$")
    set(version ${CMAKE_MATCH_1})
    rfc_date(${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4} date)
    string(APPEND changelog "${trailer}"
           "${PACKAGE} (${version}) unstable; urgency=medium\n\n")
    set(trailer "\n -- ${MAINTAINER}  ${date}\n\n")
  elseif(trailer STREQUAL "")
    # The title and the introduction before the first version.
  elseif(line MATCHES "^- (.*)")
    string(APPEND changelog "  * ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^  (.*)")
    string(APPEND changelog "    ${CMAKE_MATCH_1}\n")
  elseif(NOT line STREQUAL "")
    message(FATAL_ERROR "NEWS.md: cannot place this line: ${line}")
  endif()
endforeach()
if(trailer STREQUAL "")
  message(FATAL_ERROR "NEWS.md names no version")
endif()
string(REGEX REPLACE "\n\n$" "\n" trailer "${trailer}")
string(APPEND changelog "${trailer}")
string(REPLACE "${semicolon_mark}" ";" changelog "${changelog}")
file(WRITE ${OUTPUT} "${changelog}")
