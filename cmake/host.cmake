# The host build: the launcher's sources and the start-up's command-tail
# search on the simulated platform, and the tests, with AddressSanitizer and
# UndefinedBehaviorSanitizer.
enable_testing()
find_package(GTest REQUIRED)

set(SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

add_library(launcher_sim STATIC
    ${LAUNCHER_SOURCES}
    ${CMDTAIL_SOURCES}
    ${SIM_SOURCES})
target_include_directories(launcher_sim PUBLIC ${LAUNCHER_INCLUDES} platform/host)
target_compile_options(launcher_sim PUBLIC ${SANITIZERS} -Wall -Wextra)
target_link_options(launcher_sim PUBLIC ${SANITIZERS})
# A local the launcher forgets to set holds the same non-zero pattern on
# every run, so that the simulated platform sees the slip every time.
target_compile_options(launcher_sim PRIVATE -ftrivial-auto-var-init=pattern)

add_subdirectory(tests)
