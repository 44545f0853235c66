# The Windows programs of the end-to-end tests, and the sample disc.
#   e2e/driver.exe   the test driver (console)
#   e2e/keylock.exe  locks a registry key against reading (console)
#   e2e/dxsetup.exe  stand-in for the DirectX 3a setup   } one source,
#   e2e/z.exe        stand-in for the product installer  } built twice
#   disc/            setup.exe, z.exe, directx/redist/directx/dxsetup.exe
# These use the C runtime; only setup.exe goes without.
set(E2E_DIR ${CMAKE_SOURCE_DIR}/tests/e2e)
set(E2E_OUT ${CMAKE_BINARY_DIR}/e2e)
set(DISC_DIR ${CMAKE_BINARY_DIR}/disc)

add_executable(e2e_driver ${E2E_DIR}/driver.c)
target_link_libraries(e2e_driver PRIVATE user32 gdi32)
target_include_directories(e2e_driver PRIVATE ${CMAKE_BINARY_DIR}/described)
set_target_properties(e2e_driver PROPERTIES OUTPUT_NAME driver)

add_executable(e2e_keylock ${E2E_DIR}/keylock.c)
target_link_libraries(e2e_keylock PRIVATE advapi32)
set_target_properties(e2e_keylock PROPERTIES OUTPUT_NAME keylock)

foreach(standin dxsetup z)
    add_executable(e2e_${standin} WIN32 ${E2E_DIR}/standin.c)
    target_link_libraries(e2e_${standin} PRIVATE user32 gdi32)
    set_target_properties(e2e_${standin} PROPERTIES OUTPUT_NAME ${standin})
endforeach()

foreach(target e2e_driver e2e_keylock e2e_dxsetup e2e_z)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    target_link_options(${target} PRIVATE -static-libgcc -s)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${E2E_OUT} SUFFIX .exe)
endforeach()

# The disc is laid out anew whenever a program on it changes; anything else
# found in it (left by hand) is removed first, so it holds exactly these:
# the launcher, and the stand-ins where the disc description puts the
# DirectX setup and the installer.
set(DISC_FILES ${DISC_DIR}/setup.exe ${DISC_DIR}/${DISC_INSTALLER_PATH} ${DISC_DIR}/${DISC_DIRECTX_SETUP_PATH})
get_filename_component(DISC_INSTALLER_DIR ${DISC_DIR}/${DISC_INSTALLER_PATH} DIRECTORY)
get_filename_component(DISC_DIRECTX_DIR ${DISC_DIR}/${DISC_DIRECTX_SETUP_PATH} DIRECTORY)
add_custom_command(
    OUTPUT ${DISC_FILES}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${DISC_DIR}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${DISC_DIRECTX_DIR} ${DISC_INSTALLER_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:setup> ${DISC_DIR}/setup.exe
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:e2e_z> ${DISC_DIR}/${DISC_INSTALLER_PATH}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:e2e_dxsetup> ${DISC_DIR}/${DISC_DIRECTX_SETUP_PATH}
    DEPENDS setup e2e_z e2e_dxsetup
    COMMENT "Staging the sample disc in ${DISC_DIR}"
    VERBATIM)
add_custom_target(disc ALL DEPENDS ${DISC_FILES})
