# Compares the names the library exports (its defined dynamic symbols, or
# a DLL's export table) with the functions the public header declares:
# exactly the 51 exports, nothing else of its own.
file(READ ${HEADER} header)
string(REGEX MATCHALL "TW_API [^;(]*[ *]([A-Za-z_0-9]+)\\(" decls "${header}")
set(declared)
foreach(d IN LISTS decls)
  string(REGEX REPLACE ".*[ *]([A-Za-z_0-9]+)\\($" "\\1" name "${d}")
  list(APPEND declared ${name})
endforeach()
list(LENGTH declared declared_count)
if(NOT declared_count EQUAL 51)
  message(FATAL_ERROR "the header declares ${declared_count} functions, not 51: ${declared}")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/defined_exports.cmake)
tw_defined_exports(defined)

set(expected ${declared})
list(SORT expected)
if(NOT defined STREQUAL expected)
  message(FATAL_ERROR "exported names differ\n  defined:  ${defined}\n  expected: ${expected}")
endif()
list(LENGTH defined n)
message(STATUS "${n} exports defined, as expected")
