# Warnings for the project's own code (not for GoogleTest's): on, and errors.
add_library(brelmo_warnings INTERFACE)
target_compile_options(brelmo_warnings INTERFACE
    "$<$<COMPILE_LANGUAGE:CXX>:-Wall;-Wextra;-Wpedantic;-Wshadow;-Wconversion;-Werror>")

# brelmo_add_program(<target> PRIMARY <host> SECONDARY <host> PORT <port>)
#
# Links BrelmoTime.exe, or a copy of it that asks other time servers: the window, the
# workers and the query are shared; only the server list is compiled per program.
function(brelmo_add_program target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "PRIMARY;SECONDARY;PORT" "")
    add_executable(${target} WIN32
        $<TARGET_OBJECTS:brelmo_app>
        ${PROJECT_SOURCE_DIR}/src/nettime/time_servers.cpp
        ${PROJECT_SOURCE_DIR}/res/BrelmoTime.rc)
    target_compile_definitions(${target} PRIVATE
        "TIME_SERVER_PRIMARY=\"${arg_PRIMARY}\""
        "TIME_SERVER_SECONDARY=\"${arg_SECONDARY}\""
        "TIME_SERVER_PORT=${arg_PORT}")
    target_include_directories(${target} PRIVATE
        ${PROJECT_SOURCE_DIR}/res ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(${target} PRIVATE brelmo_app nettime brelmo_warnings)
    brelmo_small_binary(${target})
endfunction()

# Size flags and a static runtime, so that a program imports only system DLLs.
function(brelmo_small_binary target)
    target_compile_options(${target} PRIVATE
        "$<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions;-fno-rtti;-fno-asynchronous-unwind-tables>")
    target_link_options(${target} PRIVATE -static -s -Wl,--gc-sections)
endfunction()
