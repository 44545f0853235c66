# The Windows programs of the benchmark (`make bench`), built only on request
# (target bench_programs) into <build>/bench:
#   bench.exe      the console program that measures, under Wine
#   setup_crt.exe  the same launcher, compiled the same way, but linked the
#                  ordinary way: the MinGW C runtime's start-up calls WinMain
#   mindialog.exe  a minimal Win32 program showing a one-button dialog from a
#                  dialog resource of the same kind as the menu's
#   menudialog.exe the same program showing the launcher's menu template
# The benchmark runs setup.exe from the sample disc in <build>/disc, whose
# DirectX stand-in it closes to time the launcher's wait.
set(BENCH_DIR ${CMAKE_SOURCE_DIR}/tests/bench)
set(BENCH_OUT ${CMAKE_BINARY_DIR}/bench)

add_executable(setup_crt WIN32 EXCLUDE_FROM_ALL ${LAUNCHER_SOURCES} ${SETUP_RC})
target_include_directories(setup_crt PRIVATE ${LAUNCHER_INCLUDES} ${CMAKE_BINARY_DIR})
target_compile_options(setup_crt PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${FREESTANDING_COMPILE_OPTIONS}>)
target_link_libraries(setup_crt PRIVATE kernel32 user32 gdi32 advapi32)
if(TARGET setup_icon)
    add_dependencies(setup_crt setup_icon)
endif()

add_executable(mindialog WIN32 EXCLUDE_FROM_ALL ${BENCH_DIR}/mindialog.c ${BENCH_DIR}/mindialog.rc)

# The same minimal program showing the launcher's own menu (dialog 101 of
# setup.rc): what the launcher adds to showing its menu, and no more.
add_executable(menudialog WIN32 EXCLUDE_FROM_ALL ${BENCH_DIR}/mindialog.c ${SETUP_RC})
target_include_directories(menudialog PRIVATE resources ${CMAKE_BINARY_DIR})
if(TARGET setup_icon)
    add_dependencies(menudialog setup_icon)
endif()

add_executable(bench EXCLUDE_FROM_ALL ${BENCH_DIR}/bench.c)
target_link_libraries(bench PRIVATE user32)

foreach(target setup_crt mindialog menudialog bench)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    # Stripped like setup.exe; libgcc linked in, so that no DLL of the
    # compiler's is needed at run time.
    target_link_options(${target} PRIVATE -static-libgcc -s)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${BENCH_OUT} SUFFIX .exe)
endforeach()

add_custom_target(bench_programs DEPENDS setup setup_crt mindialog menudialog bench)
if(TARGET disc)
    add_dependencies(bench_programs disc)
endif()
