# Small tools the build runs on the build machine, each one C++ file in
# tools/ built with the host's own compiler (the project's compiler may be
# a cross compiler).
include_guard(GLOBAL)
find_program(HOST_CXX NAMES c++ g++ REQUIRED DOC "Host C++ compiler for build-time tools")

# add_host_tool(NAME VARIABLE): builds tools/NAME.cpp into the build
# directory, sets VARIABLE to the program's path in the caller's scope,
# and adds the target NAME_tool that builds it.
function(add_host_tool name variable)
    set(tool ${CMAKE_BINARY_DIR}/${name})
    add_custom_command(
        OUTPUT ${tool}
        COMMAND ${HOST_CXX} -std=c++17 -O2 -Wall -Wextra -o ${tool} ${CMAKE_SOURCE_DIR}/tools/${name}.cpp
        DEPENDS ${CMAKE_SOURCE_DIR}/tools/${name}.cpp
        COMMENT "Building host tool ${name}"
        VERBATIM)
    add_custom_target(${name}_tool DEPENDS ${tool})
    set(${variable} ${tool} PARENT_SCOPE)
endfunction()
