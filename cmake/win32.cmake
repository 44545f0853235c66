# setup.exe: a 32-bit GUI program with its own start-up and no C runtime,
# importing from KERNEL32, USER32, GDI32 and ADVAPI32 alone, for Windows 95
# and later, on a Pentium.
enable_language(RC)

set(FREESTANDING_COMPILE_OPTIONS
    -Os -march=pentium -mtune=pentium -mno-mmx -mno-sse
    -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
    -fno-stack-protector -fno-stack-check -mno-stack-arg-probe
    -ffunction-sections -fno-ident
    -Wall -Wextra)
set(FREESTANDING_LINK_OPTIONS
    -nostdlib -s
    -Wl,-T,${CMAKE_SOURCE_DIR}/platform/win32/setup.ld
    -Wl,--subsystem,windows:4.0
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--gc-sections
    -Wl,--file-alignment,512 -Wl,--section-alignment,4096
    -Wl,--disable-dynamicbase -Wl,--disable-reloc-section
    -Wl,--no-insert-timestamp)

add_executable(setup WIN32
    ${LAUNCHER_SOURCES}
    ${CMDTAIL_SOURCES}
    platform/win32/startup.cpp
    ${SETUP_RC})
target_include_directories(setup PRIVATE ${LAUNCHER_INCLUDES} ${CMAKE_CURRENT_BINARY_DIR})
target_compile_options(setup PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${FREESTANDING_COMPILE_OPTIONS}>)
target_link_options(setup PRIVATE ${FREESTANDING_LINK_OPTIONS})
target_link_libraries(setup PRIVATE kernel32 user32 gdi32 advapi32)
set_target_properties(setup PROPERTIES LINK_DEPENDS ${CMAKE_SOURCE_DIR}/platform/win32/setup.ld)
set_target_properties(setup PROPERTIES OUTPUT_NAME setup SUFFIX .exe)

# The icon, drawn as text and turned into setup.ico by a small host tool.
include(${CMAKE_SOURCE_DIR}/resources/icon.cmake)

# Started from the disc, setup.exe waits there while the DirectX setup runs,
# its window minimised, which on Windows NT trims its pages out of memory.
# Marked to run from the swap file, it is copied there when it starts, and
# no page of it is read from the disc again: a disc taken out meanwhile
# cannot make it fail.  Windows 95 ignores the mark.  GNU ld has no option
# for it, so a small host tool sets it after the link.
include(${CMAKE_SOURCE_DIR}/cmake/host-tool.cmake)
add_host_tool(runfromswap RUNFROMSWAP)
add_dependencies(setup runfromswap_tool)
add_custom_command(TARGET setup POST_BUILD COMMAND ${RUNFROMSWAP} $<TARGET_FILE:setup> VERBATIM)
# The Windows programs of the end-to-end tests.
include(${CMAKE_SOURCE_DIR}/tests/e2e/win32.cmake)
# The programs of the benchmark (`make bench`), built only on request.
include(${CMAKE_SOURCE_DIR}/tests/bench/win32.cmake)
