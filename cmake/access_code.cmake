# The access code: the four hex numbers the uninstaller writes after "Uninstall" on the command line.
# One cache value, checked here so that a mistyped code stops the configure instead of building a tool
# that no uninstaller can start; the numbers reach the gate through the generated access_code.h.

set(XQTI_ACCESS_CODE "3c5,9,4e,2d1f7" CACHE STRING
    "Access code: four comma-separated hex numbers of 3, 1, 2 and 5 digits, no 0x prefix")

set(_xqti_hex "[0-9A-Fa-f]")
set(_xqti_code_pattern
    "^${_xqti_hex}${_xqti_hex}${_xqti_hex},${_xqti_hex},${_xqti_hex}${_xqti_hex},${_xqti_hex}${_xqti_hex}${_xqti_hex}${_xqti_hex}${_xqti_hex}$")
if(NOT XQTI_ACCESS_CODE MATCHES "${_xqti_code_pattern}")
  message(FATAL_ERROR
    "XQTI_ACCESS_CODE is \"${XQTI_ACCESS_CODE}\": it must be four comma-separated hex numbers of exactly "
    "3, 1, 2 and 5 digits, without 0x and without blanks, for example \"3c5,9,4e,2d1f7\".")
endif()

string(REPLACE "," ";" _xqti_code_parts "${XQTI_ACCESS_CODE}")
list(GET _xqti_code_parts 0 XQTI_ACCESS_CODE_1)
list(GET _xqti_code_parts 1 XQTI_ACCESS_CODE_2)
list(GET _xqti_code_parts 2 XQTI_ACCESS_CODE_3)
list(GET _xqti_code_parts 3 XQTI_ACCESS_CODE_4)
configure_file(${CMAKE_SOURCE_DIR}/xqti/run/access_code.h.in ${CMAKE_BINARY_DIR}/generated/access_code.h @ONLY)
