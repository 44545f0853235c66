# setup.exe for x86-64, for machines that cannot run 32-bit programs (a
# kernel without 32-bit emulation), where the Wine tests run it under the
# 64-bit Wine in place of the 32-bit file.  The launcher's own sources,
# linked the ordinary way: the MinGW C runtime's start-up calls WinMain.
# The program shipped on the disc is always the win32 build's.
enable_language(RC)

add_executable(setup WIN32 ${LAUNCHER_SOURCES} ${SETUP_RC})
target_include_directories(setup PRIVATE ${LAUNCHER_INCLUDES} ${CMAKE_CURRENT_BINARY_DIR})
target_compile_options(setup PRIVATE -Wall -Wextra)
# Stripped, with libgcc linked in, so that no DLL of the compiler's is
# needed at run time.
target_link_options(setup PRIVATE -static-libgcc -s)
target_link_libraries(setup PRIVATE kernel32 user32 gdi32 advapi32)
set_target_properties(setup PROPERTIES OUTPUT_NAME setup SUFFIX .exe)

# The icon, the end-to-end tests' programs and the sample disc, as the
# win32 build makes them.
include(${CMAKE_SOURCE_DIR}/resources/icon.cmake)
include(${CMAKE_SOURCE_DIR}/tests/e2e/win32.cmake)
