# +--------------------------------------------------------------------------+
# | imports.cmake -- the Windows program imports only Windows' known DLLs    |
# |                                                                          |
# |   cmake -DOBJDUMP=<x86_64-w64-mingw32-objdump> -DPROGRAM=<exe>           |
# |         -P imports.cmake                                                 |
# |                                                                          |
# | A known DLL always comes from the system folder. Any other DLL named in  |
# | the import table is looked for beside the program first, in a Downloads  |
# | folder where anyone may have put a file of that name, before our code    |
# | runs: such a DLL must be delay-loaded (cmake/delay_load.cmake) instead.  |
# +--------------------------------------------------------------------------+

cmake_minimum_required(VERSION 3.25)

# The KnownDLLs list of current Windows releases (Session Manager\KnownDLLs).
set(known advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32
    kernelbase msctf msvcrt normaliz nsi ntdll ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore
    shell32 shlwapi user32 wldap32 ws2_32)

execute_process(COMMAND "${OBJDUMP}" -p "${PROGRAM}" OUTPUT_VARIABLE dump RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "objdump could not read ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
if(NOT names)
  message(FATAL_ERROR "no import table found in ${PROGRAM}")
endif()
set(foreign)
foreach(entry IN LISTS names)
  string(REGEX REPLACE "DLL Name: ([^ \n]+)" "\\1" dll "${entry}")
  string(TOLOWER "${dll}" dll)
  string(REGEX REPLACE "\\.dll$" "" base "${dll}")
  if(NOT base IN_LIST known)
    list(APPEND foreign "${dll}")
  endif()
endforeach()
if(foreign)
  message(FATAL_ERROR "imported at load time but not a known DLL (delay-load it): ${foreign}")
endif()
string(REPLACE "DLL Name: " "" names "${names}")
message(STATUS "imports: ${names}")
