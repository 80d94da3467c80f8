# cmake -DBUILD_DIR=... -DPREFIX=... [-DDESKTOP_FILE_VALIDATE=...] [-DMODULE_DIR=... -DPYTHON=...]
#       -P CheckInstall.cmake
# Installs the build tree into PREFIX (emptied first, so nothing of an earlier run counts) and checks
# the installed files; with MODULE_DIR, also that the Python module imports from there.
cmake_minimum_required(VERSION 3.25)
foreach(var BUILD_DIR PREFIX)
    if(NOT ${var})
        message(FATAL_ERROR "CheckInstall.cmake needs -D${var}=...")
    endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

set(expected
    bin/tamrix-control
    bin/tamrix-cli
    bin/tamrix-sim
    share/applications/tamrix-control.desktop
    share/icons/hicolor/scalable/apps/tamrix-control.svg)
set(missing "")
foreach(file IN LISTS expected)
    if(NOT EXISTS "${PREFIX}/${file}")
        list(APPEND missing "${file}")
    endif()
endforeach()
if(missing)
    message(FATAL_ERROR "not installed under ${PREFIX}: ${missing}")
endif()

# The installed copies run on their own (no path into the build tree).
foreach(program tamrix-control tamrix-cli tamrix-sim)
    if(program STREQUAL "tamrix-control")
        set(argument --version)
    else()
        set(argument --help)
    endif()
    execute_process(COMMAND "${PREFIX}/bin/${program}" ${argument} RESULT_VARIABLE result
                    OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 30)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "installed ${program} ${argument} failed (${result}):\n${output}")
    endif()
endforeach()

# The menu entry names the installed program and icon.
set(desktop "${PREFIX}/share/applications/tamrix-control.desktop")
file(STRINGS "${desktop}" entries)
foreach(entry "Exec=tamrix-control" "Icon=tamrix-control")
    if(NOT entry IN_LIST entries)
        message(FATAL_ERROR "${desktop} lacks the line \"${entry}\"")
    endif()
endforeach()

if(DESKTOP_FILE_VALIDATE)
    execute_process(COMMAND "${DESKTOP_FILE_VALIDATE}" "${desktop}" RESULT_VARIABLE result
                    OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0 OR output MATCHES "error:")
        message(FATAL_ERROR "desktop-file-validate refused ${desktop}:\n${output}")
    endif()
    message(STATUS "desktop-file-validate: ${desktop} is valid")
else()
    message(STATUS "desktop-file-validate not found: the menu entry was not validated")
endif()
if(MODULE_DIR)
    if(NOT EXISTS "${PREFIX}/${MODULE_DIR}/tamrix.pyi")
        message(FATAL_ERROR "the type stubs are not installed beside the module in ${PREFIX}/${MODULE_DIR}")
    endif()
    # Run from the prefix, so that nothing of the build tree (or the current folder) can be imported.
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env "PYTHONPATH=${PREFIX}/${MODULE_DIR}"
                            "${PYTHON}" -c "import tamrix; print(tamrix.__file__)"
                    WORKING_DIRECTORY "${PREFIX}" RESULT_VARIABLE result OUTPUT_VARIABLE output
                    ERROR_VARIABLE output)
    if(NOT result EQUAL 0 OR NOT output MATCHES "^${PREFIX}/${MODULE_DIR}/tamrix")
        message(FATAL_ERROR "the installed module does not import from ${PREFIX}/${MODULE_DIR}:\n${output}")
    endif()
    message(STATUS "installed module: ${output}")
endif()
message(STATUS "installed and checked under ${PREFIX}")
