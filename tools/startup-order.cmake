# Writes the program's linker script: the linker's own default script, with
# the functions named in ORDER (one symbol a line, "#" lines are comments)
# placed first in the code section, in the order listed. Every function is
# compiled into a section of its own (".text$" and its symbol), which the
# script names; a name no object holds places nothing.
#   cmake -DLINKER=<ld> -DORDER=<list> -DOUT=<script> -P startup-order.cmake

execute_process(COMMAND "${LINKER}" --verbose OUTPUT_VARIABLE verbose RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "startup-order.cmake: ${LINKER} --verbose failed")
endif()
# The default script lies between two lines of "=" signs.
string(REGEX MATCH "\n=+\n(.*)\n=+\n" _ "${verbose}")
set(script "${CMAKE_MATCH_1}")
set(anchor "KEEP (*(SORT_NONE(.init)))")
string(FIND "${script}" "${anchor}" at)
if(script STREQUAL "" OR at EQUAL -1)
  message(FATAL_ERROR "startup-order.cmake: the linker's default script has no \"${anchor}\" in its code section")
endif()

file(STRINGS "${ORDER}" names REGEX "^[^#]")
set(placed "")
foreach(name ${names})
  string(STRIP "${name}" name)
  if(NOT name STREQUAL "")
    string(APPEND placed "    *(.text$${name})\n")
  endif()
endforeach()
string(REPLACE "${anchor}" "${anchor}\n    /* The functions start-up runs (${ORDER}) */\n${placed}" script "${script}")
file(WRITE "${OUT}.new" "${script}")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
