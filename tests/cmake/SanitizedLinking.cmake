# Configures the project with sanitizer flags given each way a build can give them and
# checks how morvik-cli is linked: statically only when no sanitizer is on.
# Run with -DSOURCE_DIR=… -DWORK_DIR=… -DGENERATOR=… -DCXX=… -P SanitizedLinking.cmake.
cmake_minimum_required(VERSION 3.25)
set(cases
  "static|"
  "shared|-DMORVIK_SANITIZE=address,undefined"
  "shared|-DCMAKE_CXX_FLAGS=-fsanitize=address"
  "shared|-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g -fsanitize=undefined"
  "shared|-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 expected)
  list(LENGTH parts n)
  set(option "")
  if(n GREATER 1)
    list(GET parts 1 option)
  endif()
  file(REMOVE_RECURSE "${WORK_DIR}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${WORK_DIR}" -G "${GENERATOR}" -DCMAKE_CXX_COMPILER=${CXX}
            -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVIK_BUILD_UI=OFF -DMORVIK_BUILD_TESTS=OFF
            -DMORVIK_BUILD_BENCH=OFF ${option}
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "configuring with '${option}' failed: ${errors}")
  endif()
  # The link statement of morvik-cli and its variables, up to the next statement.
  file(READ "${WORK_DIR}/build.ninja" ninja)
  string(FIND "${ninja}" "\nbuild src/morvik-cli:" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "no link statement for morvik-cli with '${option}'")
  endif()
  math(EXPR start "${start} + 1")
  string(SUBSTRING "${ninja}" ${start} -1 link)
  string(FIND "${link}" "\nbuild " end)
  string(SUBSTRING "${link}" 0 ${end} link)
  if(link MATCHES "-static-libstdc\\+\\+")
    set(linked static)
  else()
    set(linked shared)
  endif()
  if(NOT linked STREQUAL expected)
    message(SEND_ERROR "with '${option}' morvik-cli is linked ${linked}, expected ${expected}")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK_DIR}")
