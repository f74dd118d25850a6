# Checks that the first call a program's entry function makes is the given
# one (the process hardening, before anything can load a DLL), from the
# program's disassembly.  GCC's own start-up call (__main) does not count.
#   cmake -DOBJDUMP=... -DPROGRAM=... -DENTRY=WinMain -DFIRST=<symbol> -P first_call.cmake
execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${PROGRAM}
                OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} cannot disassemble ${PROGRAM}")
endif()
string(FIND "${listing}" "<${ENTRY}>:\n" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${PROGRAM}: no function ${ENTRY} in the disassembly")
endif()
string(SUBSTRING "${listing}" ${start} -1 body)
string(FIND "${body}" "\n\n" end)
string(SUBSTRING "${body}" 0 ${end} body)
string(REGEX MATCHALL "call[^\n]*<[^>\n]+>" calls "${body}")
set(first "")
foreach(call IN LISTS calls)
  string(REGEX REPLACE ".*<([^>]+)>" "\\1" target "${call}")
  if(NOT target STREQUAL "__main")
    set(first "${target}")
    break()
  endif()
endforeach()
if(NOT first STREQUAL FIRST)
  message(FATAL_ERROR "${PROGRAM}: ${ENTRY} calls ${first} first, not ${FIRST}")
endif()
message(STATUS "${PROGRAM}: ${ENTRY} calls ${FIRST} first")
