# setup.exe's icon.  resources/icon.txt holds the picture as text; mkicon, a
# small tool built with the host's own compiler, turns it into setup.ico for
# the resource script and icon-preview.png for looking at it.
include(${CMAKE_SOURCE_DIR}/cmake/host-tool.cmake)

add_host_tool(mkicon MKICON)
set(SETUP_ICO ${CMAKE_BINARY_DIR}/setup.ico)
set(ICON_PREVIEW ${CMAKE_BINARY_DIR}/icon-preview.png)

add_custom_command(
    OUTPUT ${SETUP_ICO} ${ICON_PREVIEW}
    COMMAND ${MKICON} ${CMAKE_BINARY_DIR}/described/icon.txt ${SETUP_ICO} ${ICON_PREVIEW}
    DEPENDS ${MKICON} ${CMAKE_BINARY_DIR}/described/icon.txt
    COMMENT "Drawing setup.ico from the disc's icon"
    VERBATIM)
add_custom_target(setup_icon DEPENDS ${SETUP_ICO} ${ICON_PREVIEW})

# setup.rc names "setup.ico"; windres finds it on the target's include path,
# which holds the build directory.
add_dependencies(setup setup_icon)
set_source_files_properties(${SETUP_RC} PROPERTIES OBJECT_DEPENDS ${SETUP_ICO})
