# The algorithm table of include/smtrace.h (the rows of SMTRACE_ALGORITHM_ROWS_)
# and the check that the build's table of deliverables agrees with it.
#
# sm_read_algorithm_table(HEADER NAMES_VAR ROUTINES_VAR PROGRAMS_VAR)
#   Sets the three variables to the header's rows, in order: each row's name,
#   routine and program flag (0 or 1). A table that cannot be read, or a line
#   inside it that is not a row, is a fatal error.
#
# sm_check_algorithm_table(HEADER NAMES ROUTINES KINDS)
#   NAMES, ROUTINES and KINDS are the CMake table (the sm_deliverable rows), as
#   lists. They agree with the header when both have the same names in the
#   same order, each name has the same routine in both, and the kind is
#   program+library exactly where the header's program is 1 (library
#   elsewhere). Any difference is a fatal error that names it.
#
# The check also runs as a script:
#   cmake -DHEADER=include/smtrace.h -DNAMES=a,b -DROUTINES=A,B -DKINDS=library,library
#         -P cmake/SmAlgorithmTable.cmake
# with the three lists separated by commas; it prints nothing and exits with
# status 0 when the tables agree.
include_guard(GLOBAL)
# The policies of this CMake version, within this file (and, in script mode,
# without a project).
cmake_policy(VERSION 3.25)

function(sm_read_algorithm_table header names_var routines_var programs_var)
  if(NOT EXISTS "${header}")
    message(FATAL_ERROR "no header ${header}")
  endif()
  file(READ "${header}" text)
  set(definition "#define SMTRACE_ALGORITHM_ROWS_(F, X)")
  string(FIND "${text}" "${definition}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${header} has no algorithm table (no line \"${definition}\")")
  endif()
  string(SUBSTRING "${text}" 0 ${at} before)
  string(REGEX MATCHALL "\n" newlines "${before}")
  list(LENGTH newlines line_number)
  math(EXPR line_number "${line_number} + 1")

  # The macro runs from its #define line to the first line that does not end
  # with a backslash. Characters that would split or join list elements are
  # masked first; a row never holds them.
  string(SUBSTRING "${text}" ${at} -1 rest)
  string(REPLACE ";" "<semicolon>" rest "${rest}")
  string(REPLACE "[" "<open>" rest "${rest}")
  string(REPLACE "]" "<close>" rest "${rest}")
  string(REGEX MATCHALL "[^\n]*\n" lines "${rest}\n")

  set(row "^[ \t]*F\\(X,[ \t]*([A-Za-z_][A-Za-z0-9_]*),[ \t]*([A-Za-z_][A-Za-z0-9_]*),[ \t]*\"[^\"]*\",[ \t]*([01]),[^()]*\\)$")
  set(names)
  set(routines)
  set(programs)
  set(first TRUE)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "\n$" "" line "${line}")
    set(continued FALSE)
    if(line MATCHES "\\\\[ \t]*$")
      set(continued TRUE)
      string(REGEX REPLACE "[ \t]*\\\\[ \t]*$" "" line "${line}")
    endif()
    if(first)
      string(LENGTH "${definition}" length)
      string(SUBSTRING "${line}" ${length} -1 after)
      if(NOT after MATCHES "^[ \t]*$")
        message(FATAL_ERROR "${header}:${line_number}: the table's rows start on the line after \"${definition}\"")
      endif()
      set(first FALSE)
    elseif(line MATCHES "${row}")
      list(APPEND names ${CMAKE_MATCH_1})
      list(APPEND routines ${CMAKE_MATCH_2})
      list(APPEND programs ${CMAKE_MATCH_3})
    elseif(NOT line MATCHES "^[ \t]*$")
      message(FATAL_ERROR "${header}:${line_number}: not a row of the algorithm table: ${line}")
    endif()
    if(NOT continued)
      break()
    endif()
    math(EXPR line_number "${line_number} + 1")
  endforeach()
  if(NOT names)
    message(FATAL_ERROR "${header}: the algorithm table has no rows")
  endif()
  set(${names_var} ${names} PARENT_SCOPE)
  set(${routines_var} ${routines} PARENT_SCOPE)
  set(${programs_var} ${programs} PARENT_SCOPE)
endfunction()

function(sm_check_algorithm_table header names routines kinds)
  sm_read_algorithm_table("${header}" header_names header_routines header_programs)
  get_filename_component(header_file "${header}" NAME)
  set(ours "the CMake table")
  set(theirs "${header_file}")
  set(problems)
  set(duplicated FALSE)

  list(LENGTH names count)
  list(LENGTH routines routine_count)
  list(LENGTH kinds kind_count)
  if(NOT count EQUAL routine_count OR NOT count EQUAL kind_count)
    message(FATAL_ERROR "${ours} has ${count} names, ${routine_count} routines and ${kind_count} kinds")
  endif()

  foreach(side ours theirs)
    if(side STREQUAL "ours")
      set(list ${names})
    else()
      set(list ${header_names})
    endif()
    set(seen)
    foreach(name IN LISTS list)
      if(name IN_LIST seen)
        list(APPEND problems "${name} appears more than once in ${${side}}")
        set(duplicated TRUE)
      endif()
      list(APPEND seen ${name})
    endforeach()
  endforeach()

  set(common)
  foreach(name IN LISTS names)
    if(NOT name IN_LIST header_names)
      list(APPEND problems "deliverable ${name} has no row in ${theirs}")
    else()
      list(APPEND common ${name})
    endif()
  endforeach()
  set(header_common)
  foreach(name IN LISTS header_names)
    if(NOT name IN_LIST names)
      list(APPEND problems "row ${name} of ${theirs} has no deliverable in ${ours}")
    else()
      list(APPEND header_common ${name})
    endif()
  endforeach()

  foreach(name IN LISTS common)
    list(FIND names ${name} i)
    list(FIND header_names ${name} j)
    list(GET routines ${i} routine)
    list(GET kinds ${i} kind)
    list(GET header_routines ${j} header_routine)
    list(GET header_programs ${j} program)
    if(NOT routine STREQUAL header_routine)
      list(APPEND problems "${name}: routine ${routine} in ${ours}, ${header_routine} in ${theirs}")
    endif()
    if(program STREQUAL "1")
      set(expected "program+library")
    else()
      set(expected "library")
    endif()
    if(NOT kind STREQUAL expected)
      list(APPEND problems
           "${name}: kind ${kind} in ${ours}, but program is ${program} in ${theirs} (so the kind is ${expected})")
    endif()
  endforeach()

  # The order, among the names both tables hold once: each name that stands
  # elsewhere relative to the others.
  if(NOT duplicated)
    foreach(name IN LISTS common)
      list(FIND common ${name} i)
      list(FIND header_common ${name} j)
      if(NOT i EQUAL j)
        list(FIND names ${name} row)
        list(FIND header_names ${name} header_row)
        math(EXPR row "${row} + 1")
        math(EXPR header_row "${header_row} + 1")
        list(APPEND problems "the order differs at ${name}: row ${row} of ${ours}, row ${header_row} of ${theirs}")
      endif()
    endforeach()
  endif()

  if(problems)
    # Each line indented, so that CMake prints it as it is.
    list(TRANSFORM problems PREPEND "  ")
    string(JOIN "\n" lines ${problems})
    message(FATAL_ERROR "The table of deliverables (the sm_deliverable rows) and the algorithm table of ${header} differ:\n${lines}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  foreach(variable HEADER NAMES ROUTINES KINDS)
    if(NOT DEFINED ${variable})
      message(FATAL_ERROR "usage: cmake -DHEADER=FILE -DNAMES=A,B,... -DROUTINES=A,B,... "
                          "-DKINDS=A,B,... -P ${CMAKE_CURRENT_LIST_FILE}")
    endif()
  endforeach()
  string(REPLACE "," ";" names "${NAMES}")
  string(REPLACE "," ";" routines "${ROUTINES}")
  string(REPLACE "," ";" kinds "${KINDS}")
  sm_check_algorithm_table("${HEADER}" "${names}" "${routines}" "${kinds}")
endif()
