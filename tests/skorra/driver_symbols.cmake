# The driver's dynamic symbol table (or a DLL's export table) holds exactly
# the twelve driver names and CT_describe.
set(expected BinToCHex CHexToBin CT_close CT_describe CT_open CT_reset DESdecrypt DESencrypt DESsubkey
             ICC_message ICC_reset ICC_set_NAD ICC_tsi_api)
include(${CMAKE_CURRENT_LIST_DIR}/../defined_exports.cmake)
tw_defined_exports(defined)
if(NOT defined STREQUAL expected)
  message(FATAL_ERROR "the driver defines ${defined}\n  expected ${expected}")
endif()
message(STATUS "the driver defines the twelve driver names, CT_describe and nothing else")
