# Compares the dynamic symbols that libtorvik32c.so defines with the list
# kept in the repository, so that a change of the exported surface is made on
# purpose: a changed list fails until the list is updated.
#   cmake -DNM=nm -DLIBRARY=libtorvik32c.so -DLIST=exported_symbols.txt [-DUPDATE=ON]
#         -P check_symbols.cmake
execute_process(COMMAND ${NM} -D --defined-only -C ${LIBRARY}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}: ${err}")
endif()

# "0000000000012345 T torvik::ReadBmf(...)" -> "torvik::ReadBmf(...)"
string(REPLACE ";" "\\;" out "${out}")
string(REPLACE "\n" ";" lines "${out}")
set(found "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] (.+)$")
    list(APPEND found "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(REMOVE_DUPLICATES found)
list(SORT found)

if(UPDATE)
  string(REPLACE ";" "\n" text "${found}")
  file(WRITE ${LIST} "${text}\n")
  message(STATUS "wrote ${LIST}")
  return()
endif()

file(STRINGS ${LIST} expected)
set(added ${found})
list(REMOVE_ITEM added ${expected})
set(removed ${expected})
list(REMOVE_ITEM removed ${found})
if(added OR removed)
  string(REPLACE ";" "\n  " added "${added}")
  string(REPLACE ";" "\n  " removed "${removed}")
  message(FATAL_ERROR "The library's exported symbols differ from ${LIST}.\n"
                      "Exported but not listed:\n  ${added}\n"
                      "Listed but not exported:\n  ${removed}\n"
                      "If the change is meant, rerun with -DUPDATE=ON to rewrite the list.")
endif()
list(LENGTH found count)
message(STATUS "${count} exported symbols, as listed")
