# cmake -DBUILD_DIR=... -DPREFIX=... -DMODULE_DIR=... -DPYTHON=... -P CheckPythonInstall.cmake
# Installs the build tree into PREFIX (emptied first) and imports the installed module from there.
cmake_minimum_required(VERSION 3.25)
foreach(var BUILD_DIR PREFIX MODULE_DIR PYTHON)
    if(NOT ${var})
        message(FATAL_ERROR "CheckPythonInstall.cmake needs -D${var}=...")
    endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()
if(NOT EXISTS "${PREFIX}/${MODULE_DIR}/tamrix.pyi")
    message(FATAL_ERROR "the type stubs are not installed beside the module in ${PREFIX}/${MODULE_DIR}")
endif()

# Run from the prefix, so that nothing of the build tree (or the current folder) can be imported instead.
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "PYTHONPATH=${PREFIX}/${MODULE_DIR}"
                        "${PYTHON}" -c "import tamrix; print(tamrix.__file__)"
                WORKING_DIRECTORY "${PREFIX}" RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output MATCHES "^${PREFIX}/${MODULE_DIR}/tamrix")
    message(FATAL_ERROR "the installed module does not import from ${PREFIX}/${MODULE_DIR}:\n${output}")
endif()
message(STATUS "installed module: ${output}")
