# Checks that a program imports nothing but Windows system DLLs (the C and C++ runtimes
# are linked in statically, so libgcc, libstdc++ or libwinpthread showing up here means
# the program would not start on a bare Windows) and that it stays within a size.
#
#   cmake -DEXE=<program> -DOBJDUMP=<objdump> -DMAX_BYTES=<n> -P check_imports.cmake

cmake_minimum_required(VERSION 3.25)

foreach(var EXE OBJDUMP MAX_BYTES)
    if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
        message(FATAL_ERROR "check_imports: pass -D${var}=...")
    endif()
endforeach()
if(NOT MAX_BYTES MATCHES "^[0-9]+$")
    message(FATAL_ERROR "check_imports: MAX_BYTES must be a number of bytes, not '${MAX_BYTES}'")
endif()
if(NOT EXISTS "${EXE}" OR IS_DIRECTORY "${EXE}")
    message(FATAL_ERROR "check_imports: no program at ${EXE}")
endif()

# Everything a program built here may ask Windows for.
set(system_dlls kernel32 user32 gdi32 comctl32 shell32 wsock32 ws2_32 msvcrt advapi32 ole32)

execute_process(COMMAND "${OBJDUMP}" -p "${EXE}"
    RESULT_VARIABLE result OUTPUT_VARIABLE dump ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "check_imports: ${OBJDUMP} -p ${EXE} failed (${result}):\n${errors}")
endif()

string(REGEX MATCHALL "DLL Name:[^\r\n]*" lines "${dump}")
set(imports "")
foreach(line IN LISTS lines)
    string(REGEX REPLACE "^DLL Name:" "" name "${line}")
    string(STRIP "${name}" name)
    list(APPEND imports "${name}")
endforeach()
list(REMOVE_DUPLICATES imports)
if(imports STREQUAL "")
    # Every Windows program imports at least kernel32: no names at all means objdump's
    # output was not what this script reads.
    message(FATAL_ERROR "check_imports: found no 'DLL Name:' lines in ${OBJDUMP} -p ${EXE}")
endif()

set(foreign "")
foreach(name IN LISTS imports)
    string(TOLOWER "${name}" base)
    string(REGEX REPLACE "\\.dll$" "" base "${base}")
    if(NOT base IN_LIST system_dlls)
        list(APPEND foreign "${name}")
    endif()
endforeach()

file(SIZE "${EXE}" size)
list(JOIN imports ", " import_text)

set(problems "")
if(NOT foreign STREQUAL "")
    list(JOIN foreign ", " foreign_text)
    string(APPEND problems "\n  imports DLLs that are not part of Windows: ${foreign_text}")
endif()
if(size GREATER MAX_BYTES)
    string(APPEND problems "\n  is ${size} bytes, more than the ${MAX_BYTES} allowed")
endif()
if(NOT problems STREQUAL "")
    message(FATAL_ERROR "${EXE}:${problems}\n  (imports: ${import_text})")
endif()

message(STATUS "${EXE}: ${size} bytes (at most ${MAX_BYTES}), imports ${import_text}")
