# Installs the built library into a scratch prefix, then builds and runs a consumer against it
# twice: once through the CMake package, once through pkg-config.
#
# cmake -DEXECUTOR_BUILD_DIR=... -DEXECUTOR_SOURCE_DIR=... -DEXECUTOR_SCRATCH_DIR=...
#       [-DEXECUTOR_GENERATOR=...] [-DEXECUTOR_MAKE_PROGRAM=...] [-DEXECUTOR_CXX_COMPILER=...]
#       [-DEXECUTOR_CONFIG=...] -P run_consumer.cmake

cmake_minimum_required(VERSION 3.20)

foreach(var EXECUTOR_BUILD_DIR EXECUTOR_SOURCE_DIR EXECUTOR_SCRATCH_DIR)
    if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
        message(FATAL_ERROR "run_consumer.cmake: ${var} is not set")
    endif()
endforeach()

set(prefix "${EXECUTOR_SCRATCH_DIR}/prefix")
set(consumer_src "${EXECUTOR_SOURCE_DIR}/tests/package/consumer")
set(consumer_build "${EXECUTOR_SCRATCH_DIR}/consumer-build")
set(pkgconfig_exe "${EXECUTOR_SCRATCH_DIR}/consumer-pkgconfig")

# A stale prefix could hide a file the install no longer provides.
file(REMOVE_RECURSE "${EXECUTOR_SCRATCH_DIR}")
file(MAKE_DIRECTORY "${EXECUTOR_SCRATCH_DIR}")

function(run_step name)
    execute_process(COMMAND ${ARGN}
        RESULT_VARIABLE rc
        OUTPUT_VARIABLE out
        ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "package step '${name}' failed (${rc}):\n${ARGN}\n${out}${err}")
    endif()
    message(STATUS "package step '${name}' ok")
    set(step_output "${out}" PARENT_SCOPE)
endfunction()

set(install_args --install "${EXECUTOR_BUILD_DIR}" --prefix "${prefix}")
if(EXECUTOR_CONFIG)
    list(APPEND install_args --config "${EXECUTOR_CONFIG}")
endif()
run_step(install "${CMAKE_COMMAND}" ${install_args})

foreach(expected
        "include/executor/executor.h"
        "include/executor/transfer/transfer.h"
        "lib/cmake/executor/executorConfig.cmake"
        "lib/cmake/executor/executorConfigVersion.cmake"
        "lib/pkgconfig/executor.pc")
    if(NOT EXISTS "${prefix}/${expected}")
        message(FATAL_ERROR "install did not provide ${expected}")
    endif()
endforeach()

# --- CMake package -------------------------------------------------------------

set(configure_args -S "${consumer_src}" -B "${consumer_build}" "-DCMAKE_PREFIX_PATH=${prefix}")
if(EXECUTOR_GENERATOR)
    list(APPEND configure_args -G "${EXECUTOR_GENERATOR}")
endif()
if(EXECUTOR_MAKE_PROGRAM)
    list(APPEND configure_args "-DCMAKE_MAKE_PROGRAM=${EXECUTOR_MAKE_PROGRAM}")
endif()
if(EXECUTOR_CXX_COMPILER)
    list(APPEND configure_args "-DCMAKE_CXX_COMPILER=${EXECUTOR_CXX_COMPILER}")
endif()
run_step(configure-consumer "${CMAKE_COMMAND}" ${configure_args})
run_step(build-consumer "${CMAKE_COMMAND}" --build "${consumer_build}")

set(runtime_env "LD_LIBRARY_PATH=${prefix}/lib")
run_step(run-consumer "${CMAKE_COMMAND}" -E env "${runtime_env}" "${consumer_build}/consumer")

# --- pkg-config ----------------------------------------------------------------

find_program(PKG_CONFIG_EXECUTABLE NAMES pkg-config pkgconf)
if(NOT PKG_CONFIG_EXECUTABLE)
    message(FATAL_ERROR "pkg-config not found; it is needed to check executor.pc")
endif()
run_step(pkg-config "${CMAKE_COMMAND}" -E env "PKG_CONFIG_PATH=${prefix}/lib/pkgconfig"
    "${PKG_CONFIG_EXECUTABLE}" --cflags --libs executor)
string(STRIP "${step_output}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")

set(cxx "${EXECUTOR_CXX_COMPILER}")
if(NOT cxx)
    set(cxx c++)
endif()
run_step(build-pkgconfig-consumer "${cxx}" -std=c++17 "${consumer_src}/main.cpp" ${pc_flags} -o "${pkgconfig_exe}")
run_step(run-pkgconfig-consumer "${CMAKE_COMMAND}" -E env "${runtime_env}" "${pkgconfig_exe}")
