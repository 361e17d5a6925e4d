# Runs the configure-time check of the deliverables against the header's
# algorithm table (cmake/SmAlgorithmTable.cmake, in script mode) on the real
# header and on doctored copies of it, and on doctored copies of the CMake
# table: the real pair passes, every doctored one fails and names what differs.
#
#   cmake -DMODULE=cmake/SmAlgorithmTable.cmake -DHEADER=include/smtrace.h
#         -DNAMES=a,b,... -DROUTINES=A,B,... -DKINDS=k,k,... -DWORK_DIR=DIR
#         -P algorithm_table_test.cmake
# NAMES, ROUTINES and KINDS are the build's table, as configured.
cmake_minimum_required(VERSION 3.25)

foreach(variable MODULE HEADER NAMES ROUTINES KINDS WORK_DIR)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "algorithm_table_test: ${variable} is not given")
  endif()
endforeach()
file(READ "${HEADER}" original)
string(REPLACE "," ";" real_names "${NAMES}")
string(REPLACE "," ";" real_routines "${ROUTINES}")
string(REPLACE "," ";" real_kinds "${KINDS}")

# The cases. Fields, separated by |:
#   label | edit | argument | argument | problems | fragment...
# edit, on the header:
#   none                  the header as it is
#   replace FROM TO       FROM (which must occur exactly once) turned into TO
#   remove NAME           the row of NAME left out
#   swap A B              the rows of A and B exchanged
# or on the CMake table (the header as it is):
#   kind NAME KIND        NAME given the kind KIND
#   routine NAME ROUTINE  NAME given the routine ROUTINE
#   drop NAME             NAME left out
# problems is the number of difference lines the check must print (pass: the
# check must succeed and print nothing); each fragment must appear in what it
# prints (white space counts as one blank).
set(raita_row [[F(X, raita, RAITA, "Raita", 0, 1, 1, 0, 1, 1, 1, 0, 0) \
  ]])
set(cases
  "the real tables|none|||pass"
  "a row left out|remove|raita||1|deliverable raita has no row in smtrace.h"
  "a routine renamed|replace|F(X, raita, RAITA,|F(X, raita, RAITA2,|1|raita: routine RAITA in the CMake table, RAITA2 in smtrace.h"
  "two rows exchanged|swap|morris_pratt|not_so_naive|2|the order differs at morris_pratt: row 2 of the CMake table, row 3 of smtrace.h|the order differs at not_so_naive: row 3 of the CMake table, row 2 of smtrace.h"
  "a row moved to the end|swap|turbo_reverse_factor|skip_search|2|the order differs at turbo_reverse_factor: row 1 of the CMake table, row 7 of smtrace.h|the order differs at skip_search: row 7 of the CMake table, row 1 of smtrace.h"
  "a name changed|replace|F(X, tuned_bm,|F(X, tuned_boyer_moore,|2|deliverable tuned_bm has no row in smtrace.h|row tuned_boyer_moore of smtrace.h has no deliverable in the CMake table"
  "a program that is none|replace|\"Turbo Reverse Factor\", 1,|\"Turbo Reverse Factor\", 0,|1|turbo_reverse_factor: kind program+library in the CMake table, but program is 0 in smtrace.h (so the kind is library)"
  "a library that is a program too|replace|\"Skip Search\", 0,|\"Skip Search\", 1,|1|skip_search: kind library in the CMake table, but program is 1 in smtrace.h (so the kind is program+library)"
  "a row added|replace|F(X, raita,|F(X, horspool, HORSPOOL, \"Horspool\", 0, 1, 1, 0, 1, 1, 1, 0, 0) \\\n  F(X, raita,|1|row horspool of smtrace.h has no deliverable in the CMake table"
  "a row twice|replace|F(X, raita,|${raita_row}F(X, raita,|1|raita appears more than once in smtrace.h"
  "a line that is no row|replace|F(X, raita, RAITA,|F(X, raita RAITA,|0|not a row of the algorithm table: F(X, raita RAITA,"
  "no table|replace|define SMTRACE_ALGORITHM_ROWS_(F, X)|define SMTRACE_ROWS_(F, X)|0|has no algorithm table"
  "a kind changed in the CMake table|kind|raita|program+library|1|raita: kind program+library in the CMake table, but program is 0 in smtrace.h (so the kind is library)"
  "a program that is only a program|kind|turbo_reverse_factor|program|1|turbo_reverse_factor: kind program in the CMake table, but program is 1 in smtrace.h (so the kind is program+library)"
  "a routine changed in the CMake table|routine|berry_ravindran|BRX|1|berry_ravindran: routine BRX in the CMake table, BR in smtrace.h"
  "a deliverable left out of the CMake table|drop|not_so_naive||1|row not_so_naive of smtrace.h has no deliverable in the CMake table")

# The line of NAME's row in the header, from the line break before it
# (LINE), and the row itself, without the padding and backslash after it (ROW).
function(row_of name line_var row_var)
  string(REGEX MATCH "\n[ \t]*F\\(X, ${name},[^\n]*" line "${original}")
  string(REGEX MATCH "F\\(X, ${name},[^\n]*\\)" row "${line}")
  if(NOT row)
    message(FATAL_ERROR "algorithm_table_test: no row ${name} in ${HEADER}")
  endif()
  set(${line_var} "${line}" PARENT_SCOPE)
  set(${row_var} "${row}" PARENT_SCOPE)
endfunction()

set(failures 0)
set(number 0)
foreach(case IN LISTS cases)
  math(EXPR number "${number} + 1")
  string(REPLACE "|" ";" fields "${case}")
  list(POP_FRONT fields label edit first second problems)
  set(header "${original}")
  set(names ${real_names})
  set(routines ${real_routines})
  set(kinds ${real_kinds})
  if(edit STREQUAL "replace")
    string(FIND "${header}" "${first}" at)
    string(FIND "${header}" "${first}" last REVERSE)
    if(at EQUAL -1 OR NOT at EQUAL last)
      message(FATAL_ERROR "${label}: \"${first}\" does not occur exactly once in ${HEADER}")
    endif()
    string(REPLACE "${first}" "${second}" header "${header}")
  elseif(edit STREQUAL "remove")
    row_of(${first} line row)
    string(REPLACE "${line}" "" header "${header}")
  elseif(edit STREQUAL "swap")
    row_of(${first} line_a row_a)
    row_of(${second} line_b row_b)
    string(REPLACE "${row_a}" "<row a>" header "${header}")
    string(REPLACE "${row_b}" "${row_a}" header "${header}")
    string(REPLACE "<row a>" "${row_b}" header "${header}")
  elseif(edit MATCHES "^(kind|routine|drop)$")
    list(FIND names ${first} i)
    if(i EQUAL -1)
      message(FATAL_ERROR "${label}: no deliverable ${first} in the CMake table")
    endif()
    if(edit STREQUAL "kind")
      list(REMOVE_AT kinds ${i})
      list(INSERT kinds ${i} ${second})
    elseif(edit STREQUAL "routine")
      list(REMOVE_AT routines ${i})
      list(INSERT routines ${i} ${second})
    else()
      list(REMOVE_AT names ${i})
      list(REMOVE_AT routines ${i})
      list(REMOVE_AT kinds ${i})
    endif()
  elseif(NOT edit STREQUAL "none")
    message(FATAL_ERROR "${label}: unknown edit ${edit}")
  endif()
  if(edit MATCHES "^(replace|remove|swap)$" AND header STREQUAL original)
    message(FATAL_ERROR "${label}: the edit left the header as it was")
  endif()

  set(dir "${WORK_DIR}/${number}")
  file(REMOVE_RECURSE "${dir}")
  file(WRITE "${dir}/smtrace.h" "${header}")
  string(JOIN "," names_joined ${names})
  string(JOIN "," routines_joined ${routines})
  string(JOIN "," kinds_joined ${kinds})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DHEADER=${dir}/smtrace.h -DNAMES=${names_joined}
            -DROUTINES=${routines_joined} -DKINDS=${kinds_joined} -P ${MODULE}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REGEX REPLACE "[ \t\n]+" " " flat "${err}")
  string(REGEX MATCHALL "\n    [^ ][^\n]*" lines "\n${err}")
  list(LENGTH lines printed)

  set(wrong)
  if(problems STREQUAL "pass")
    if(NOT status EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
      set(wrong "expected the check to pass silently; status ${status}, printed:\n${out}${err}")
    endif()
  else()
    if(status EQUAL 0)
      set(wrong "expected the check to fail; it passed")
    elseif(NOT printed EQUAL problems)
      set(wrong "expected ${problems} difference lines, got ${printed}:\n${err}")
    endif()
    foreach(fragment IN LISTS fields)
      string(REGEX REPLACE "[ \t\n]+" " " fragment "${fragment}")
      string(FIND "${flat}" "${fragment}" found)
      if(found EQUAL -1)
        string(APPEND wrong "\nexpected \"${fragment}\" in:\n${err}")
      endif()
    endforeach()
  endif()
  if(wrong)
    message("FAIL ${label}: ${wrong}")
    math(EXPR failures "${failures} + 1")
  else()
    message("ok   ${label}")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "algorithm_table_test: ${failures} of ${number} cases failed")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
